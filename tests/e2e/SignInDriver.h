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
    // Why this machine cannot play the user (a missing program or helper), or nothing.
    [[nodiscard]] static QString missingPrerequisite(const QString &binaryDir,
                                                     const QStringList &morePrograms = {});
    ~SignInDriver();

    [[nodiscard]] bool trayHostRunning() const { return m_tray.isRunning(); }
    [[nodiscard]] QProcess &program() { return m_program; }

    // With a sandbox origin the program uses that one (which outlives it) instead of
    // starting its own.
    bool startProgram(const QString &binaryDir, const QString &sandboxUrl = QString());
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
    // Focuses the window with this title and presses a key there.
    bool pressKeyIn(const QString &title, const QString &key);
    bool typeCredentials(const QString &email, const QString &password);
    // The sandbox's record of the sign-in requests, for a failure message.
    [[nodiscard]] QString sandboxRequests();
    // The whole sign-in from the tray icon to the token answer, with the demo account.
    bool signInWithDemoAccount();

    // The origin of the sandbox the program started, from its log.
    [[nodiscard]] QString sandboxUrl();
    // A GET of the sandbox's control API (path below /__sandbox/), its JSON body.
    [[nodiscard]] QByteArray sandboxControl(const QString &path);

    // Puts a text on the clipboard as another program does; it serves it until someone else
    // takes the clipboard.
    bool copyToClipboard(QProcess &xclip, const QString &text);
    [[nodiscard]] QString clipboardText();
    // Waits for an https address on the clipboard other than the one given and not on
    // example.com (where the tests' destinations live); empty when none came.
    [[nodiscard]] QString waitForShortUrl(const QString &previous, int timeoutMs);
    // The seven first-run defaults in the store of this environment, with a rebrand rule.
    static void seedPreferences(const QString &rule);
    // dunstctl on this desktop's bus; its standard output.
    [[nodiscard]] QByteArray notificationDaemon(const QStringList &arguments);

    [[nodiscard]] static QString signInPopoverTitle()
    {
        return QStringLiteral("Quorvella sign in");
    }
    [[nodiscard]] static QString linksPopoverTitle() { return QStringLiteral("Quorvella links"); }
    [[nodiscard]] static QString webViewTitle() { return QStringLiteral("Quorvella"); }

    // xdotool on this desktop; whether it succeeded.
    bool xdotool(const QStringList &arguments);

private:
    DesktopSession &m_desktop;
    StatusNotifierWatcher m_tray;
    QProcess m_program;
    QString m_output;
    QString m_sandboxUrl;
};
