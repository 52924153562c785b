#pragma once

#include "Platform/UserNotificationCenter.h"

#include <QDBusConnection>
#include <QHash>
#include <QSet>

#include <optional>

class FreedesktopNotificationsProxy;

// Desktop notifications over org.freedesktop.Notifications on the session bus. Notify is
// called asynchronously, so a slow or missing notification daemon never blocks the program.
class FreedesktopNotificationCenter : public UserNotificationCenter
{
    Q_OBJECT

public:
    explicit FreedesktopNotificationCenter(
        const QDBusConnection &connection = QDBusConnection::sessionBus(),
        QObject *parent = nullptr);
    ~FreedesktopNotificationCenter() override;

    void deliver(const UserNotification &notification) override;
    void removeAllDeliveredNotifications() override;
    void removeDeliveredNotification(const QString &identifier) override;

    // Reasons of NotificationClosed.
    static constexpr uint dismissedByUser = 2;
    // The app_icon of every notification: the installed icon of this program.
    [[nodiscard]] static QString applicationIcon();

private:
    void askCapabilities();
    void deliverHere(const UserNotification &notification);
    void removeAllHere();
    void removeHere(const QString &identifier);
    void onNotifyAnswered(quint64 sequence, uint id, const UserNotification &notification);
    void onActionInvoked(uint id, const QString &actionKey);
    void onNotificationClosed(uint id, uint reason);
    void close(uint id);

    QDBusConnection m_connection;
    FreedesktopNotificationsProxy *m_proxy = nullptr;
    QHash<uint, UserNotification> m_shown;
    QSet<uint> m_activated;
    // Deliveries are numbered, so a removal that overtakes a pending Notify still applies.
    quint64 m_sequence = 0;
    quint64 m_removedAllUpTo = 0;
    QHash<QString, quint64> m_removedUpTo;
    // Whether the server shows actions beyond the click; unknown until it answered.
    std::optional<bool> m_showsActions;
    bool m_askingCapabilities = false;
};
