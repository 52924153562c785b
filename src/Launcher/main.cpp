// quorvella-launcher: started by the desktop at login, it opens Quorvella when the user asked
// for it, then stays idle until the session ends.
#include "Launcher/HelperAppDelegate.h"
#include "Platform/linux/LinuxBundleInfo.h"
#include "Platform/linux/SessionApplications.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("QuorvellaLauncher"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVELLA_VERSION));

    SessionApplications applications;
    HelperAppDelegate delegate(applications, LinuxBundleInfo().bundlePath());
    QTimer::singleShot(0, &application, [&delegate] { delegate.applicationDidFinishLaunching(); });
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &application,
                     [&delegate] { delegate.applicationWillTerminate(); });
    return QCoreApplication::exec();
}
