#pragma once

#include "Services/RateLimit.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QNetworkRequest>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

class AuthenticationManager;
class QNetworkAccessManager;
class QNetworkReply;
class ReachabilitySource;
class TokenManager;
struct ApiResponse;

// Puts the API client's requests on the wire: the token headers, the transfer timeout, the
// service's Retry-After pause, the bound on an answer's size and the dropping of answers that
// belong to a session that has ended. Lives on the API client's thread.
class ApiSender : public QObject
{
    Q_OBJECT

public:
    enum class Method { get, post, deleteResource };
    using ReplyHandler = std::function<void(const ApiResponse &)>;
    using Headers = QList<std::pair<QByteArray, QByteArray>>;

    // `reachability` (may be null) is asked to look again when a request gets no answer.
    ApiSender(QNetworkAccessManager *network, int requestTimeoutMs,
              ReachabilitySource *reachability, QObject *parent = nullptr);

    [[nodiscard]] bool isSlowedDown() const { return m_rateLimit.isHolding(); }
    [[nodiscard]] qint64 slowDownSecondsLeft() const { return m_rateLimit.secondsLeft(); }
    // A 429 to `reply` starts the pause.
    void watchRateLimit(QNetworkReply *reply);

    void setAuthentication(AuthenticationManager *authentication);
    void releaseAuthentication(const AuthenticationManager *authentication);
    [[nodiscard]] AuthenticationManager &authentication() const;

    [[nodiscard]] static Headers authorizedHeaders(const TokenManager &token,
                                                   const std::optional<QString> &workspaceId,
                                                   bool omitWorkspace);
    // Nothing when no usable token exists (a refresh is started when it only expired), or
    // while the service has asked to slow down.
    [[nodiscard]] std::optional<QNetworkRequest>
    authorizedRequest(const QString &url, const std::optional<QString> &workspaceId,
                      bool omitWorkspace);

    void sendAuthorized(Method method, const QString &url,
                        const std::optional<QString> &workspaceId, bool omitWorkspace,
                        const std::optional<QJsonObject> &body, ReplyHandler handler);
    // With a session generation, the answer is dropped when another session has begun since.
    void send(Method method, const QNetworkRequest &request, const QByteArray &body,
              ReplyHandler handler, std::optional<quint64> session = std::nullopt);
    // True (and `handler` answered with no response) while the service asked to slow down.
    bool refusedWhileSlowedDown(const QString &url, const ReplyHandler &handler);

private:
    void noteAnswer(QNetworkReply *reply);
    static void showSlowDownNotification(qint64 seconds);

    QNetworkAccessManager *m_network;
    int m_requestTimeoutMs;
    ReachabilitySource *m_reachability;
    AuthenticationManager *m_authentication = nullptr;
    RateLimit m_rateLimit;
};
