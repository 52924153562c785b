// Plays a running Quorvella: owns its single-instance name on the session bus for the
// milliseconds given as first argument, then ends.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QTimer>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (!QDBusConnection::sessionBus().registerService(
            QStringLiteral("com.quorvella.desktop.macos.Quorvella")))
        return 3;
    const QStringList arguments = QCoreApplication::arguments();
    QTimer::singleShot(arguments.size() > 1 ? arguments.at(1).toInt() : 1000, &application,
                       &QCoreApplication::quit);
    return QCoreApplication::exec();
}
