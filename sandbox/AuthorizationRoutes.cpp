#include "AuthorizationRoutes.h"

#include "SandboxOptions.h"
#include "SandboxState.h"
#include "TokenRegistry.h"

#include <QUrl>

namespace {

SandboxReply oauthError(int status, const QString &error, const QString &description)
{
    SandboxReply reply = SandboxReply::json(
        QJsonObject{{"error", error}, {"error_description", description}}, status);
    reply.headers.emplaceBack("Cache-Control", "no-store");
    return reply;
}

QString errorPage(const QString &message)
{
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Sign-in "
                          "error</title></head><body><h1>Sign-in error</h1><p id=\"error\">%1</p>"
                          "</body></html>")
        .arg(message.toHtmlEscaped());
}

QString field(const QUrlQuery &query, const char *name)
{
    return query.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded);
}

} // namespace

AuthorizationRoutes::AuthorizationRoutes(const SandboxOptions &options, TokenRegistry &tokens,
                                         const SandboxState &state)
    : m_options(options)
    , m_tokens(tokens)
    , m_state(state)
{}

void AuthorizationRoutes::addTo(RouteTable &table)
{
    table.add("GET", "/connect/authorize", [this](const SandboxRequest &request, const auto &) {
        return authorizePage(request);
    });
    table.add("POST", "/connect/authorize",
              [this](const SandboxRequest &request, const auto &) { return signIn(request); });
    table.add("POST", "/connect/token",
              [this](const SandboxRequest &request, const auto &) { return token(request); });
    table.add("GET", "/account/logout", [](const SandboxRequest &, const auto &) {
        return SandboxReply::json(QJsonObject{{"loggedOut", true}});
    });
}

std::optional<SandboxReply> AuthorizationRoutes::checkClient(const QString &clientId,
                                                             const QString &redirectUri) const
{
    // Never redirect to an address that was not registered: answer with a page instead.
    if (clientId != m_options.clientId)
        return SandboxReply::html(errorPage(QStringLiteral("Unknown client: ") + clientId), 400);
    if (redirectUri != m_options.redirectUri)
        return SandboxReply::html(
            errorPage(QStringLiteral("The redirect URI is not registered: ") + redirectUri), 400);
    return std::nullopt;
}

SandboxReply AuthorizationRoutes::authorizePage(const SandboxRequest &request) const
{
    const QUrlQuery &query = request.query;
    if (auto refused = checkClient(field(query, "client_id"), field(query, "redirect_uri")))
        return *refused;
    if (field(query, "response_type") != QLatin1String("code"))
        return SandboxReply::html(errorPage(QStringLiteral("response_type must be code")), 400);
    return SandboxReply::html(formPage(query, {}));
}

QString AuthorizationRoutes::formPage(const QUrlQuery &fields, const QString &problem)
{
    QString hidden;
    for (const char *name : {"client_id", "redirect_uri", "state", "scope"}) {
        if (fields.hasQueryItem(QString::fromLatin1(name)))
            hidden += QStringLiteral("<input type=\"hidden\" name=\"%1\" value=\"%2\">")
                          .arg(QString::fromLatin1(name), field(fields, name).toHtmlEscaped());
    }
    const QString error =
        problem.isEmpty()
            ? QString()
            : QStringLiteral("<p id=\"error\" role=\"alert\">%1</p>").arg(problem.toHtmlEscaped());
    return QStringLiteral(
               "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Sign in</title>"
               "<style>body{font-family:sans-serif;max-width:22em;margin:3em auto}"
               "label,input{display:block;width:100%;margin:.4em 0}#error{color:#c00}</style>"
               "</head><body><h1>Sign in to Quorvella</h1>%1"
               "<form id=\"signin\" method=\"post\" action=\"/connect/authorize\">%2"
               "<label for=\"email\">E-mail</label>"
               "<input id=\"email\" name=\"email\" type=\"email\" autocomplete=\"username\" "
               "autofocus>"
               "<label for=\"password\">Password</label>"
               "<input id=\"password\" name=\"password\" type=\"password\" "
               "autocomplete=\"current-password\">"
               "<input id=\"submit\" type=\"submit\" value=\"Sign in\"></form></body></html>")
        .arg(error, hidden);
}

SandboxReply AuthorizationRoutes::signIn(const SandboxRequest &request)
{
    if (request.mediaType() != "application/x-www-form-urlencoded")
        return SandboxReply::html(errorPage(QStringLiteral("The form was not sent as a form")),
                                  400);
    const QUrlQuery form = request.formBody();
    const QString redirectUri = field(form, "redirect_uri");
    if (auto refused = checkClient(field(form, "client_id"), redirectUri))
        return *refused;
    const bool known = field(form, "email").compare(m_state.email, Qt::CaseInsensitive) == 0 &&
                       field(form, "password") == m_state.password;
    if (!known)
        return SandboxReply::html(formPage(form, QStringLiteral("Wrong e-mail or password.")), 401);

    const QString code = m_tokens.issueCode(m_options.clientId, redirectUri);
    QUrlQuery answer;
    answer.addQueryItem(QStringLiteral("code"), code);
    if (form.hasQueryItem(QStringLiteral("state")))
        answer.addQueryItem(QStringLiteral("state"),
                            QString::fromLatin1(QUrl::toPercentEncoding(field(form, "state"))));
    const QChar joiner =
        redirectUri.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?');
    return SandboxReply::redirect(
        (redirectUri + joiner + answer.query(QUrl::FullyEncoded)).toUtf8());
}

SandboxReply AuthorizationRoutes::token(const SandboxRequest &request)
{
    if (request.mediaType() != "application/x-www-form-urlencoded")
        return oauthError(400, QStringLiteral("invalid_request"),
                          QStringLiteral("parameters must be form-encoded"));
    const QUrlQuery form = request.formBody();
    const QString clientId = field(form, "client_id");
    if (clientId != m_options.clientId || field(form, "client_secret") != m_options.clientSecret)
        return oauthError(401, QStringLiteral("invalid_client"),
                          QStringLiteral("unknown client or wrong client secret"));

    const QString grantType = field(form, "grant_type");
    TokenRegistry::Outcome outcome;
    if (grantType == QLatin1String("authorization_code")) {
        if (field(form, "redirect_uri") != m_options.redirectUri)
            return oauthError(400, QStringLiteral("invalid_grant"),
                              QStringLiteral("redirect_uri is not the registered one"));
        outcome = m_tokens.exchangeCode(field(form, "code"), clientId, field(form, "redirect_uri"));
    } else if (grantType == QLatin1String("refresh_token")) {
        outcome = m_tokens.refresh(field(form, "refresh_token"), clientId);
    } else {
        return oauthError(400, QStringLiteral("unsupported_grant_type"),
                          QStringLiteral("grant_type must be authorization_code or refresh_token"));
    }
    if (!outcome.ok)
        return oauthError(400, outcome.error, outcome.description);

    SandboxReply reply =
        SandboxReply::json(QJsonObject{{"access_token", outcome.grant.accessToken},
                                       {"expires_in", outcome.grant.expiresIn},
                                       {"token_type", "Bearer"},
                                       {"refresh_token", outcome.grant.refreshToken},
                                       {"scope", "qvapi offline_access"}});
    reply.headers.emplaceBack("Cache-Control", "no-store");
    return reply;
}
