#include "TokenRegistry.h"

#include <QRandomGenerator>

namespace {
constexpr int codeLifetimeSeconds = 300;

QDateTime now()
{
    return QDateTime::currentDateTimeUtc();
}
} // namespace

TokenRegistry::TokenRegistry(int accessLifetimeSeconds)
    : m_accessLifetime(accessLifetimeSeconds)
{}

QString TokenRegistry::randomToken(int bytes)
{
    QByteArray raw;
    while (raw.size() < bytes) {
        const quint32 word = QRandomGenerator::system()->generate();
        for (int shift = 0; shift < 32; shift += 8)
            raw.append(static_cast<char>((word >> shift) & 0xff));
    }
    raw.truncate(bytes);
    return QString::fromLatin1(raw.toHex());
}

QString TokenRegistry::issueCode(const QString &clientId, const QString &redirectUri)
{
    const QString code = randomToken(16);
    m_codes.insert(code, {clientId, redirectUri, now().addSecs(codeLifetimeSeconds)});
    return code;
}

TokenRegistry::Grant TokenRegistry::issue(const QString &clientId)
{
    Grant grant{randomToken(24), randomToken(24), m_accessLifetime};
    m_access.insert(grant.accessToken, now().addSecs(m_accessLifetime));
    m_refresh.insert(grant.refreshToken, {clientId, now().addSecs(m_refreshLifetime)});
    return grant;
}

TokenRegistry::Outcome TokenRegistry::exchangeCode(const QString &code, const QString &clientId,
                                                   const QString &redirectUri)
{
    // A code is spent by its first use, whether that use succeeds or not.
    const auto found = m_codes.constFind(code);
    if (code.isEmpty() || found == m_codes.constEnd())
        return {false, {}, "invalid_grant", "unknown or already used authorization code"};
    const Code entry = *found;
    m_codes.erase(found);
    if (entry.expiresAt < now())
        return {false, {}, "invalid_grant", "authorization code expired"};
    if (entry.clientId != clientId)
        return {false, {}, "invalid_grant", "authorization code was issued to another client"};
    if (entry.redirectUri != redirectUri)
        return {false, {}, "invalid_grant", "redirect_uri does not match the authorize request"};
    return {true, issue(clientId), {}, {}};
}

TokenRegistry::Outcome TokenRegistry::refresh(const QString &refreshToken, const QString &clientId)
{
    const auto found = m_refresh.constFind(refreshToken);
    if (refreshToken.isEmpty() || found == m_refresh.constEnd())
        return {false, {}, "invalid_grant", "unknown or already used refresh token"};
    const Refresh entry = *found;
    m_refresh.erase(found);
    if (entry.expiresAt < now())
        return {false, {}, "invalid_grant", "refresh token expired"};
    if (entry.clientId != clientId)
        return {false, {}, "invalid_grant", "refresh token was issued to another client"};
    return {true, issue(clientId), {}, {}};
}

TokenRegistry::Check TokenRegistry::checkAccessToken(const QString &token) const
{
    const auto found = m_access.constFind(token);
    if (token.isEmpty() || found == m_access.constEnd())
        return Check::Unknown;
    return *found < now() ? Check::Expired : Check::Valid;
}

void TokenRegistry::setLifetimes(int accessSeconds, int refreshSeconds)
{
    m_accessLifetime = accessSeconds;
    m_refreshLifetime = refreshSeconds;
}

void TokenRegistry::expireAll(bool includeRefresh)
{
    const QDateTime past = now().addSecs(-1);
    for (QDateTime &expiry : m_access)
        expiry = past;
    if (includeRefresh) {
        for (Refresh &entry : m_refresh)
            entry.expiresAt = past;
    }
}

void TokenRegistry::clear()
{
    m_codes.clear();
    m_access.clear();
    m_refresh.clear();
}

QJsonObject TokenRegistry::describe() const
{
    return {{"accessSeconds", m_accessLifetime},
            {"refreshSeconds", m_refreshLifetime},
            {"codes", m_codes.size()},
            {"accessTokens", m_access.size()},
            {"refreshTokens", m_refresh.size()}};
}
