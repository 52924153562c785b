#pragma once

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// The hourly look at the update manifest, which opens the update window when a newer version
// is published. One shared instance for the life of the program.
class Checker : public QObject
{
    Q_OBJECT

public:
    using Scheduler = std::function<void(std::chrono::milliseconds, std::function<void()>)>;
    using WindowFactory = std::function<std::unique_ptr<QWidget>()>;

    static Checker &shared();

    // Arms the next hourly tick, then checks when the last stamp is two clock hours old or a
    // mandatory update is pending.
    void dailyCheck();
    void evaluateManifest(const std::optional<QJsonObject> &manifest);
    // Shows the update window, application-modal; a second call while it is open does nothing.
    void openUpdater();

    // Whether the next check must run whatever the hour stamp says; the update window
    // sets it when a mandatory update is put off.
    static void setMandatory(bool mandatory);

    // The start of the clock hour of `now`, in local time.
    [[nodiscard]] static QDateTime currentHourStamp(const QDateTime &now);

    // Delayed calls go through this (a GUI-thread single-shot timer by default), so tests can
    // run the hours without waiting.
    void setScheduler(Scheduler scheduler);
    // Builds the update window; the controllers register it at start.
    void setWindowFactory(WindowFactory factory);
    [[nodiscard]] QWidget *updaterWindow() const { return m_window; }

private:
    void schedule(std::chrono::milliseconds delay, std::function<void()> action);

    Scheduler m_scheduler;
    WindowFactory m_windowFactory;
    QPointer<QWidget> m_window;
};
