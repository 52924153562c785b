#pragma once

#include <QDBusAbstractInterface>
#include <QDBusConnection>
#include <QString>

// The signals of org.freedesktop.Notifications as Qt signals: the base class subscribes to
// the bus signal of the same name as soon as one is connected.
class FreedesktopNotificationsProxy : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    static constexpr const char *service = "org.freedesktop.Notifications";
    static constexpr const char *path = "/org/freedesktop/Notifications";
    static constexpr const char *interfaceName = "org.freedesktop.Notifications";

    explicit FreedesktopNotificationsProxy(const QDBusConnection &connection,
                                           QObject *parent = nullptr)
        : QDBusAbstractInterface(QString::fromLatin1(service), QString::fromLatin1(path),
                                 interfaceName, connection, parent)
    {}

signals:
    void ActionInvoked(uint id, const QString &actionKey);
    void NotificationClosed(uint id, uint reason);
};
