#include "LinkRoutes.h"

#include "AccessCheck.h"
#include "SandboxState.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

namespace {

constexpr int maximumLimit = 100;
// The service's published limits.
constexpr qsizetype maximumDestination = 2048;
constexpr qsizetype minimumTitle = 3;
constexpr qsizetype maximumTitle = 255;

SandboxReply linkNotFound(const QString &linkId)
{
    return SandboxReply::fieldError(404, QStringLiteral("id"),
                                    QStringLiteral("Link not found: ") + linkId);
}

// A destination or title the service refuses; an empty title counts as none given.
std::optional<SandboxReply> outOfLimits(const QString &destination, const QString &title)
{
    if (destination.size() > maximumDestination)
        return SandboxReply::fieldError(
            400, QStringLiteral("destination"),
            QStringLiteral("Destination must be at most %1 characters").arg(maximumDestination));
    if (!title.isEmpty() && (title.size() < minimumTitle || title.size() > maximumTitle))
        return SandboxReply::fieldError(400, QStringLiteral("title"),
                                        QStringLiteral("Title must be %1 to %2 characters")
                                            .arg(minimumTitle)
                                            .arg(maximumTitle));
    return std::nullopt;
}

bool isDestination(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

// A member that must be a string when present.
std::optional<SandboxReply> wrongType(const QJsonObject &body, const char *member)
{
    const QJsonValue value = body.value(QLatin1String(member));
    if (value.isUndefined() || value.isString())
        return std::nullopt;
    return SandboxReply::fieldError(400, QString::fromLatin1(member),
                                    QStringLiteral("%1 must be a string").arg(member));
}

} // namespace

LinkRoutes::LinkRoutes(const AccessCheck &access, SandboxState &state)
    : m_access(access)
    , m_state(state)
{}

void LinkRoutes::addTo(RouteTable &table)
{
    const auto route = [this, &table](const QByteArray &method, const QString &path,
                                      Action action) {
        table.add(
            method, path,
            [this, action](const SandboxRequest &request, const QRegularExpressionMatch &match) {
                return guarded(request, match.captured(1), action);
            });
    };
    route("GET", "/v1/links", &LinkRoutes::list);
    route("POST", "/v1/links", &LinkRoutes::create);
    route("GET", "/v1/links/search", &LinkRoutes::search);
    route("GET", "/v1/links/([^/]+)", &LinkRoutes::show);
    route("POST", "/v1/links/([^/]+)", &LinkRoutes::update);
    route("DELETE", "/v1/links/([^/]+)", &LinkRoutes::remove);
    route("POST", "/v1/links/([^/]+)/favourite", &LinkRoutes::favourite);
}

SandboxReply LinkRoutes::guarded(const SandboxRequest &request, const QString &linkId,
                                 Action action)
{
    if (auto refused = m_access.bearer(request))
        return *refused;
    const AccessCheck::Workspace space = m_access.workspace(request);
    if (space.error)
        return *space.error;
    if (request.method == "POST") {
        if (auto refused = AccessCheck::jsonObjectBody(request))
            return *refused;
    }
    return (this->*action)(request, space.id, linkId);
}

SandboxReply LinkRoutes::page(const QList<QJsonObject> &links, const SandboxRequest &request)
{
    int limit = 25;
    if (request.hasQuery(QStringLiteral("limit"))) {
        bool ok = false;
        limit = request.queryValue(QStringLiteral("limit")).toInt(&ok);
        if (!ok || limit < 1 || limit > maximumLimit)
            return SandboxReply::fieldError(400, QStringLiteral("limit"),
                                            QStringLiteral("limit must be from 1 to 100"));
    }
    // "last" is a cursor: the page starts after that link. A link that is gone ends the list.
    qsizetype start = 0;
    const QString last = request.queryValue(QStringLiteral("last"));
    if (!last.isEmpty()) {
        start = links.size();
        for (qsizetype i = 0; i < links.size(); ++i) {
            if (links[i].value("id").toString() == last) {
                start = i + 1;
                break;
            }
        }
    }
    QJsonArray answer;
    for (qsizetype i = start; i < links.size() && answer.size() < limit; ++i)
        answer.append(links[i]);
    return SandboxReply::json(answer);
}

SandboxReply LinkRoutes::list(const SandboxRequest &request, const QString &workspaceId,
                              const QString &)
{
    QList<QJsonObject> links = m_state.linksOf(workspaceId);
    if (request.queryValue(QStringLiteral("favourite")) == QLatin1String("true")) {
        links.removeIf([](const QJsonObject &link) { return !link.value("favourite").toBool(); });
    }
    return page(links, request);
}

SandboxReply LinkRoutes::search(const SandboxRequest &request, const QString &workspaceId,
                                const QString &)
{
    const QString term = request.queryValue(QStringLiteral("term"));
    if (term.isEmpty())
        return SandboxReply::fieldError(400, QStringLiteral("term"),
                                        QStringLiteral("term must not be empty"));
    const QString searchBy = request.queryValue(QStringLiteral("searchBy"));
    if (!searchBy.isEmpty() && searchBy != QLatin1String("destination") &&
        searchBy != QLatin1String("all"))
        return SandboxReply::fieldError(400, QStringLiteral("searchBy"),
                                        QStringLiteral("searchBy must be all or destination"));
    const QStringList fields = searchBy == QLatin1String("destination")
                                   ? QStringList{"destination"}
                                   : QStringList{"title", "destination", "slashtag", "shortUrl"};
    QList<QJsonObject> links = m_state.linksOf(workspaceId);
    links.removeIf([&](const QJsonObject &link) {
        for (const QString &name : fields) {
            if (link.value(name).toString().contains(term, Qt::CaseInsensitive))
                return false;
        }
        return true;
    });
    return page(links, request);
}

SandboxReply LinkRoutes::show(const SandboxRequest &, const QString &workspaceId,
                              const QString &linkId)
{
    const SandboxState::Link *link = m_state.findLink(workspaceId, linkId);
    return link ? SandboxReply::json(link->json) : linkNotFound(linkId);
}

std::optional<SandboxReply> LinkRoutes::checkSlashtag(const QString &slashtag,
                                                      const QString &domainId,
                                                      const QString &linkId) const
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9_\\-]{1,40}$"));
    if (!allowed.match(slashtag).hasMatch())
        return SandboxReply::fieldError(
            400, QStringLiteral("slashtag"),
            QStringLiteral("Slashtag must be 1 to 40 characters of A-Z, a-z, 0-9, '-' and '_'"));
    if (m_state.slashtagTaken(domainId, slashtag, linkId))
        return SandboxReply::fieldError(403, QStringLiteral("slashtag"),
                                        QStringLiteral("Slashtag already taken"));
    return std::nullopt;
}

