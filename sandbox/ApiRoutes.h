#pragma once

#include "RouteTable.h"

class AccessCheck;
class SandboxState;

// The REST API's account, workspace and domain reads under /v1.
class ApiRoutes
{
public:
    ApiRoutes(const AccessCheck &access, const SandboxState &state);
    void addTo(RouteTable &table);

private:
    [[nodiscard]] SandboxReply workspaces(const SandboxRequest &request) const;
    [[nodiscard]] SandboxReply domains(const SandboxRequest &request) const;

    const AccessCheck &m_access;
    const SandboxState &m_state;
};
