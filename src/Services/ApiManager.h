#pragma once

#include "Services/ApiSender.h"
#include "Services/Config.h"
#include "Services/InternetStatus.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QNetworkRequest>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class AuthenticationManager;
class QNetworkAccessManager;
class QNetworkReply;
class ReachabilitySource;
class TokenManager;
struct ApiResponse;

// The one place that talks HTTP to the service for the signed-in user: the operations, the
// response handlers, the sign-out on 401 and the reachability state; its ApiSender gives the
// requests their shared shape and sends them. Callable from any thread: each call hops to the GUI
// thread first, and every completion runs there, once, with the result or with nothing on any
// failure.
class ApiManager : public QObject
{
    Q_OBJECT

public:
    using ObjectCompletion = std::function<void(std::optional<QJsonObject>)>;
    using ListCompletion = std::function<void(std::optional<QJsonArray>)>;
    // The list, and the HTTP status of the answer (0: no answer at all).
    using StatusListCompletion = std::function<void(std::optional<QJsonArray>, int)>;
    using Headers = ApiSender::Headers;

    // Made on first use with the configured hosts, and never released.
    static ApiManager &shared();
    // Makes `api` the shared client (tests build their own); nullptr restores the default.
    static void installShared(ApiManager *api);
    // Shows the generic error notification; the default one is used until this is set.
    static void setErrorNotifier(std::function<void()> notifier);

    // Takes the reachability source (none: the platform could not make one) and starts it.
    ApiManager(QNetworkAccessManager *network, Config config,
               std::unique_ptr<ReachabilitySource> reachability, QObject *parent = nullptr);
    ~ApiManager() override;

    [[nodiscard]] InternetStatus internetStatus() const { return m_internetStatus.load(); }
    [[nodiscard]] const Config &config() const { return m_config; }
    [[nodiscard]] QNetworkAccessManager *network() const { return m_network; }
    // While the service's Retry-After runs, nothing is sent to it: requests answer as failed.
    [[nodiscard]] bool isSlowedDown() const { return m_sender->isSlowedDown(); }
    [[nodiscard]] qint64 slowDownSecondsLeft() const { return m_sender->slowDownSecondsLeft(); }
    // For the requests other parts send themselves: a 429 to `reply` starts the pause too.
    void watchRateLimit(QNetworkReply *reply);

    // The token exchange this client asks for usable tokens; the shared one when none is set.
    void setAuthentication(AuthenticationManager *authentication);
    // Forgets the token exchange when it is this one (it is going away).
    void releaseAuthentication(const AuthenticationManager *authentication);
    [[nodiscard]] AuthenticationManager &authentication() const;

    // "Authorization", "Content-type" and, unless omitted, "workspace": the given id, else
    // the "id" of the stored main-view workspace, else none.
    [[nodiscard]] static Headers authorizedHeaders(const TokenManager &token,
                                                   const std::optional<QString> &workspaceId,
                                                   bool omitWorkspace);
    // A request under the API base URL for the calls other parts make themselves: nothing
    // when no usable token exists (a refresh is started when it only expired), or while the
    // service has asked to slow down.
    [[nodiscard]] std::optional<QNetworkRequest>
    authorizedRequest(const QString &pathAndQuery, const std::optional<QString> &workspaceId,
                      bool omitWorkspace = false);

    void getLinks(const std::optional<QString> &last, const std::optional<QString> &workspaceId,
                  bool favouritesOnly, ListCompletion completion);
    void searchLinks(const QString &term, const std::optional<QString> &last,
                     const std::optional<QString> &workspaceId, ListCompletion completion);
    // `term`: the destination percent-encoded with the URL-host-allowed set. Without a
    // workspace id no "workspace" header is sent.
    void searchLinksByDestination(const QString &term, const std::optional<QString> &workspaceId,
                                  ListCompletion completion);
    // POST "/links": the caller decides what being offline means for its chain.
    void createLink(const QJsonObject &body, const std::optional<QString> &workspaceId,
                    ObjectCompletion completion);
    // The active domains of one workspace; the status tells a refusal from a lost answer.
    void getDomains(const QString &workspaceId, StatusListCompletion completion);
    void updateLink(const QString &linkId, const QJsonObject &body,
                    const std::optional<QString> &workspaceId, ObjectCompletion completion);
    void setFavourite(const QString &linkId, bool favourite, ObjectCompletion completion);
    void deleteLink(const QString &linkId, ObjectCompletion completion);
    void getAccount(ObjectCompletion completion);
    // The account's workspaces, sorted by name.
    void getWorkspaces(ListCompletion completion);
    void getAccountDomains(ListCompletion completion);
    void recommendTitle(const QJsonObject &body, const std::optional<QString> &workspaceId,
                        ObjectCompletion completion);
    void recommendSlashtag(const QString &url, bool random, bool dash, bool camelCase,
                           const std::optional<QString> &domainFullName,
                           ObjectCompletion completion);
    void getPlugins(ObjectCompletion completion);
    // Ends the signed-in session: answers to requests sent before are dropped from now on, and
    // the completion is dropped too when a new session has begun by the time the answer comes.
    void logout(ObjectCompletion completion);
    // The update manifest, only when its detached signature ("versions.json.sig") verifies
    // under a key built in; nothing otherwise.
    void getVersions(ObjectCompletion completion);

    // The "term" query value of the destination search, from a host-set encoded term: the
    // characters that could end or change a query value are encoded too.
    [[nodiscard]] static QString destinationSearchTerm(const QString &encodedTerm);
    [[nodiscard]] static QJsonObject slashtagBody(const QString &url, bool random, bool dash,
                                                  bool camelCase,
                                                  const std::optional<QString> &domainFullName);

private:
    using Method = ApiSender::Method;
    using ReplyHandler = ApiSender::ReplyHandler;

    // True when the call was handed to the GUI thread and the caller must return.
    bool hopToGuiThread(std::function<void()> call);
    void onReachabilityReport(bool reachable);
    [[nodiscard]] bool isOffline() const;

    void handleObjectResponse(const ApiResponse &response, const ObjectCompletion &completion,
                              bool isLogout = false);
    void handleListResponse(const ApiResponse &response, const ListCompletion &completion);
    void checkVersionsSignature(const ApiResponse &manifest, ObjectCompletion completion);
    static void handleVersionsResponse(const ApiResponse &response,
                                       const ObjectCompletion &completion);
    static void logErrorResponse(const QString &title, const ApiResponse &response);
    void signOut();
    static void showErrorNotification();

    [[nodiscard]] QString apiUrl(const QString &path) const;

    QNetworkAccessManager *m_network;
    Config m_config;
    // The monitor (absent when none could be made) comes before
    // the state it rewrites, so it is set up first.
    std::unique_ptr<ReachabilitySource> m_networkReachabilityManager;
    // Sends every request; a child, so it follows the client to the GUI thread.
    ApiSender *m_sender;
    std::atomic<InternetStatus> m_internetStatus{InternetStatus::notReachable};
};
