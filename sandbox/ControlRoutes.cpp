#include "ControlRoutes.h"

#include "FaultInjector.h"
#include "RequestLog.h"
#include "SandboxOptions.h"
#include "SandboxState.h"
#include "TokenRegistry.h"

#include <QJsonDocument>
#include <QUrl>

namespace {

// Control bodies are JSON objects; an empty body counts as {}.
std::optional<QJsonObject> objectBody(const SandboxRequest &request)
{
    if (request.body.trimmed().isEmpty())
        return QJsonObject();
    QJsonParseError error{};
    const QJsonDocument document = request.jsonBody(&error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

SandboxReply badRequest(const QString &message)
{
    return SandboxReply::json(QJsonObject{{"error", message}}, 400);
}

} // namespace

ControlRoutes::ControlRoutes(Parts parts)
    : m_parts(parts)
{}

QJsonObject ControlRoutes::config() const
{
    const QUrl base(m_parts.state.baseUrl());
    return {{"baseUrl", m_parts.state.baseUrl()},
            {"clientId", m_parts.options.clientId},
            {"clientSecret", m_parts.options.clientSecret},
            {"redirectUri", m_parts.options.redirectUri},
            {"crashKey", m_parts.options.crashKey},
            {"crashDsn", QStringLiteral("http://%1@%2:%3/1")
                             .arg(m_parts.options.crashKey, base.host())
                             .arg(base.port())},
            {"email", m_parts.state.email},
            {"password", m_parts.state.password},
            {"tokens", m_parts.tokens.describe()}};
}

void ControlRoutes::addTo(RouteTable &table)
{
    table.add("GET", "/__sandbox/config", [this](const SandboxRequest &, const auto &) {
        return SandboxReply::json(config());
    });
    table.add("POST", "/__sandbox/reset", [this](const SandboxRequest &, const auto &) {
        m_parts.state.reset();
        m_parts.tokens.clear();
        m_parts.tokens.setLifetimes(m_parts.options.tokenLifetimeSeconds, 30 * 24 * 3600);
        m_parts.log.clear();
        m_parts.faults.clear();
        return SandboxReply::json(QJsonObject{{"reset", true}});
    });
    table.add("GET", "/__sandbox/requests", [this](const SandboxRequest &request, const auto &) {
        return SandboxReply::json(QJsonObject{
            {"requests", m_parts.log.entries(request.queryValue(QStringLiteral("method")),
                                             request.queryValue(QStringLiteral("path")))}});
    });
    table.add("DELETE", "/__sandbox/requests", [this](const SandboxRequest &, const auto &) {
        m_parts.log.clear();
        return SandboxReply::json(QJsonObject{{"cleared", true}});
    });
    table.add("GET", "/__sandbox/envelopes", [this](const SandboxRequest &, const auto &) {
        return SandboxReply::json(QJsonObject{{"envelopes", m_parts.state.envelopes}});
    });
    table.add("DELETE", "/__sandbox/envelopes", [this](const SandboxRequest &, const auto &) {
        m_parts.state.envelopes = {};
        return SandboxReply::json(QJsonObject{{"cleared", true}});
    });
    table.add("POST", "/__sandbox/documents/(versions|plugins)",
              [this](const SandboxRequest &request, const QRegularExpressionMatch &match) {
                  const std::optional<QJsonObject> body = objectBody(request);
                  if (!body)
                      return badRequest(QStringLiteral("the document must be a JSON object"));
                  (match.captured(1) == QLatin1String("versions") ? m_parts.state.versions
                                                                  : m_parts.state.plugins) = *body;
                  return SandboxReply::json(*body);
              });
    table.add("POST", "/__sandbox/archives/(updater|program)",
              [this](const SandboxRequest &request, const QRegularExpressionMatch &match) {
                  const std::optional<QJsonObject> body = objectBody(request);
                  const QString variant =
                      body ? body->value(QLatin1String("variant")).toString() : QString();
                  static const QStringList known{"",        "traversal", "absolute",
                                                 "link",    "truncated", "badsignature",
                                                 "nostart", "bomb",      "worldwritable",
                                                 "badhash"};
                  if (!known.contains(variant))
                      return badRequest(QStringLiteral("unknown archive variant"));
                  m_parts.state.archiveVariants.insert(match.captured(1), variant);
                  return SandboxReply::json(QJsonObject{{"variant", variant}});
              });
    addTokenRoutes(table);
    addFaultRoutes(table);
}

void ControlRoutes::addTokenRoutes(RouteTable &table)
{
    table.add(
        "POST", "/__sandbox/tokens/lifetime", [this](const SandboxRequest &request, const auto &) {
            const std::optional<QJsonObject> body = objectBody(request);
            if (!body)
                return badRequest(QStringLiteral("body must be a JSON object"));
            const int access = body->value("accessSeconds").toInt(m_parts.tokens.accessLifetime());
            const int refresh =
                body->value("refreshSeconds").toInt(m_parts.tokens.refreshLifetime());
            if (access < 0 || refresh < 0)
                return badRequest(QStringLiteral("lifetimes must be 0 or more"));
            m_parts.tokens.setLifetimes(access, refresh);
            return SandboxReply::json(m_parts.tokens.describe());
        });
    table.add("POST", "/__sandbox/tokens/expire",
              [this](const SandboxRequest &request, const auto &) {
                  const std::optional<QJsonObject> body = objectBody(request);
                  if (!body)
                      return badRequest(QStringLiteral("body must be a JSON object"));
                  m_parts.tokens.expireAll(body->value("refresh").toBool());
                  return SandboxReply::json(m_parts.tokens.describe());
              });
    table.add("POST", "/__sandbox/tokens/issue", [this](const SandboxRequest &, const auto &) {
        const TokenRegistry::Grant grant = m_parts.tokens.issue(m_parts.options.clientId);
        return SandboxReply::json(QJsonObject{{"access_token", grant.accessToken},
                                              {"token_type", "Bearer"},
                                              {"expires_in", grant.expiresIn},
                                              {"refresh_token", grant.refreshToken}});
    });
    table.add("POST", "/__sandbox/codes", [this](const SandboxRequest &request, const auto &) {
        const std::optional<QJsonObject> body = objectBody(request);
        if (!body)
            return badRequest(QStringLiteral("body must be a JSON object"));
        const QString redirectUri =
            body->value("redirectUri").toString(m_parts.options.redirectUri);
        return SandboxReply::json(
            QJsonObject{{"code", m_parts.tokens.issueCode(m_parts.options.clientId, redirectUri)}});
    });
}

void ControlRoutes::addFaultRoutes(RouteTable &table)
{
    table.add("GET", "/__sandbox/faults", [this](const SandboxRequest &, const auto &) {
        return SandboxReply::json(QJsonObject{{"faults", m_parts.faults.list()}});
    });
    table.add("POST", "/__sandbox/faults", [this](const SandboxRequest &request, const auto &) {
        const std::optional<QJsonObject> body = objectBody(request);
        if (!body)
            return badRequest(QStringLiteral("body must be a JSON object"));
        QString error;
        const std::optional<FaultInjector::Fault> fault = m_parts.faults.add(*body, &error);
        if (!fault)
            return badRequest(error);
        return SandboxReply::json(fault->toJson());
    });
    table.add("DELETE", "/__sandbox/faults", [this](const SandboxRequest &, const auto &) {
        m_parts.faults.clear();
        return SandboxReply::json(QJsonObject{{"cleared", true}});
    });
    table.add("DELETE", "/__sandbox/faults/([0-9]+)",
              [this](const SandboxRequest &, const QRegularExpressionMatch &match) {
                  if (!m_parts.faults.remove(match.captured(1).toInt()))
                      return SandboxReply::json(QJsonObject{{"error", "no such fault"}}, 404);
                  return SandboxReply::json(QJsonObject{{"cleared", true}});
              });
}
