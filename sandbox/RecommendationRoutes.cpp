#include "RecommendationRoutes.h"

#include "AccessCheck.h"
#include "LinkRoutes.h"
#include "SandboxState.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

SandboxReply recommendation(const QString &output)
{
    return SandboxReply::json(
        QJsonObject{{"recommendations", QJsonArray{QJsonObject{{"output", output}}}}});
}

QString capitalized(const QString &word)
{
    return word.isEmpty() ? word : word.left(1).toUpper() + word.mid(1);
}

} // namespace

RecommendationRoutes::RecommendationRoutes(const AccessCheck &access, const SandboxState &state)
    : m_access(access)
    , m_state(state)
{}

void RecommendationRoutes::addTo(RouteTable &table)
{
    table.add("POST", "/v1/recommendation-system/title/recommend",
              [this](const SandboxRequest &request, const auto &) { return title(request); });
    table.add("POST", "/v1/recommendation-system/slashtag/recommend",
              [this](const SandboxRequest &request, const auto &) { return slashtag(request); });
}

std::optional<SandboxReply> RecommendationRoutes::check(const SandboxRequest &request) const
{
    if (auto refused = m_access.bearer(request))
        return refused;
    if (auto refused = m_access.workspace(request).error)
        return refused;
    if (auto refused = AccessCheck::jsonObjectBody(request))
        return refused;
    const QUrl url(request.jsonBody().object().value("url").toString(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return SandboxReply::fieldError(400, QStringLiteral("url"),
                                        QStringLiteral("url must be an absolute URL"));
    return std::nullopt;
}

QStringList RecommendationRoutes::wordsOf(const QUrl &url)
{
    static const QRegularExpression separators(QStringLiteral("[^\\p{L}\\p{N}]+"));
    const QStringList segments = url.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString source = segments.isEmpty() ? QString() : segments.last();
    source = source.section(QLatin1Char('.'), 0, 0); // drop ".html" and the like
    if (source.isEmpty()) {
        QString host = url.host();
        if (host.startsWith(QLatin1String("www.")))
            host = host.mid(4);
        source = host.section(QLatin1Char('.'), 0, 0);
    }
    QStringList words = source.toLower().split(separators, Qt::SkipEmptyParts);
    while (words.size() > 4)
        words.removeFirst();
    return words;
}

SandboxReply RecommendationRoutes::title(const SandboxRequest &request) const
{
    if (auto refused = check(request))
        return *refused;
    const QUrl url(request.jsonBody().object().value("url").toString());
    QString host = url.host();
    if (host.startsWith(QLatin1String("www.")))
        host = host.mid(4);
    QStringList words = wordsOf(url);
    for (QString &word : words)
        word = capitalized(word);
    const QString heading = words.join(QLatin1Char(' '));
    return recommendation(url.path().size() > 1 && !heading.isEmpty() ? heading + " | " + host
                                                                      : host);
}

SandboxReply RecommendationRoutes::slashtag(const SandboxRequest &request) const
{
    if (auto refused = check(request))
        return *refused;
    const QJsonObject body = request.jsonBody().object();
    const QJsonObject algorithm = body.value("algorithm").toObject();
    const QString type = algorithm.value("type").toString();
    QString proposal;
    if (type == QLatin1String("custom")) {
        const QJsonObject options = algorithm.value("options").toObject();
        const QString separator = options.value("separator").toString();
        const QString capitalization = options.value("capitalization").toString();
        if ((separator != QLatin1String("dash") && separator != QLatin1String("none")) ||
            (capitalization != QLatin1String("camelcase") &&
             capitalization != QLatin1String("lowercase")))
            return SandboxReply::fieldError(
                400, QStringLiteral("algorithm"),
                QStringLiteral("options need separator dash|none and capitalization "
                               "camelcase|lowercase"));
        QStringList words = wordsOf(QUrl(body.value("url").toString()));
        if (capitalization == QLatin1String("camelcase")) {
            for (qsizetype i = 1; i < words.size(); ++i)
                words[i] = capitalized(words[i]);
        }
        proposal = words.join(separator == QLatin1String("dash") ? QStringLiteral("-") : QString());
    } else if (type != QLatin1String("random")) {
        return SandboxReply::fieldError(400, QStringLiteral("algorithm"),
                                        QStringLiteral("algorithm type must be random or custom"));
    }

    // Never propose what the domain already uses.
    QString domainId;
    const QString fullName = body.value("domain").toObject().value("fullName").toString();
    for (const QJsonValue &domain : m_state.accountDomains()) {
        if (domain.toObject().value("fullName").toString() == fullName)
            domainId = domain.toObject().value("id").toString();
    }
    return recommendation(LinkRoutes::freeSlashtag(m_state, domainId, proposal));
}
