#pragma once

#include "RouteTable.h"

class AccessCheck;
class SandboxState;

// The recommendation service: a title and a slashtag proposed for a destination URL.
class RecommendationRoutes
{
public:
    RecommendationRoutes(const AccessCheck &access, const SandboxState &state);
    void addTo(RouteTable &table);

    // The words a destination suggests: its last path segment, else its host's first label.
    [[nodiscard]] static QStringList wordsOf(const QUrl &url);

private:
    [[nodiscard]] SandboxReply title(const SandboxRequest &request) const;
    [[nodiscard]] SandboxReply slashtag(const SandboxRequest &request) const;
    [[nodiscard]] std::optional<SandboxReply> check(const SandboxRequest &request) const;

    const AccessCheck &m_access;
    const SandboxState &m_state;
};
