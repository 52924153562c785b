#include "Platform/linux/SessionBusName.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QTimer>

#include <memory>
#include <utility>

bool SessionBusName::available()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface();
}

bool SessionBusName::isOwned(const QString &name)
{
    if (!available())
        return false;
    const QDBusReply<bool> reply =
        QDBusConnection::sessionBus().interface()->isServiceRegistered(name);
    return reply.isValid() && reply.value();
}

void SessionBusName::waitFor(const QString &name, bool owned, int timeoutMs, QObject *context,
                             std::function<void(bool)> done)
{
    if (isOwned(name) == owned)
        return done(true);
    // The bus tells of the change; the deadline ends the wait without it.
    auto *watcher = new QDBusServiceWatcher(name, QDBusConnection::sessionBus(),
                                            owned ? QDBusServiceWatcher::WatchForRegistration
                                                  : QDBusServiceWatcher::WatchForUnregistration,
                                            context);
    auto *deadline = new QTimer(watcher);
    deadline->setSingleShot(true);
    // Whichever comes first ends the wait; the others find it ended.
    const auto finish = std::make_shared<std::function<void(bool)>>(
        [watcher, deadline, done = std::move(done)](bool reached) mutable {
            if (!done)
                return;
            deadline->stop();
            watcher->deleteLater();
            const auto call = std::exchange(done, nullptr);
            call(reached);
        });
    QObject::connect(watcher,
                     owned ? &QDBusServiceWatcher::serviceRegistered
                           : &QDBusServiceWatcher::serviceUnregistered,
                     context, [finish](const QString &) { (*finish)(true); });
    QObject::connect(deadline, &QTimer::timeout, context,
                     [finish, name, owned] { (*finish)(isOwned(name) == owned); });
    deadline->start(timeoutMs);
    // It may have changed between the first look and the watch.
    if (isOwned(name) == owned)
        QTimer::singleShot(0, watcher, [finish] { (*finish)(true); });
}
