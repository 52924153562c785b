#include "SandboxState.h"

#include "DemoAccount.h"

SandboxState::SandboxState(QString baseUrl)
    : m_baseUrl(std::move(baseUrl))
{
    reset();
}

void SandboxState::reset()
{
    email.clear();
    password.clear();
    account = {};
    workspaces.clear();
    domains.clear();
    links.clear();
    envelopes = {};
    archiveVariants.clear();
    m_nextLink = 1;
    DemoAccount::fill(*this, QDateTime::currentDateTimeUtc());
}

std::optional<QJsonObject> SandboxState::workspace(const QString &id) const
{
    for (const QJsonObject &candidate : workspaces) {
        if (candidate.value("id").toString() == id)
            return candidate;
    }
    return std::nullopt;
}

QString SandboxState::defaultWorkspaceId() const
{
    for (const QJsonObject &candidate : workspaces) {
        if (candidate.value("default").toBool())
            return candidate.value("id").toString();
    }
    return workspaces.isEmpty() ? QString() : workspaces.first().value("id").toString();
}

std::optional<QJsonObject> SandboxState::domain(const QString &workspaceId,
                                                const QString &domainId) const
{
    for (const QJsonObject &candidate : domains.value(workspaceId)) {
        if (candidate.value("id").toString() == domainId)
            return candidate;
    }
    return std::nullopt;
}

QJsonArray SandboxState::accountDomains() const
{
    QJsonArray all;
    for (const QJsonObject &space : workspaces) {
        for (const QJsonObject &candidate : domains.value(space.value("id").toString()))
            all.append(candidate);
    }
    return all;
}

QList<QJsonObject> SandboxState::linksOf(const QString &workspaceId) const
{
    QList<QJsonObject> result;
    for (const Link &link : links) {
        if (link.workspaceId == workspaceId)
            result.append(link.json);
    }
    return result;
}

SandboxState::Link *SandboxState::findLink(const QString &workspaceId, const QString &linkId)
{
    for (Link &link : links) {
        if (link.workspaceId == workspaceId && link.json.value("id").toString() == linkId)
            return &link;
    }
    return nullptr;
}

bool SandboxState::slashtagTaken(const QString &domainId, const QString &slashtag,
                                 const QString &exceptLinkId) const
{
    for (const Link &link : links) {
        const QJsonObject &json = link.json;
        if (json.value("domainId").toString() == domainId &&
            json.value("slashtag").toString().compare(slashtag, Qt::CaseInsensitive) == 0 &&
            json.value("id").toString() != exceptLinkId)
            return true;
    }
    return false;
}

QJsonObject SandboxState::addLink(const QString &workspaceId, const QString &destination,
                                  const QString &title, const QJsonObject &domain,
                                  const QString &slashtag)
{
    const QString id = QStringLiteral("lnk%1").arg(m_nextLink++, 5, 10, QLatin1Char('0'));
    const QJsonObject json = linkJson(id, title, slashtag, destination, domain,
                                      QDateTime::currentDateTimeUtc(), 0, false);
    links.prepend({workspaceId, json});
    return json;
}

bool SandboxState::removeLink(const QString &workspaceId, const QString &linkId)
{
    for (qsizetype i = 0; i < links.size(); ++i) {
        if (links[i].workspaceId == workspaceId && links[i].json.value("id").toString() == linkId) {
            links.removeAt(i);
            return true;
        }
    }
    return false;
}

QString SandboxState::timestamp(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QJsonObject SandboxState::linkJson(const QString &id, const QString &title, const QString &slashtag,
                                   const QString &destination, const QJsonObject &domain,
                                   const QDateTime &createdAt, int clicks, bool favourite)
{
    QJsonObject link{{"id", id},
                     {"title", title},
                     {"destination", destination},
                     {"createdAt", timestamp(createdAt)},
                     {"updatedAt", timestamp(createdAt)},
                     {"status", "active"},
                     {"clicks", clicks},
                     {"favourite", favourite},
                     {"forwardParameters", false}};
    setLinkAddress(link, domain, slashtag);
    return link;
}

void SandboxState::setLinkAddress(QJsonObject &link, const QJsonObject &domain,
                                  const QString &slashtag)
{
    const QString fullName = domain.value("fullName").toString();
    link.insert("slashtag", slashtag);
    link.insert("shortUrl", fullName + QLatin1Char('/') + slashtag);
    link.insert("domainId", domain.value("id"));
    link.insert("domainName", fullName);
    link.insert("domain", QJsonObject{{"id", domain.value("id")}, {"fullName", fullName}});
    // Only links on https-capable domains say so; the client writes "http://" otherwise.
    if (domain.value("https").toBool())
        link.insert("https", true);
    else
        link.remove("https");
}
