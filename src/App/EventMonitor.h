#pragma once

#include <QObject>

#include <functional>

class QEvent;

// Notices clicks outside the program. A click in another program or on the desktop moves the
// focus away from our windows, so the application turning inactive counts as an outside click.
class EventMonitor : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(QEvent *)>;

    // The mask of the events watched: left and right mouse down.
    static constexpr int defaultMask = 10;

    EventMonitor(int mask, Handler handler, QObject *parent = nullptr);
    ~EventMonitor() override;

    void start();
    void stop();
    [[nodiscard]] bool isRunning() const { return m_running; }
    [[nodiscard]] int mask() const { return m_mask; }

    // What the desktop reports as an outside click; tests call it directly.
    void handleOutsideClick(QEvent *event = nullptr);

private:
    void onApplicationStateChanged(Qt::ApplicationState state);

    int m_mask;
    Handler m_handler;
    bool m_running = false;
    QMetaObject::Connection m_connection;
};
