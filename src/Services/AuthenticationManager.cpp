#include "Services/AuthenticationManager.h"

#include "App/Clock.h"
#include "App/Costants.h"
#include "App/CrashReporter.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "Services/ApiManager.h"
#include "Services/ApiResponse.h"
#include "Services/OneShotBody.h"
#include "Services/Redaction.h"
#include "Services/TokenManager.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>
#include <QUrlQuery>

#include <cmath>

using namespace Costants;

namespace {

QByteArray formEncoded(const QVariantMap &parameters)
{
    // Encoded by hand: QUrlQuery leaves "+" alone, which a form decoder reads as a blank.
    QByteArray body;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(it.key()) + '=' +
                QUrl::toPercentEncoding(it.value().toString());
    }
    return body;
}

bool isComplete(const TokenManager &token)
{
    return token.access_token && token.token_type && token.expires_at && token.refresh_token;
}

std::optional<qint64> wholeSeconds(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double seconds = value.toDouble();
    if (!std::isfinite(seconds) || std::trunc(seconds) != seconds)
        return std::nullopt;
    return static_cast<qint64>(seconds);
}

} // namespace

AuthenticationManager &AuthenticationManager::shared()
{
    static AuthenticationManager *instance = [] {
        ApiManager &api = ApiManager::shared();
        auto *manager = new AuthenticationManager(api.network(), api);
        if (QCoreApplication::instance() && manager->thread() != api.thread())
            manager->moveToThread(api.thread());
        return manager;
    }();
    return *instance;
}

AuthenticationManager::AuthenticationManager(QNetworkAccessManager *network, ApiManager &api,
                                             QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_api(api)
{
    m_api.setAuthentication(this);
}

AuthenticationManager::~AuthenticationManager()
{
    m_api.releaseAuthentication(this);
}

bool AuthenticationManager::hopToGuiThread(std::function<void()> call)
{
    if (QThread::currentThread() == thread())
        return false;
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    return true;
}

bool AuthenticationManager::hasValidToken() const
{
    const std::optional<TokenManager> token = TokenManager::load();
    return token && isComplete(*token) && !token->isExpired();
}

bool AuthenticationManager::refreshIfExpired()
{
    const std::optional<TokenManager> token = TokenManager::load();
    if (!token || !isComplete(*token) || !token->isExpired())
        return false;
    refresh(*token);
    return true;
}

bool AuthenticationManager::handleRedirect(const QString &urlText)
{
    logLines({QStringLiteral("AUTHENTICATION")});
    const QUrl url(urlText, QUrl::StrictMode);
    if (!url.isValid() || !url.hasQuery())
        return false;
    const QUrlQuery query(url);
    if (!query.hasQueryItem(QStringLiteral("code")))
        return false;
    const QString code = query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
    if (code.isEmpty())
        return false;
    // The code is a credential: the line stays, its value does not.
    logLines({QStringLiteral("\ncode: ") + Redaction::placeholder});
    exchangeCode(code);
    return true;
}

void AuthenticationManager::exchangeCode(const QString &code)
{
    logLines({QStringLiteral("requesting access token")});
    requestToken({{QStringLiteral("code"), code},
                  {QStringLiteral("client_id"), Oauth::clientId},
                  {QStringLiteral("client_secret"), Oauth::clientSecret},
                  {QStringLiteral("grant_type"), QStringLiteral("authorization_code")},
                  {QStringLiteral("redirect_uri"), Oauth::redirectUri}},
                 true, true, QStringLiteral("challenging new token"));
}

void AuthenticationManager::refresh(const TokenManager &token)
{
    logLines({QStringLiteral("refreshing token")});
    if (!token.refresh_token) {
        logLines({QStringLiteral("Error on reading refresh token, no value found")});
        signOut();
        NotificationCenter::shared().post(NotificationViews::togglePopoverOpen);
        return;
    }
    logLines({QStringLiteral("refreshing token with refresh")});
    requestToken({{QStringLiteral("refresh_token"), *token.refresh_token},
                  {QStringLiteral("client_id"), Oauth::clientId},
                  {QStringLiteral("client_secret"), Oauth::clientSecret},
                  {QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
                  {QStringLiteral("redirect_uri"), Oauth::redirectUri}},
                 true, true, QStringLiteral("refresh token request"));
}

void AuthenticationManager::requestToken(const QVariantMap &parameters, bool announce,
                                         bool fetchDomains, const QString &label)
{
    if (hopToGuiThread([=, this] { requestToken(parameters, announce, fetchDomains, label); }))
        return;
    const QDateTime now = Clock::current().now();
    const quint64 session = TokenManager::sessionGeneration();
    // A request sent for a session that has ended since does not hold the window.
    if (m_requestDate && m_requestSession == session &&
        m_requestDate->msecsTo(now) < requestWindowMs) {
        logLines({QStringLiteral("Another request is performing XXXXX")});
        return;
    }
    m_requestDate = now;
    m_requestSession = session;
    logLines({QStringLiteral("Challenging token")});
    QUrl endpoint = m_api.config().authorizationHost;
    endpoint.setPath(Oauth::tokenPath);
    QNetworkRequest request(endpoint);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("application/x-www-form-urlencoded"));
    request.setTransferTimeout(m_api.config().requestTimeoutMs);
    // Sent once at most: a code or a rotated refresh token sent again after a lost answer is
    // refused, and a refusal signs the user out.
    const QByteArray body = formEncoded(parameters);
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    auto *device = new OneShotBody(body);
    QNetworkReply *reply = m_network->post(request, device);
    device->setParent(reply);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, session, parameters, announce, fetchDomains, label] {
                reply->deleteLater();
                if (session != TokenManager::sessionGeneration()) {
                    // The user signed out or in meanwhile: this answer is for nobody now.
                    if (m_requestSession == session)
                        m_requestDate.reset();
                    logLines({QStringLiteral("dropping token answer of an ended session")});
                    return;
                }
                handleAnswer(ApiResponse::from(reply), parameters, announce, fetchDomains, label);
            });
}

