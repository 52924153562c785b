#include "Launcher/HelperAppDelegate.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Platform/Applications.h"

using namespace Costants;

HelperAppDelegate::HelperAppDelegate(Applications &applications, QString bundlePath)
    : m_applications(applications)
    , m_bundlePath(std::move(bundlePath))
{}

void HelperAppDelegate::applicationDidFinishLaunching()
{
    startMainProgramIfWanted();
}

void HelperAppDelegate::applicationWillTerminate() {}

QString HelperAppDelegate::deletingLastPathComponent(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return {};
    return slash == 0 ? QStringLiteral("/") : trimmed.left(slash);
}

void HelperAppDelegate::startMainProgramIfWanted()
{
    const bool running = m_applications.isRunning(Launcher::mainIdentifier);
    logLines({QStringLiteral("main is running: ") +
              (running ? QStringLiteral("true") : QStringLiteral("false"))});
    const bool wanted = SettingsStore::shared().boolForKey(Preferences::startup);
    if (!running && wanted) {
        QString path = m_bundlePath;
        logLines({QStringLiteral("path: ") + path});
        for (int i = 0; i < 4; ++i) {
            path = deletingLastPathComponent(path);
            logLines({QStringLiteral("for: ") + path});
        }
        logLines({QStringLiteral("end path: ") + path});
        // A failed start is not reported: the user starts the program by hand then.
        m_applications.launchApplication(path);
    }
    logLines({QStringLiteral("USER"), wanted});
}
