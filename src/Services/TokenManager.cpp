#include "Services/TokenManager.h"

#include "App/Clock.h"
#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Services/TokenVault.h"

#include <atomic>

using namespace Costants::Preferences;

namespace {
std::atomic<quint64> currentSession{0};

void storeText(SettingsStore &store, const QString &key, const std::optional<QString> &value)
{
    if (value)
        store.setString(key, *value);
    else
        store.remove(key);
}
} // namespace

TokenManager::TokenManager(std::optional<QString> accessToken, std::optional<QString> tokenType,
                           std::optional<QDateTime> expiresAt, std::optional<QString> refreshToken)
    : access_token(std::move(accessToken))
    , token_type(std::move(tokenType))
    , expires_at(std::move(expiresAt))
    , refresh_token(std::move(refreshToken))
{}

namespace {
// The keyring's vault when it has taken the tokens; else the store holds them all.
TokenVault *keyringVault()
{
    TokenVault *vault = TokenVault::installed();
    return vault && vault->place() == TokenVault::Place::keyring ? vault : nullptr;
}
} // namespace

bool TokenManager::save() const
{
    SettingsStore &store = SettingsStore::shared();
    TokenVault *vault = keyringVault();
    storeText(store, accessToken, vault ? std::nullopt : access_token);
    storeText(store, tokenType, token_type);
    if (expires_at)
        store.setDate(expiresAt, *expires_at);
    else
        store.remove(expiresAt);
    storeText(store, refreshToken, vault ? std::nullopt : refresh_token);
    if (vault)
        vault->keep({access_token, refresh_token});
    return store.synchronize();
}

std::optional<TokenManager> TokenManager::load()
{
    const SettingsStore &store = SettingsStore::shared();
    const TokenVault *vault = keyringVault();
    const TokenVault::Secrets secrets = vault ? vault->secrets() : TokenVault::Secrets{};
    auto access = vault ? secrets.accessToken : store.stringForKey(accessToken);
    auto type = store.stringForKey(tokenType);
    auto expiry = store.dateForKey(expiresAt);
    auto refresh = vault ? secrets.refreshToken : store.stringForKey(refreshToken);
    if (!access || !type || !expiry || !refresh)
        return std::nullopt;
    return TokenManager(std::move(access), std::move(type), std::move(expiry), std::move(refresh));
}

void TokenManager::deleteToken()
{
    SettingsStore &store = SettingsStore::shared();
    for (const QString &key : {accessToken, tokenType, expiresAt, expiresIn, refreshToken, userId})
        store.remove(key);
    store.synchronize();
    // Also when the store held them: a keyring may still keep tokens of an earlier start.
    if (TokenVault *vault = TokenVault::installed())
        vault->forget();
}

quint64 TokenManager::sessionGeneration()
{
    return currentSession.load();
}

quint64 TokenManager::nextSessionGeneration()
{
    return ++currentSession;
}

bool TokenManager::isExpired() const
{
    const Logger &log = Logger::shared();
    log.log({QStringLiteral("Looking for expiration date token")});
    if (!expires_at)
        return true;
    const QDateTime now = Clock::current().now();
    log.log({*expires_at});
    log.log({QStringLiteral("while now is")});
    log.log({now});
    return now > *expires_at;
}
