#include "Services/ApiSender.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Platform/Platform.h"
#include "Platform/UserNotificationCenter.h"
#include "Services/ApiResponse.h"
#include "Services/AuthenticationManager.h"
#include "Services/BodyLimit.h"
#include "Services/OneShotBody.h"
#include "Services/ReachabilitySource.h"
#include "Services/TokenManager.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>

using namespace Costants;

ApiSender::ApiSender(QNetworkAccessManager *network, int requestTimeoutMs,
                     ReachabilitySource *reachability, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_requestTimeoutMs(requestTimeoutMs)
    , m_reachability(reachability)
{}

void ApiSender::setAuthentication(AuthenticationManager *authentication)
{
    m_authentication = authentication;
}

void ApiSender::releaseAuthentication(const AuthenticationManager *authentication)
{
    if (m_authentication == authentication)
        m_authentication = nullptr;
}

AuthenticationManager &ApiSender::authentication() const
{
    return m_authentication ? *m_authentication : AuthenticationManager::shared();
}

ApiSender::Headers ApiSender::authorizedHeaders(const TokenManager &token,
                                                const std::optional<QString> &workspaceId,
                                                bool omitWorkspace)
{
    Headers headers;
    headers.append({QByteArrayLiteral("Authorization"),
                    (token.token_type.value_or(QString()) + QLatin1Char(' ') +
                     token.access_token.value_or(QString()))
                        .toUtf8()});
    headers.append({QByteArrayLiteral("Content-type"), QByteArrayLiteral("application/json")});
    if (omitWorkspace)
        return headers;
    if (workspaceId) {
        headers.append({QByteArrayLiteral("workspace"), workspaceId->toUtf8()});
        return headers;
    }
    const std::optional<QVariantMap> stored =
        SettingsStore::shared().dictionaryForKey(Preferences::workspaceObjectMainView);
    if (stored && stored->contains(QStringLiteral("id")))
        headers.append({QByteArrayLiteral("workspace"),
                        stored->value(QStringLiteral("id")).toString().toUtf8()});
    return headers;
}

std::optional<QNetworkRequest>
ApiSender::authorizedRequest(const QString &url, const std::optional<QString> &workspaceId,
                             bool omitWorkspace)
{
    if (refusedWhileSlowedDown(url, {}))
        return std::nullopt;
    if (!authentication().hasValidToken()) {
        authentication().refreshIfExpired();
        return std::nullopt;
    }
    const std::optional<TokenManager> token = TokenManager::load();
    if (!token)
        return std::nullopt;
    QNetworkRequest request{QUrl(url)};
    request.setTransferTimeout(m_requestTimeoutMs);
    for (const auto &[name, value] : authorizedHeaders(*token, workspaceId, omitWorkspace))
        request.setRawHeader(name, value);
    return request;
}

void ApiSender::sendAuthorized(Method method, const QString &url,
                               const std::optional<QString> &workspaceId, bool omitWorkspace,
                               const std::optional<QJsonObject> &body, ReplyHandler handler)
{
    if (refusedWhileSlowedDown(url, handler))
        return;
    if (!authentication().hasValidToken()) {
        // The chain ends here: nothing is sent and the completion is never called.
        authentication().refreshIfExpired();
        return;
    }
    const std::optional<TokenManager> token = TokenManager::load();
    if (!token)
        return;
    QNetworkRequest request{QUrl(url)};
    for (const auto &[name, value] : authorizedHeaders(*token, workspaceId, omitWorkspace))
        request.setRawHeader(name, value);
    send(method, request, body ? QJsonDocument(*body).toJson(QJsonDocument::Compact) : QByteArray(),
         std::move(handler), TokenManager::sessionGeneration());
}

void ApiSender::send(Method method, const QNetworkRequest &original, const QByteArray &body,
                     ReplyHandler handler, std::optional<quint64> session)
{
    QNetworkRequest request = original;
    request.setTransferTimeout(m_requestTimeoutMs);
    QNetworkReply *reply = nullptr;
    switch (method) {
    case Method::get:
        reply = m_network->get(request);
        break;
    case Method::post: {
        // Sent once at most: a body the HTTP stack cannot rewind is never resent on its own.
        QNetworkRequest once = request;
        once.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
        once.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
        auto *device = new OneShotBody(body);
        reply = m_network->post(once, device);
        device->setParent(reply);
        break;
    }
    case Method::deleteResource:
        reply = m_network->deleteResource(request);
        break;
    }
    watchRateLimit(reply);
    if (const QVariant limit = request.attribute(BodyLimit::attribute); limit.isValid())
        BodyLimit::apply(reply, limit.toLongLong());
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, session, handler = std::move(handler)] {
                reply->deleteLater();
                if (session && *session != TokenManager::sessionGeneration()) {
                    // Sent for a session that has ended: acting on it would touch the next one.
                    logLines({QStringLiteral("dropping answer of an ended session")});
                    return;
                }
                if (BodyLimit::exceeded(reply)) {
                    // What came is a part of the answer: nothing of it is used.
                    logLines(
                        {QStringLiteral("answer too large, refused: ") + reply->url().toString()});
                    ApiResponse none;
                    none.url = reply->url();
                    return handler(std::move(none));
                }
                ApiResponse response = ApiResponse::from(reply);
                if (!response.hasResponse && m_reachability)
                    m_reachability->recheck();
                handler(std::move(response));
            });
}

bool ApiSender::refusedWhileSlowedDown(const QString &url, const ReplyHandler &handler)
{
    if (!m_rateLimit.isHolding())
        return false;
    // The path only: a query can carry what the user searched for.
    logLines({QStringLiteral("the service asked to slow down, not sending: ") + QUrl(url).path()});
    if (handler)
        handler(ApiResponse{});
    return true;
}

void ApiSender::watchRateLimit(QNetworkReply *reply)
{
    // Connected before the caller's own handler, so the pause is in place when it runs.
    connect(reply, &QNetworkReply::finished, this, [this, reply] { noteAnswer(reply); });
}

void ApiSender::noteAnswer(QNetworkReply *reply)
{
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 429)
        return;
    const QByteArray retryAfter = reply->rawHeader(QByteArrayLiteral("Retry-After"));
    const std::optional<qint64> seconds = m_rateLimit.hold(retryAfter);
    logLines({QStringLiteral("the service asked to slow down, Retry-After: ") +
              QString::fromLatin1(retryAfter.left(64))});
    if (seconds)
        showSlowDownNotification(*seconds);
}

void ApiSender::showSlowDownNotification(qint64 seconds)
{
    if (!Platform::isInstalled())
        return;
    UserNotification notification;
    notification.identifier = NotificationInfos::copiedLinkIdentifier;
    notification.title = LocalNotification::slowDownTitle;
    notification.informativeText = LocalNotification::slowDownMessage.arg(seconds);
    notification.userInfo = {{NotificationInfos::userLoginKey, NotificationInfos::userLogged},
                             {NotificationInfos::typeKey, NotificationInfos::typeCopied}};
    Platform::current().userNotificationCenter().deliver(notification);
}
