#include "StatusNotifierWatcher.h"

#include <QDBusConnectionInterface>

StatusNotifierWatcher::StatusNotifierWatcher(const QString &busAddress)
    : m_connection(QDBusConnection::connectToBus(busAddress, QStringLiteral("tray-host")))
{
    m_running = m_connection.isConnected() &&
                m_connection.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                            QDBusConnection::ExportAllSlots |
                                                QDBusConnection::ExportAllProperties |
                                                QDBusConnection::ExportAllSignals) &&
                m_connection.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

StatusNotifierWatcher::~StatusNotifierWatcher()
{
    m_connection.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    QDBusConnection::disconnectFromBus(QStringLiteral("tray-host"));
}

void StatusNotifierWatcher::RegisterStatusNotifierItem(const QString &service,
                                                       const QDBusMessage &message)
{
    // Items may register by object path; then the sender's name is the service.
    const QString name = service.startsWith(QLatin1Char('/')) ? message.service() : service;
    m_items.append(name);
    emit StatusNotifierItemRegistered(name);
}

void StatusNotifierWatcher::RegisterStatusNotifierHost(const QString &service)
{
    Q_UNUSED(service)
    emit StatusNotifierHostRegistered();
}

bool StatusNotifierWatcher::activate(int x, int y)
{
    if (m_items.isEmpty())
        return false;
    QDBusMessage click = QDBusMessage::createMethodCall(
        m_items.last(), QStringLiteral("/StatusNotifierItem"),
        QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Activate"));
    click << x << y;
    return m_connection.send(click);
}
