#include "App/NotificationCenter.h"

#include <QMutexLocker>

#include <algorithm>

NotificationCenter &NotificationCenter::shared()
{
    // Never destroyed: objects that outlive main() may still deregister on destruction.
    static auto *center = new NotificationCenter;
    return *center;
}

void NotificationCenter::addObserver(QObject *observer, const QString &name, Operation operation)
{
    if (!observer || !operation)
        return;
    {
        QMutexLocker locker(&m_mutex);
        m_registrations.push_back(
            {m_nextId++, QPointer<QObject>(observer), name, std::move(operation)});
    }
    // Connecting once per registration is harmless: removal by object is idempotent.
    QObject::connect(observer, &QObject::destroyed, observer,
                     [this, observer] { removeObserver(observer); });
}

void NotificationCenter::removeObserver(QObject *observer)
{
    QMutexLocker locker(&m_mutex);
    std::erase_if(m_registrations, [observer](const Registration &registration) {
        return registration.observer.isNull() || registration.observer.data() == observer;
    });
}

void NotificationCenter::removeObserver(QObject *observer, const QString &name)
{
    QMutexLocker locker(&m_mutex);
    std::erase_if(m_registrations, [observer, &name](const Registration &registration) {
        return registration.observer.data() == observer && registration.name == name;
    });
}

void NotificationCenter::post(const QString &name, QObject *object, const QVariantMap &userInfo)
{
    // Work on a copy: an observer may add or remove observers, or post again, while it runs.
    std::vector<Registration> matching;
    {
        QMutexLocker locker(&m_mutex);
        for (const Registration &registration : m_registrations) {
            if (registration.name == name && !registration.observer.isNull())
                matching.push_back(registration);
        }
    }
    const Notification notification{name, object, userInfo};
    for (const Registration &registration : matching) {
        bool stillRegistered = false;
        {
            QMutexLocker locker(&m_mutex);
            stillRegistered = std::any_of(
                m_registrations.cbegin(), m_registrations.cend(),
                [&registration](const Registration &r) { return r.id == registration.id; });
        }
        // An observer removed by an earlier one of the same post is not called any more.
        if (stillRegistered && !registration.observer.isNull())
            registration.operation(notification);
    }
}

int NotificationCenter::observerCount(const QString &name) const
{
    QMutexLocker locker(&m_mutex);
    return static_cast<int>(std::count_if(
        m_registrations.cbegin(), m_registrations.cend(),
        [&name](const Registration &r) { return r.name == name && !r.observer.isNull(); }));
}