void AuthenticationManager::handleAnswer(const ApiResponse &response, const QVariantMap &parameters,
                                         bool announce, bool fetchDomains, const QString &label)
{
    m_requestDate.reset();
    if (!response.hasResponse) {
        // No connection or a timeout: the service refused nothing, so the refresh token stays
        // and the next need tries again.
        logLines({QStringLiteral("Error on requesting/refreshing token, no response inside")});
        return;
    }
    if (response.status != 200) {
        const QVariantMap redacted = Redaction::parameters(parameters);
        logLines({QStringLiteral("Error on requesting/refreshing token, deleting it!"), redacted});
        signOut();
        CrashEvent event;
        event.message = QStringLiteral("Internal Message: TOKEN EXCHANGE ERROR");
        event.extra.insert(QStringLiteral("status_code"), response.status);
        event.extra.insert(QStringLiteral("parameters"), redacted);
        event.extra.insert(QStringLiteral("description"), label);
        if (response.value)
            event.extra.insert(QStringLiteral("result"), response.value->toVariant());
        if (response.error)
            event.extra.insert(QStringLiteral("err"), *response.error);
        CrashReporter::capture(event);
        NotificationCenter::shared().post(NotificationViews::togglePopoverOpen);
        return;
    }
    if (!response.value || !response.value->isObject()) {
        logLines({QStringLiteral("Error on requesting/refreshing token, didn't receive a valid "
                                 "response value, deleting it!")});
        signOut();
        NotificationCenter::shared().post(NotificationViews::togglePopoverOpen);
        return;
    }
    logLines({QStringLiteral("VALID TOKEN RESPONSE")});
    const QJsonObject answer = response.value->toObject();
    const QJsonValue accessToken = answer.value(QLatin1String("access_token"));
    const QJsonValue tokenType = answer.value(QLatin1String("token_type"));
    const std::optional<qint64> expiresIn = wholeSeconds(answer.value(QLatin1String("expires_in")));
    const QJsonValue refreshToken = answer.value(QLatin1String("refresh_token"));
    if (!accessToken.isString() || !tokenType.isString() || !expiresIn || !refreshToken.isString())
        return;
    const bool signIn =
        parameters.value(QStringLiteral("grant_type")) == QLatin1String("authorization_code");
    // A sign-in begins a new session: late answers of the one before cannot reach it.
    if (signIn)
        m_offerSession = TokenManager::nextSessionGeneration();
    const QDateTime expiresAt = Clock::current().now().addSecs(*expiresIn);
    [[maybe_unused]] const bool saved = TokenManager(accessToken.toString(), tokenType.toString(),
                                                     expiresAt, refreshToken.toString())
                                            .save();
    if (announce) {
        logLines({QStringLiteral("toggling")});
        NotificationCenter::shared().post(NotificationViews::togglePopoverOpen);
    }
    if (fetchDomains)
        m_api.getAccountDomains([self = QPointer(this)](const std::optional<QJsonArray> &domains) {
            if (self)
                self->domainsFetched(domains);
        });
}

void AuthenticationManager::signOut()
{
    // Gone before anyone routes the popovers again, so a refused token is never sent twice;
    // the logout call still tells the service.
    TokenManager::deleteToken();
    m_api.logout([](const std::optional<QJsonObject> &) { TokenManager::deleteToken(); });
}

void AuthenticationManager::domainsFetched(const std::optional<QJsonArray> &domains)
{
    if (!domains) {
        m_offerSession.reset();
        return;
    }
    logLines({QStringLiteral("setting domains first authentication")});
    if (m_domainsHandler)
        m_domainsHandler(*domains);
    if (m_offerSession == TokenManager::sessionGeneration())
        fetchWorkspaces();
}

void AuthenticationManager::fetchWorkspaces()
{
    m_api.getWorkspaces([self = QPointer(this)](const std::optional<QJsonArray> &workspaces) {
        if (self)
            self->workspacesFetched(workspaces);
    });
}

void AuthenticationManager::workspacesFetched(const std::optional<QJsonArray> &workspaces)
{
    if (workspaces && m_workspacesHandler)
        m_workspacesHandler(*workspaces);
    if (workspaces && m_offerSession == TokenManager::sessionGeneration())
        riseStoredDestinationURL();
    m_offerSession.reset();
}

void AuthenticationManager::riseStoredDestinationURL()
{
    // Once per sign-in, with the default workspace and domain in place for the rebrand the
    // question may start.
    if (m_destinationHandler)
        m_destinationHandler();
}