QString LinkRoutes::freeSlashtag(const SandboxState &state, const QString &domainId,
                                 const QString &wanted)
{
    static const QString alphabet = QStringLiteral("abcdefghijkmnpqrstuvwxyz23456789");
    QString candidate = wanted;
    for (int attempt = 2; candidate.isEmpty() || state.slashtagTaken(domainId, candidate);
         ++attempt) {
        if (!wanted.isEmpty()) {
            candidate = wanted + QString::number(attempt);
            continue;
        }
        candidate.clear();
        for (int i = 0; i < 6; ++i)
            candidate += alphabet.at(QRandomGenerator::global()->bounded(alphabet.size()));
    }
    return candidate;
}

SandboxReply LinkRoutes::create(const SandboxRequest &request, const QString &workspaceId,
                                const QString &)
{
    const QJsonObject body = request.jsonBody().object();
    for (const char *member : {"destination", "title", "slashtag", "domainId"}) {
        if (auto refused = wrongType(body, member))
            return *refused;
    }
    const QString destination = body.value("destination").toString();
    if (!isDestination(destination))
        return SandboxReply::fieldError(400, QStringLiteral("destination"),
                                        QStringLiteral("Destination is not a valid URL"));
    if (auto refused = outOfLimits(destination, body.value("title").toString()))
        return *refused;

    // The domain comes as {"domain": {"id": ...}} or as "domainId"; without either the
    // workspace's first active domain is used.
    QString domainId = body.value("domainId").toString();
    if (body.value("domain").isObject())
        domainId = body.value("domain").toObject().value("id").toString();
    std::optional<QJsonObject> domain;
    if (domainId.isEmpty()) {
        for (const QJsonObject &candidate : m_state.domains.value(workspaceId)) {
            if (candidate.value("active").toBool()) {
                domain = candidate;
                break;
            }
        }
    } else {
        domain = m_state.domain(workspaceId, domainId);
    }
    if (!domain || !domain->value("active").toBool())
        return SandboxReply::fieldError(400, QStringLiteral("domain"),
                                        QStringLiteral("No active domain ") + domainId +
                                            QStringLiteral(" in this workspace"));
    domainId = domain->value("id").toString();

    QString slashtag = body.value("slashtag").toString().trimmed();
    if (slashtag.isEmpty()) {
        slashtag = freeSlashtag(m_state, domainId, {});
    } else if (auto refused = checkSlashtag(slashtag, domainId, {})) {
        return *refused;
    }
    const QString title = body.value("title").toString();
    return SandboxReply::json(m_state.addLink(
        workspaceId, destination, title.isEmpty() ? destination : title, *domain, slashtag));
}

