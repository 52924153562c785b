#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>
#include <QStringList>

#include <algorithm>

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

    // The mean lightness of the opaque pixels of the registered icon's pictures, as a panel
    // reads them (ARGB in network order); -1 when there is no icon or it draws nothing.
    [[nodiscard]] int iconLightness() const
    {
        if (m_items.isEmpty())
            return -1;
        QDBusMessage get = QDBusMessage::createMethodCall(m_items.last(), "/StatusNotifierItem",
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << "org.kde.StatusNotifierItem"
            << "IconPixmap";
        const QVariant answer =
            m_connection.call(get).arguments().value(0).value<QDBusVariant>().variant();
        if (answer.metaType() != QMetaType::fromType<QDBusArgument>())
            return -1;
        const auto pictures = answer.value<QDBusArgument>();
        int width = 0, height = 0, sum = 0, opaque = 0;
        QByteArray argb;
        pictures.beginArray();
        while (!pictures.atEnd()) {
            pictures.beginStructure();
            pictures >> width >> height >> argb;
            pictures.endStructure();
            const auto *pixel = reinterpret_cast<const quint8 *>(argb.constData());
            for (const quint8 *end = pixel + argb.size(); pixel + 3 < end; pixel += 4)
                if (pixel[0] > 250 && ++opaque) // lightness as HSL has it: mean of max and min
                    sum += (std::max({pixel[1], pixel[2], pixel[3]}) +
                            std::min({pixel[1], pixel[2], pixel[3]})) /
                           2;
        }
        pictures.endArray();
        return opaque > 40 ? sum / opaque : -1;
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
