#pragma once

#include "DesktopSession.h"
#include "StatusNotifierWatcher.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

// Plays a user on a private desktop: starts the real program against the sandbox, clicks its
// tray icon, presses "Sign in" and types the demo account into the web view, watching the
// program's log for each step. Shared by the end-to-end test and the memory benchmark.
class SignInDriver
{
public:
    explicit SignInDriver(DesktopSession &desktop);
    ~SignInDriver();

    [[nodiscard]] bool trayHostRunning() const { return m_tray.isRunning(); }
    [[nodiscard]] QProcess &program() { return m_program; }

    bool startProgram(const QString &binaryDir);
    // Waits until a line equal to (or, with prefix, starting with) the text was logged.
    bool waitForLine(const QString &line, int timeoutMs);
    bool waitForLineStart(const QString &start, int timeoutMs);
    [[nodiscard]] bool logged(const QString &line);
    [[nodiscard]] QString output();

    bool clickTrayIcon();
    // The visible window with exactly this title, or nothing.
    [[nodiscard]] QString window(const QString &title);
    bool waitForWindow(const QString &title, int timeoutMs);
    bool pressSignInButton();
    bool typeCredentials(const QString &email, const QString &password);
    // The sandbox's record of the sign-in requests, for a failure message.
    [[nodiscard]] QString sandboxRequests();

    [[nodiscard]] static QString signInPopoverTitle()
    {
        return QStringLiteral("Quorvella sign in");
    }
    [[nodiscard]] static QString linksPopoverTitle() { return QStringLiteral("Quorvella links"); }
    [[nodiscard]] static QString webViewTitle() { return QStringLiteral("Quorvella"); }

private:
    bool xdotool(const QStringList &arguments);

    DesktopSession &m_desktop;
    StatusNotifierWatcher m_tray;
    QProcess m_program;
    QString m_output;
};
