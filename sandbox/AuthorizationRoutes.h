#pragma once

#include "RouteTable.h"

struct SandboxOptions;
class SandboxState;
class TokenRegistry;

// The authorization server: the sign-in page of the authorization-code flow, the token
// endpoint with its two grants, and the logout call.
class AuthorizationRoutes
{
public:
    AuthorizationRoutes(const SandboxOptions &options, TokenRegistry &tokens,
                        const SandboxState &state);
    void addTo(RouteTable &table);

private:
    [[nodiscard]] SandboxReply authorizePage(const SandboxRequest &request) const;
    [[nodiscard]] SandboxReply signIn(const SandboxRequest &request);
    [[nodiscard]] SandboxReply token(const SandboxRequest &request);
    // Refuses an unknown client or a redirect URI other than the registered one.
    [[nodiscard]] std::optional<SandboxReply> checkClient(const QString &clientId,
                                                          const QString &redirectUri) const;
    [[nodiscard]] static QString formPage(const QUrlQuery &fields, const QString &problem);

    const SandboxOptions &m_options;
    TokenRegistry &m_tokens;
    const SandboxState &m_state;
};
