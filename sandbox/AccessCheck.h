#pragma once

#include "SandboxReply.h"
#include "SandboxRequest.h"

#include <optional>

class SandboxState;
class TokenRegistry;

// The checks the REST API and the recommendation service make before they act: a valid
// bearer token, a JSON body where one is sent, and a workspace the account has.
class AccessCheck
{
public:
    AccessCheck(const TokenRegistry &tokens, const SandboxState &state);

    // 401 unless "Authorization: Bearer <token>" names a token that is known and not expired.
    [[nodiscard]] std::optional<SandboxReply> bearer(const SandboxRequest &request) const;
    // 415 unless the body is declared as JSON, 400 when it is not a JSON object.
    [[nodiscard]] static std::optional<SandboxReply> jsonObjectBody(const SandboxRequest &request);

    struct Workspace
    {
        QString id;
        std::optional<SandboxReply> error;
    };
    // The "workspace" header; missing or empty means the account's default workspace, an id
    // the account does not have is refused with 403.
    [[nodiscard]] Workspace workspace(const SandboxRequest &request) const;

private:
    const TokenRegistry &m_tokens;
    const SandboxState &m_state;
};
