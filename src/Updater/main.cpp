#include "Updater/UpdaterApplication.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("QuorvellaUpdater"));
    UpdaterApplication::Timeouts timeouts;
    // Tests shorten the waits.
    if (const int start = qEnvironmentVariableIntValue("QUORVELLA_UPDATER_START_TIMEOUT_MS"))
        timeouts.start = start;
    UpdaterApplication updater(timeouts);
    QObject::connect(
        &updater, &UpdaterApplication::finished, &application,
        [](int status) { QCoreApplication::exit(status); }, Qt::QueuedConnection);
    QTimer::singleShot(0, &updater, [&updater] { updater.run(QCoreApplication::arguments()); });
    return QCoreApplication::exec();
}
