#pragma once

#include "DesktopSession.h"
#include "StatusNotifierWatcher.h"

#include <QProcess>
#include <QString>
#include <QStringList>

// Plays a user on a private desktop: starts the real program, clicks its tray icon, presses
// "Sign in" and types the demo account into the web view, watching the program's log for each
// step. The waits print the end of that log when they give up. Shared by the end-to-end tests
// and the benchmarks.
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
    // Waits until a line equal to (or starting with) the text was logged.
    bool waitForLine(const QString &line, int timeoutMs);
    bool waitForLineStart(const QString &start, int timeoutMs);
    [[nodiscard]] QString output();

    bool clickTrayIcon();
    [[nodiscard]] int trayIconLightness() const { return m_tray.iconLightness(); }
    // The visible window with exactly this title, or nothing.
    [[nodiscard]] QString window(const QString &title);
    bool waitForWindow(const QString &title, int timeoutMs);
    bool pressSignInButton();
    // Focuses the window with this title and presses a key there.
    bool pressKeyIn(const QString &title, const QString &key);
    // Keys pressed one after the other into the focused window.
    bool pressKeys(const QStringList &keys);
    // Points at (x, y) of the window with this title; clicks there when asked.
    bool pointAt(const QString &title, int x, int y, bool click);
    bool type(const QString &text);
    bool typeCredentials(const QString &email, const QString &password);
    // The whole sign-in from the tray icon to the token answer, with the demo account.
    bool signInWithDemoAccount();

    // Puts a text on the clipboard as another program does; it serves it until someone else
    // takes the clipboard.
    bool copyToClipboard(QProcess &xclip, const QString &text);
    [[nodiscard]] QString clipboardText();
    // Waits for an https address on the clipboard other than the one given and not on
    // example.com (where the tests' destinations live); empty when none came.
    [[nodiscard]] QString waitForShortUrl(const QString &previous, int timeoutMs);
    // The seven first-run defaults in the store of this environment, with a rebrand rule, as
    // after a first start that has shown its sign-in popover.
    static void seedPreferences(const QString &rule);

    [[nodiscard]] static QString signInPopoverTitle() { return "Quorvella sign in"; }
    [[nodiscard]] static QString linksPopoverTitle() { return "Quorvella links"; }
    [[nodiscard]] static QString webViewTitle() { return "Quorvella"; }

    // xdotool on this desktop; whether it succeeded.
    bool xdotool(const QStringList &arguments);

private:
    // Passes the result on; when it is a failure, first prints the end of the program's log.
    bool reported(bool ok, const QString &awaited);

    DesktopSession &m_desktop;
    StatusNotifierWatcher m_tray;
    QProcess m_program;
    QString m_output;
};
