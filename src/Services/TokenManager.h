#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// The OAuth token of the signed-in user, kept in four entries of the shared settings store;
// where the desktop's keyring has taken them, the access and refresh tokens live there
// instead (TokenVault). A record is read fresh on every use.
class TokenManager
{
public:
    TokenManager(std::optional<QString> accessToken, std::optional<QString> tokenType,
                 std::optional<QDateTime> expiresAt, std::optional<QString> refreshToken);

    // Writes the four fields; an absent field removes its entry. Then synchronizes.
    [[nodiscard]] bool save() const;
    // A token only when all four entries are present and of their kinds (a date for
    // "expires_at"); nothing is validated further.
    [[nodiscard]] static std::optional<TokenManager> load();
    // Removes the token entries, "expires_in" and "qv-preference-user-id", then synchronizes.
    // Harmless on an empty store.
    static void deleteToken();

    // The sign-in session answers belong to: a new one starts at every sign-in and at every
    // sign-out, so an answer to a request of an earlier session can be told apart and dropped.
    [[nodiscard]] static quint64 sessionGeneration();
    // Starts a new session and gives its generation.
    static quint64 nextSessionGeneration();

    // True without an expiry date, or when now is later than it: a token that expires at
    // this very instant is still valid.
    [[nodiscard]] bool isExpired() const;

    std::optional<QString> access_token;
    std::optional<QString> token_type;
    std::optional<QDateTime> expires_at;
    std::optional<QString> refresh_token;
};
