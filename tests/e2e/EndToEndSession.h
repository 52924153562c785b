#pragma once

#include "DesktopSession.h"
#include "SandboxProcess.h"
#include "SignInDriver.h"
#include "TestEnvironment.h"

#include <QJsonArray>

#include <memory>

// What an end-to-end test of the program needs: its own XDG folders, a private desktop with a
// tray host, and the user; for a signed-in program also a notification daemon (dunst) and a
// sandbox that outlives restarts of the program. Everything stops in reverse order.
class EndToEndSession
{
public:
    // The programs a signed-in session needs besides those of the user.
    [[nodiscard]] static QStringList signedInPrograms();
    EndToEndSession();
    ~EndToEndSession();

    // Why the session is not usable, or nothing.
    [[nodiscard]] QString error() const;
    // Starts the daemon, the sandbox and the program with this rebrand rule, and signs the demo
    // account in until the account's domains are set.
    [[nodiscard]] bool signIn(const QString &rule);
    // Stops the program and starts it again with another rule; the store keeps the user.
    [[nodiscard]] bool restart(const QString &rule);
    // The sandbox's record of the requests of one method to one path.
    [[nodiscard]] QJsonArray requests(const QString &method, const QString &path);
    // The summaries of the notifications shown so far, from the daemon's history.
    [[nodiscard]] QStringList notificationSummaries();
    // Chooses the action with this title on the notification shown, in the daemon's menu of
    // actions, as a user does.
    [[nodiscard]] bool chooseNotificationAction(const QString &title);

    TestEnvironment environment;
    DesktopSession desktop;
    std::unique_ptr<SandboxProcess> sandbox;
    std::unique_ptr<SignInDriver> user;

private:
    // The daemon's configuration: its menu of actions is a script that picks one line.
    [[nodiscard]] QString daemonConfig() const;
    [[nodiscard]] QString menuPicker() const { return environment.root() + "/menu-pick"; }

    QProcess m_daemon;
};
