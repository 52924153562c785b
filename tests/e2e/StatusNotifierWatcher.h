#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

// A tray host on a private session bus: programs register their tray icons with it, and the
// test clicks them through the icons' own D-Bus interface, as a panel would.
class StatusNotifierWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    explicit StatusNotifierWatcher(const QString &busAddress)
        : m_connection(QDBusConnection::connectToBus(busAddress, "tray-host"))
    {
        m_running = m_connection.isConnected() &&
                    m_connection.registerObject("/StatusNotifierWatcher", this,
                                                QDBusConnection::ExportAllSlots |
                                                    QDBusConnection::ExportAllProperties |
                                                    QDBusConnection::ExportAllSignals) &&
                    m_connection.registerService("org.kde.StatusNotifierWatcher");
    }
    ~StatusNotifierWatcher() override
    {
        m_connection.unregisterService("org.kde.StatusNotifierWatcher");
        QDBusConnection::disconnectFromBus("tray-host");
    }

    [[nodiscard]] bool isRunning() const { return m_running; }
    [[nodiscard]] bool isHostRegistered() const { return true; }
    [[nodiscard]] int protocolVersion() const { return 0; }
    [[nodiscard]] QStringList items() const { return m_items; }

    // A left click on the registered icon; false when no icon is registered.
    bool activate(int x = 1240, int y = 10)
    {
        if (m_items.isEmpty())
            return false;
        QDBusMessage click = QDBusMessage::createMethodCall(
            m_items.last(), "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate");
        click << x << y;
        return m_connection.send(click);
    }

public slots:
    void RegisterStatusNotifierItem(const QString &service, const QDBusMessage &message)
    {
        // Items may register by object path; then the sender's name is the service.
        const QString name = service.startsWith('/') ? message.service() : service;
        m_items.append(name);
        emit StatusNotifierItemRegistered(name);
    }
    void RegisterStatusNotifierHost(const QString &) { emit StatusNotifierHostRegistered(); }

signals:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierItemUnregistered(const QString &service);
    void StatusNotifierHostRegistered();

private:
    QDBusConnection m_connection;
    QStringList m_items;
    bool m_running = false;
};