SandboxReply LinkRoutes::update(const SandboxRequest &request, const QString &workspaceId,
                                const QString &linkId)
{
    SandboxState::Link *link = m_state.findLink(workspaceId, linkId);
    if (!link)
        return linkNotFound(linkId);
    const QJsonObject body = request.jsonBody().object();
    for (const char *member : {"destination", "title", "slashtag", "domainId"}) {
        if (auto refused = wrongType(body, member))
            return *refused;
    }
    if (auto refused =
            outOfLimits(body.value("destination").toString(), body.value("title").toString()))
        return *refused;
    QJsonObject json = link->json;
    if (body.contains("destination")) {
        if (!isDestination(body.value("destination").toString()))
            return SandboxReply::fieldError(400, QStringLiteral("destination"),
                                            QStringLiteral("Destination is not a valid URL"));
        json.insert("destination", body.value("destination"));
    }
    if (body.contains("title"))
        json.insert("title", body.value("title"));

    QString domainId = json.value("domainId").toString();
    if (!body.value("domainId").toString().isEmpty())
        domainId = body.value("domainId").toString();
    const std::optional<QJsonObject> domain = m_state.domain(workspaceId, domainId);
    if (!domain || !domain->value("active").toBool())
        return SandboxReply::fieldError(400, QStringLiteral("domain"),
                                        QStringLiteral("No active domain ") + domainId +
                                            QStringLiteral(" in this workspace"));
    const QString slashtag = body.contains("slashtag") ? body.value("slashtag").toString().trimmed()
                                                       : json.value("slashtag").toString();
    if (auto refused = checkSlashtag(slashtag, domainId, linkId))
        return *refused;
    SandboxState::setLinkAddress(json, *domain, slashtag);
    json.insert("updatedAt", SandboxState::timestamp(QDateTime::currentDateTimeUtc()));
    link->json = json;
    return SandboxReply::json(json);
}

SandboxReply LinkRoutes::favourite(const SandboxRequest &request, const QString &workspaceId,
                                   const QString &linkId)
{
    SandboxState::Link *link = m_state.findLink(workspaceId, linkId);
    if (!link)
        return linkNotFound(linkId);
    const QJsonValue value = request.jsonBody().object().value("favourite");
    if (!value.isBool())
        return SandboxReply::fieldError(400, QStringLiteral("favourite"),
                                        QStringLiteral("favourite must be true or false"));
    link->json.insert("favourite", value);
    return SandboxReply::json(link->json);
}

SandboxReply LinkRoutes::remove(const SandboxRequest &, const QString &workspaceId,
                                const QString &linkId)
{
    const SandboxState::Link *link = m_state.findLink(workspaceId, linkId);
    if (!link)
        return linkNotFound(linkId);
    const QJsonObject json = link->json;
    m_state.removeLink(workspaceId, linkId);
    return SandboxReply::json(json);
}
