#pragma once

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <vector>

// One named notification with its optional sender and user-info.
struct Notification
{
    QString name;
    QObject *object = nullptr;
    QVariantMap userInfo;
};

// The in-process notification centre. Observers of a name run synchronously on the posting
// thread, in the order in which they registered. An observer object that is destroyed is
// removed, so a view that goes away never receives a late call.
class NotificationCenter
{
public:
    using Operation = std::function<void(const Notification &)>;

    static NotificationCenter &shared();

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

    void addObserver(QObject *observer, const QString &name, Operation operation);
    void removeObserver(QObject *observer);
    void removeObserver(QObject *observer, const QString &name);

    void post(const QString &name, QObject *object = nullptr, const QVariantMap &userInfo = {});

    [[nodiscard]] int observerCount(const QString &name) const;

private:
    struct Registration
    {
        quint64 id;
        QPointer<QObject> observer;
        QString name;
        Operation operation;
    };

    mutable QMutex m_mutex;
    std::vector<Registration> m_registrations;
    quint64 m_nextId = 1;
};
