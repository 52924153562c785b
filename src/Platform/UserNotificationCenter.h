#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

// A further choice on a notification, besides the click on it and its action button.
struct UserNotificationAction
{
    QString identifier;
    QString title;
};

// One desktop notification as the program builds it.
struct UserNotification
{
    QString identifier;
    QString title;
    QString informativeText;
    QVariantMap userInfo;
    bool hasActionButton = false;
    QString actionButtonTitle;
    QString otherButtonTitle;
    // Offered only where the desktop's notification server shows actions.
    QList<UserNotificationAction> additionalActions;
    // Set when didActivate reports the choice of an additional action: its identifier.
    QString activatedAction;
};

// The desktop's notification service. Deliveries may come from any thread; the signals
// arrive on the GUI thread.
class UserNotificationCenter : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~UserNotificationCenter() override = default;

    virtual void deliver(const UserNotification &notification) = 0;
    virtual void removeAllDeliveredNotifications() = 0;
    // Removes the delivered notifications with this identifier.
    virtual void removeDeliveredNotification(const QString &identifier) = 0;

signals:
    // A click on the notification or on its action button.
    void didActivate(const UserNotification &notification);
    // The user closed the notification without choosing anything.
    void didDismiss(const UserNotification &notification);
};
