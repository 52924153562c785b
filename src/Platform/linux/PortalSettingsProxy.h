#pragma once

#include <QDBusAbstractInterface>
#include <QDBusConnection>
#include <QDBusVariant>

// The change signal of the desktop portal's settings as a Qt signal: the base class subscribes
// to the bus signal of the same name as soon as one is connected.
class PortalSettingsProxy : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    // No service name: naming one would make Qt look its owner up with a call that waits. Any
    // sender's signal is taken, which at worst recolours the tray icon.
    explicit PortalSettingsProxy(const QDBusConnection &connection, QObject *parent = nullptr)
        : QDBusAbstractInterface(QString(), QStringLiteral("/org/freedesktop/portal/desktop"),
                                 "org.freedesktop.portal.Settings", connection, parent)
    {}

signals:
    void SettingChanged(const QString &nameSpace, const QString &key, const QDBusVariant &value);
};
