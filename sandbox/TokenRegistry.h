#pragma once

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QString>

// Authorization codes, access tokens and refresh tokens the sandbox has handed out. Codes are
// single use and bound to the client and redirect URI that asked for them; refresh tokens are
// rotated, so each one works once.
class TokenRegistry
{
public:
    struct Grant
    {
        QString accessToken;
        QString refreshToken;
        int expiresIn = 0;
    };
    struct Outcome
    {
        bool ok = false;
        Grant grant;
        QString error;       // OAuth error code, e.g. "invalid_grant"
        QString description; // human-readable reason
    };

    explicit TokenRegistry(int accessLifetimeSeconds);

    [[nodiscard]] QString issueCode(const QString &clientId, const QString &redirectUri);
    [[nodiscard]] Outcome exchangeCode(const QString &code, const QString &clientId,
                                       const QString &redirectUri);
    [[nodiscard]] Outcome refresh(const QString &refreshToken, const QString &clientId);
    [[nodiscard]] Grant issue(const QString &clientId);

    enum class Check { Valid, Unknown, Expired };
    [[nodiscard]] Check checkAccessToken(const QString &token) const;

    void setLifetimes(int accessSeconds, int refreshSeconds);
    // Makes every token handed out so far expired (the access tokens, and with
    // includeRefresh also the refresh tokens).
    void expireAll(bool includeRefresh);
    void clear();

    [[nodiscard]] int accessLifetime() const { return m_accessLifetime; }
    [[nodiscard]] int refreshLifetime() const { return m_refreshLifetime; }
    [[nodiscard]] QJsonObject describe() const;

private:
    struct Code
    {
        QString clientId;
        QString redirectUri;
        QDateTime expiresAt;
    };
    struct Refresh
    {
        QString clientId;
        QDateTime expiresAt;
    };
    [[nodiscard]] static QString randomToken(int bytes);

    int m_accessLifetime;
    int m_refreshLifetime = 30 * 24 * 3600;
    QHash<QString, Code> m_codes;
    QHash<QString, QDateTime> m_access;
    QHash<QString, Refresh> m_refresh;
};
