#include "AccessCheck.h"

#include "SandboxState.h"
#include "TokenRegistry.h"

AccessCheck::AccessCheck(const TokenRegistry &tokens, const SandboxState &state)
    : m_tokens(tokens)
    , m_state(state)
{}

std::optional<SandboxReply> AccessCheck::bearer(const SandboxRequest &request) const
{
    if (!request.hasHeader("Authorization"))
        return SandboxReply::unauthorized(QStringLiteral("missing Authorization header"));
    const QByteArray value = request.header("Authorization").trimmed();
    const qsizetype blank = value.indexOf(' ');
    if (blank < 0 || value.left(blank).compare("Bearer", Qt::CaseInsensitive) != 0)
        return SandboxReply::unauthorized(QStringLiteral("Authorization is not a bearer token"));
    const QString token = QString::fromLatin1(value.mid(blank + 1).trimmed());
    switch (m_tokens.checkAccessToken(token)) {
    case TokenRegistry::Check::Valid:
        return std::nullopt;
    case TokenRegistry::Check::Expired:
        return SandboxReply::unauthorized(QStringLiteral("access token expired"));
    case TokenRegistry::Check::Unknown:
        break;
    }
    return SandboxReply::unauthorized(QStringLiteral("unknown access token"));
}

std::optional<SandboxReply> AccessCheck::jsonObjectBody(const SandboxRequest &request)
{
    if (request.mediaType() != "application/json")
        return SandboxReply::fieldError(415, QStringLiteral("Content-Type"),
                                        QStringLiteral("Content-Type must be application/json"));
    QJsonParseError error{};
    const QJsonDocument document = request.jsonBody(&error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return SandboxReply::fieldError(400, QStringLiteral("body"),
                                        QStringLiteral("The body must be a JSON object"));
    return std::nullopt;
}

AccessCheck::Workspace AccessCheck::workspace(const SandboxRequest &request) const
{
    const QString id = QString::fromUtf8(request.header("workspace")).trimmed();
    if (id.isEmpty())
        return {m_state.defaultWorkspaceId(), std::nullopt};
    if (!m_state.workspace(id))
        return {id,
                SandboxReply::fieldError(403, QStringLiteral("workspace"),
                                         QStringLiteral("You have no access to workspace ") + id)};
    return {id, std::nullopt};
}
