#pragma once

#include "Platform/UserNotificationCenter.h"

#include <QList>
#include <QMutex>
#include <QMutexLocker>

// A notification service driven by the test: it keeps what was delivered and lets the test
// click or dismiss a notification as the user would. Safe from any thread, like the real one.
class FakeUserNotificationCenter : public UserNotificationCenter
{
public:
    void deliver(const UserNotification &notification) override
    {
        const QMutexLocker locker(&m_mutex);
        m_delivered.append(notification);
        m_history.append(notification);
    }
    void removeAllDeliveredNotifications() override
    {
        const QMutexLocker locker(&m_mutex);
        m_delivered.clear();
        ++m_removeAllCount;
    }
    void removeDeliveredNotification(const QString &identifier) override
    {
        const QMutexLocker locker(&m_mutex);
        m_delivered.removeIf(
            [&](const UserNotification &shown) { return shown.identifier == identifier; });
    }

    // What is on screen now, oldest first.
    [[nodiscard]] QList<UserNotification> delivered() const
    {
        const QMutexLocker locker(&m_mutex);
        return m_delivered;
    }
    // Every delivery since the start, including the removed ones.
    [[nodiscard]] QList<UserNotification> history() const
    {
        const QMutexLocker locker(&m_mutex);
        return m_history;
    }
    [[nodiscard]] int removeAllCount() const
    {
        const QMutexLocker locker(&m_mutex);
        return m_removeAllCount;
    }

    void activate(const UserNotification &notification) { emit didActivate(notification); }
    void dismiss(const UserNotification &notification)
    {
        removeDeliveredNotification(notification.identifier);
        emit didDismiss(notification);
    }

private:
    mutable QMutex m_mutex;
    QList<UserNotification> m_delivered;
    QList<UserNotification> m_history;
    int m_removeAllCount = 0;
};
