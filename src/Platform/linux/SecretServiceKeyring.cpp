#include "Platform/linux/SecretServiceKeyring.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <memory>
#include <utility>

namespace {

const QString kService = QStringLiteral("Quorvella");

Keyring::Result resultOf(const QKeychain::Job *job)
{
    if (!job)
        return Keyring::Result::refused;
    switch (job->error()) {
    case QKeychain::NoError:
        return Keyring::Result::done;
    case QKeychain::EntryNotFound:
        return Keyring::Result::notFound;
    default:
        return Keyring::Result::refused;
    }
}

} // namespace

SecretServiceKeyring::SecretServiceKeyring(int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_timeoutMs(timeoutMs)
{}

void SecretServiceKeyring::probe(std::function<void(bool running)> completion)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QTimer::singleShot(0, this, [completion] { completion(false); });
        return;
    }
    // NameHasOwner, not a call to the service: a keyring that is only activatable would be
    // started by the call, and could then wait on a password prompt.
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << QStringLiteral("org.freedesktop.secrets");
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask, m_timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [completion](QDBusPendingCallWatcher *call) {
                call->deleteLater();
                const QDBusPendingReply<bool> reply = *call;
                completion(!reply.isError() && reply.value());
            });
}

void SecretServiceKeyring::run(QKeychain::Job *job, std::function<void(QKeychain::Job *)> finished)
{
    // Whichever comes first, the answer or the time-out, ends the work; the other is dropped.
    auto pending = std::make_shared<std::function<void(QKeychain::Job *)>>(std::move(finished));
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [pending, timer] {
        timer->deleteLater();
        if (auto call = std::exchange(*pending, nullptr))
            call(nullptr);
    });
    connect(job, &QKeychain::Job::finished, this, [pending, timer](QKeychain::Job *done) {
        timer->stop();
        timer->deleteLater();
        if (auto call = std::exchange(*pending, nullptr))
            call(done);
    });
    job->setAutoDelete(true);
    timer->start(m_timeoutMs);
    job->start();
}

void SecretServiceKeyring::read(const QString &key, ReadCompletion completion)
{
    auto *job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(key);
    run(job, [completion](QKeychain::Job *done) {
        const Result result = resultOf(done);
        const auto *reader = static_cast<QKeychain::ReadPasswordJob *>(done);
        completion(result, result == Result::done ? reader->textData() : QString());
    });
}

void SecretServiceKeyring::write(const QString &key, const QString &secret, Completion completion)
{
    auto *job = new QKeychain::WritePasswordJob(kService);
    job->setKey(key);
    job->setTextData(secret);
    run(job, [completion](QKeychain::Job *done) { completion(resultOf(done)); });
}

void SecretServiceKeyring::remove(const QString &key, Completion completion)
{
    auto *job = new QKeychain::DeletePasswordJob(kService);
    job->setKey(key);
    run(job, [completion](QKeychain::Job *done) { completion(resultOf(done)); });
}
