#pragma once

#include "RouteTable.h"

class AccessCheck;
class SandboxState;

// The REST API's links under /v1/links: pages, searches, creation, update, favourite, delete.
class LinkRoutes
{
public:
    LinkRoutes(const AccessCheck &access, SandboxState &state);
    void addTo(RouteTable &table);

    // A slashtag the workspace's domain has not used yet.
    [[nodiscard]] static QString freeSlashtag(const SandboxState &state, const QString &domainId,
                                              const QString &wanted);

private:
    using Action = SandboxReply (LinkRoutes::*)(const SandboxRequest &, const QString &,
                                                const QString &);
    // Runs the token and workspace checks, then the action with the workspace and path id.
    [[nodiscard]] SandboxReply guarded(const SandboxRequest &request, const QString &linkId,
                                       Action action);

    SandboxReply list(const SandboxRequest &request, const QString &workspaceId, const QString &);
    SandboxReply search(const SandboxRequest &request, const QString &workspaceId, const QString &);
    SandboxReply show(const SandboxRequest &request, const QString &workspaceId,
                      const QString &linkId);
    SandboxReply create(const SandboxRequest &request, const QString &workspaceId, const QString &);
    SandboxReply update(const SandboxRequest &request, const QString &workspaceId,
                        const QString &linkId);
    SandboxReply favourite(const SandboxRequest &request, const QString &workspaceId,
                           const QString &linkId);
    SandboxReply remove(const SandboxRequest &request, const QString &workspaceId,
                        const QString &linkId);

    // Checks a slashtag for characters and for being free on the domain.
    [[nodiscard]] std::optional<SandboxReply>
    checkSlashtag(const QString &slashtag, const QString &domainId, const QString &linkId) const;
    [[nodiscard]] static SandboxReply page(const QList<QJsonObject> &links,
                                           const SandboxRequest &request);

    const AccessCheck &m_access;
    SandboxState &m_state;
};
