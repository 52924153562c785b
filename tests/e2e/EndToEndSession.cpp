#include "EndToEndSession.h"
#include "TestFiles.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

QStringList EndToEndSession::signedInPrograms()
{
    return {"xclip", "dunst", "dunstctl"};
}

EndToEndSession::EndToEndSession()
    : user(std::make_unique<SignInDriver>(desktop))
{}

EndToEndSession::~EndToEndSession()
{
    user.reset();
    sandbox.reset();
    DesktopSession::stop(m_daemon);
}

QString EndToEndSession::error() const
{
    if (!desktop.isReady())
        return desktop.error();
    return user->trayHostRunning() ? QString() : "the tray host did not start";
}

bool EndToEndSession::signIn(const QString &rule)
{
    SignInDriver::seedPreferences(rule);
    sandbox = std::make_unique<SandboxProcess>();
    return desktop.start(m_daemon, "dunst", {"-conf", daemonConfig()}) && sandbox->isRunning() &&
           user->startProgram(QStringLiteral(QUORVELLA_BINARY_DIR),
                              sandbox->baseUrl().toString()) &&
           user->signInWithDemoAccount() &&
           user->waitForLine("setting domains first authentication", 15000);
}

bool EndToEndSession::restart(const QString &rule)
{
    user.reset();
    SignInDriver::seedPreferences(rule);
    user = std::make_unique<SignInDriver>(desktop);
    return user->startProgram(QStringLiteral(QUORVELLA_BINARY_DIR),
                              sandbox->baseUrl().toString()) &&
           user->waitForLine("first link, ignoring", 20000);
}

QJsonArray EndToEndSession::requests(const QString &method, const QString &path)
{
    return sandbox
        ->control("GET", QStringLiteral("/__sandbox/requests?method=%1&path=%2").arg(method, path))
        .json()
        .toObject()
        .value("requests")
        .toArray();
}

QStringList EndToEndSession::notificationSummaries()
{
    // What was shown ends up in the daemon's history once closed.
    [[maybe_unused]] const auto closed = desktop.run("dunstctl", {"close-all"});
    const QJsonObject history =
        QJsonDocument::fromJson(desktop.run("dunstctl", {"history"}).value_or(QByteArray()))
            .object();
    QStringList summaries;
    for (const QJsonValue &group : history.value("data").toArray())
        for (const QJsonValue &entry : group.toArray())
            summaries.append(entry["summary"]["data"].toString());
    return summaries;
}

QString EndToEndSession::daemonConfig() const
{
    const QString path = environment.root() + "/dunstrc";
    // Bottom left: the top-right corner is where the popovers open without a tray geometry,
    // and a notification there would take the clicks meant for the list.
    writeFile(path, "[global]\n    dmenu = " + menuPicker().toUtf8() +
                        "\n    origin = bottom-left\n    offset = 10x10\n");
    return path;
}

bool EndToEndSession::chooseNotificationAction(const QString &title)
{
    // The daemon lists each action as "#Title (summary) [id,key]", one a line.
    return writeFile(menuPicker(), "#!/bin/sh\nexec grep -m1 -F '#" + title.toUtf8() + " ('\n",
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) &&
           desktop.run("dunstctl", {"context"}).has_value();
}
