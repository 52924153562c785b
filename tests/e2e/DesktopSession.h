#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <optional>

// A private desktop for one test: an Xvfb server on a free display and a D-Bus session bus.
// Both are stopped when the session goes out of scope. The callers check beforehand that the
// machine has Xvfb and dbus-daemon.
class DesktopSession
{
public:
    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    [[nodiscard]] bool isReady() const { return m_error.isEmpty(); }
    // Why the session could not start, for QSKIP or the failure message.
    [[nodiscard]] QString error() const { return m_error; }

    // The current environment pointed at this desktop (X11, our bus, no Wayland), or with a
    // Wayland socket set, at that compositor instead of X11.
    [[nodiscard]] QProcessEnvironment environment() const;
    void useWayland(const QString &socket, const QString &qtPlatform = "wayland")
    {
        m_wayland = socket;
        m_qtPlatform = qtPlatform;
    }

    // Starts a program of the session and waits until it runs.
    bool start(QProcess &process, const QString &program, const QStringList &arguments) const;
    // Runs a tool on this desktop to its end: its standard output, or nothing when it failed.
    [[nodiscard]] std::optional<QByteArray>
    run(const QString &program, const QStringList &arguments, int timeoutMs = 10000) const;
    // Ends a process the test started: politely, then for sure.
    static void stop(QProcess &process);

private:
    QProcess m_xvfb;
    QProcess m_bus;
    QString m_display;
    QString m_busAddress;
    QString m_wayland;
    QString m_qtPlatform;
    QString m_error;
};
