#include "ApiRoutes.h"

#include "AccessCheck.h"
#include "SandboxState.h"

#include <algorithm>

ApiRoutes::ApiRoutes(const AccessCheck &access, const SandboxState &state)
    : m_access(access)
    , m_state(state)
{}

void ApiRoutes::addTo(RouteTable &table)
{
    table.add("GET", "/v1/account", [this](const SandboxRequest &request, const auto &) {
        if (auto refused = m_access.bearer(request))
            return *refused;
        return SandboxReply::json(m_state.account);
    });
    table.add("GET", "/v1/account/domains", [this](const SandboxRequest &request, const auto &) {
        if (auto refused = m_access.bearer(request))
            return *refused;
        return SandboxReply::json(m_state.accountDomains());
    });
    table.add("GET", "/v1/workspaces",
              [this](const SandboxRequest &request, const auto &) { return workspaces(request); });
    table.add("GET", "/v1/domains",
              [this](const SandboxRequest &request, const auto &) { return domains(request); });
}

SandboxReply ApiRoutes::workspaces(const SandboxRequest &request) const
{
    if (auto refused = m_access.bearer(request))
        return *refused;
    QList<QJsonObject> list = m_state.workspaces;
    const QString orderBy = request.queryValue(QStringLiteral("orderBy"));
    if (!orderBy.isEmpty()) {
        if (orderBy != QLatin1String("name") && orderBy != QLatin1String("createdAt"))
            return SandboxReply::fieldError(400, QStringLiteral("orderBy"),
                                            QStringLiteral("orderBy must be name or createdAt"));
        const bool descending =
            request.queryValue(QStringLiteral("orderDir")) == QLatin1String("desc");
        std::stable_sort(list.begin(), list.end(), [&](const QJsonObject &a, const QJsonObject &b) {
            const int order = QString::localeAwareCompare(a.value(orderBy).toString(),
                                                          b.value(orderBy).toString());
            return descending ? order > 0 : order < 0;
        });
    }
    QJsonArray answer;
    for (const QJsonObject &space : list)
        answer.append(space);
    return SandboxReply::json(answer);
}

SandboxReply ApiRoutes::domains(const SandboxRequest &request) const
{
    if (auto refused = m_access.bearer(request))
        return *refused;
    const AccessCheck::Workspace space = m_access.workspace(request);
    if (space.error)
        return *space.error;
    // Each filter given as "true" or "false" keeps the domains in that state; the sandbox's
    // domains are never being detached or deleted.
    const QString active = request.queryValue(QStringLiteral("active"));
    QJsonArray answer;
    for (const QJsonObject &domain : m_state.domains.value(space.id)) {
        if (!active.isEmpty() &&
            domain.value("active").toBool() != (active == QLatin1String("true")))
            continue;
        bool keep = true;
        for (const char *flag : {"detaching", "deleting", "detached"}) {
            if (request.queryValue(QString::fromLatin1(flag)) == QLatin1String("true"))
                keep = false;
        }
        if (keep)
            answer.append(domain);
    }
    return SandboxReply::json(answer);
}
