#include "Services/TokenVault.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QThread>

using namespace Costants::Preferences;

// Every keyring completion checks that the vault is still there: the program may end, and
// tests drop it, while the keyring is still answering.

namespace {

// One keyring entry holds both tokens, so they are read, written and removed together.
const QString kEntry = QStringLiteral("tokens");

std::atomic<TokenVault *> installedVault{nullptr};

QString encoded(const TokenVault::Secrets &secrets)
{
    QJsonObject object;
    if (secrets.accessToken)
        object.insert(accessToken, *secrets.accessToken);
    if (secrets.refreshToken)
        object.insert(refreshToken, *secrets.refreshToken);
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

TokenVault::Secrets decoded(const QString &secret)
{
    const QJsonObject object = QJsonDocument::fromJson(secret.toUtf8()).object();
    const auto text = [&object](const QString &key) -> std::optional<QString> {
        const QJsonValue value = object.value(key);
        return value.isString() ? std::optional(value.toString()) : std::nullopt;
    };
    return {text(accessToken), text(refreshToken)};
}

bool isEmpty(const TokenVault::Secrets &secrets)
{
    return !secrets.accessToken && !secrets.refreshToken;
}

} // namespace

TokenVault::TokenVault(Keyring &keyring, QObject *parent)
    : QObject(parent)
    , m_keyring(keyring)
{}

TokenVault::~TokenVault()
{
    TokenVault *self = this;
    installedVault.compare_exchange_strong(self, nullptr);
}

void TokenVault::install(TokenVault *vault)
{
    installedVault.store(vault);
}

TokenVault *TokenVault::installed()
{
    return installedVault.load();
}

TokenVault::Secrets TokenVault::secrets() const
{
    const QMutexLocker locker(&m_mutex);
    return m_secrets;
}

TokenVault::Secrets TokenVault::storedSecrets()
{
    const SettingsStore &store = SettingsStore::shared();
    return {store.stringForKey(accessToken), store.stringForKey(refreshToken)};
}

void TokenVault::storeSecrets(const Secrets &secrets)
{
    SettingsStore &store = SettingsStore::shared();
    for (const auto &[key, value] : {std::pair{accessToken, secrets.accessToken},
                                     std::pair{refreshToken, secrets.refreshToken}}) {
        if (value)
            store.setString(key, *value);
        else
            store.remove(key);
    }
    store.synchronize();
}

void TokenVault::start()
{
    m_keyring.probe([self = QPointer(this)](bool running) {
        if (self)
            self->probed(running);
    });
}

void TokenVault::probed(bool running)
{
    m_keyringRuns = running;
    if (!running)
        return fallBackToStore(QStringLiteral("no keyring runs"));
    m_keyring.read(kEntry, [self = QPointer(this)](Keyring::Result result, const QString &secret) {
        if (self)
            self->readDone(result, secret);
    });
}

void TokenVault::readDone(Keyring::Result result, const QString &secret)
{
    if (result == Keyring::Result::refused)
        return fallBackToStore(QStringLiteral("the keyring refused to read"));
    // Tokens in the store were saved while no keyring took them, so they are the newer ones.
    if (const Secrets fromStore = storedSecrets(); !isEmpty(fromStore))
        return migrate(fromStore);
    // Signed out while the keyring was being asked: what it holds is of the ended session.
    if (m_forgotten && result == Keyring::Result::done)
        m_keyring.remove(kEntry, [](Keyring::Result) {});
    {
        const QMutexLocker locker(&m_mutex);
        m_secrets = result == Keyring::Result::done && !m_forgotten ? decoded(secret) : Secrets{};
    }
    decide(Place::keyring);
}

void TokenVault::migrate(const Secrets &fromStore)
{
    m_keyring.write(kEntry, encoded(fromStore),
                    [self = QPointer(this), fromStore](Keyring::Result result) {
                        if (self)
                            self->migrated(fromStore, result);
                    });
}

void TokenVault::migrated(const Secrets &moved, Keyring::Result result)
{
    if (result != Keyring::Result::done)
        return fallBackToStore(QStringLiteral("the keyring refused the tokens"));
    // A refresh may have saved newer tokens to the store meanwhile: those go next.
    if (const Secrets now = storedSecrets(); now != moved)
        return migrate(now);
    {
        const QMutexLocker locker(&m_mutex);
        m_secrets = moved;
    }
    storeSecrets({});
    logLines({QStringLiteral("tokens moved from the settings store to the keyring")});
    decide(Place::keyring);
}

void TokenVault::keep(const Secrets &secrets)
{
    {
        const QMutexLocker locker(&m_mutex);
        m_secrets = secrets;
    }
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, secrets] { write(secrets); }, Qt::QueuedConnection);
        return;
    }
    write(secrets);
}

void TokenVault::write(const Secrets &secrets)
{
    m_keyring.write(kEntry, encoded(secrets), [self = QPointer(this)](Keyring::Result result) {
        if (self)
            self->written(result);
    });
}

void TokenVault::written(Keyring::Result result)
{
    if (result == Keyring::Result::done || m_place.load() != Place::keyring)
        return;
    // Whichever write failed, the newest tokens are the ones held here.
    storeSecrets(secrets());
    fallBackToStore(QStringLiteral("the keyring refused the tokens"));
}

void TokenVault::forget()
{
    {
        const QMutexLocker locker(&m_mutex);
        m_secrets = {};
    }
    const auto removeEntry = [this] {
        m_forgotten = true;
        if (m_keyringRuns)
            m_keyring.remove(kEntry, [](Keyring::Result) {});
    };
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, removeEntry, Qt::QueuedConnection);
        return;
    }
    removeEntry();
}

void TokenVault::fallBackToStore(const QString &why)
{
    {
        const QMutexLocker locker(&m_mutex);
        m_secrets = {};
    }
    logLines({why + QStringLiteral(": the tokens stay in the settings store")});
    decide(Place::store);
}

void TokenVault::decide(Place place)
{
    if (place == Place::keyring)
        logLines({QStringLiteral("tokens kept in the keyring")});
    m_place.store(place);
    emit placeDecided(place);
}
