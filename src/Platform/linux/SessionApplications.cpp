#include "Platform/linux/SessionApplications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QProcess>

bool SessionApplications::isRunning(const QString &bundleIdentifier)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<bool> reply = bus.interface()->isServiceRegistered(bundleIdentifier);
    return reply.isValid() && reply.value();
}

bool SessionApplications::launchApplication(const QString &bundlePath)
{
    return QProcess::startDetached(bundlePath + QStringLiteral("/bin/quorvella"), {},
                                   QDir::homePath());
}
