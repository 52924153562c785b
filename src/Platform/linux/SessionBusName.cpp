#include "Platform/linux/SessionBusName.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QTimer>

namespace {
constexpr int kPollMs = 100;
}

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
    auto *timer = new QTimer(context);
    timer->setInterval(kPollMs);
    QObject::connect(
        timer, &QTimer::timeout, context,
        [timer, name, owned, deadline = QDeadlineTimer(timeoutMs), done = std::move(done)] {
            const bool reached = isOwned(name) == owned;
            if (!reached && !deadline.hasExpired())
                return;
            timer->stop();
            timer->deleteLater();
            done(reached);
        });
    timer->start();
}
