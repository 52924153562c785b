#include "Services/ApiManager.h"

#include "App/Costants.h"
#include "App/CrashReporter.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Platform/Platform.h"
#include "Platform/UserNotificationCenter.h"
#include "Services/ApiResponse.h"
#include "Services/ApiSender.h"
#include "Services/AuthenticationManager.h"
#include "Services/BodyLimit.h"
#include "Services/ReachabilitySource.h"
#include "Services/TokenManager.h"
#include "Update/ArchiveSignature.h"

#include <QCoreApplication>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QThread>

using namespace Costants;

namespace {

constexpr qint64 kMaxManifestBytes = 64 * 1024;
constexpr qint64 kMaxSignatureBytes = 1024;

QNetworkRequest limitedRequest(const QUrl &url, qint64 maxBytes)
{
    QNetworkRequest request(url);
    request.setAttribute(BodyLimit::attribute, maxBytes);
    return request;
}

QString joined(const QUrl &host, const QString &path)
{
    return host.toString(QUrl::StripTrailingSlash) + path;
}

// A list answer counts only as an array whose elements are all objects.
std::optional<QJsonArray> objectList(const std::optional<QJsonValue> &value)
{
    if (!value || !value->isArray())
        return std::nullopt;
    const QJsonArray array = value->toArray();
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            return std::nullopt;
    }
    return array;
}

std::optional<QJsonObject> object(const std::optional<QJsonValue> &value)
{
    if (!value || !value->isObject())
        return std::nullopt;
    return value->toObject();
}

void deleteTokenAfterLogout(const std::optional<QJsonObject> &)
{
    TokenManager::deleteToken();
}

bool isGuiThread()
{
    const QCoreApplication *application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

} // namespace

namespace {
std::atomic<ApiManager *> installedShared{nullptr};

QMutex &errorNotifierMutex()
{
    static QMutex mutex;
    return mutex;
}

std::function<void()> &errorNotifier()
{
    static std::function<void()> notifier;
    return notifier;
}
} // namespace

void ApiManager::installShared(ApiManager *api)
{
    installedShared.store(api);
}

void ApiManager::setErrorNotifier(std::function<void()> notifier)
{
    const QMutexLocker locker(&errorNotifierMutex());
    errorNotifier() = std::move(notifier);
}

ApiManager &ApiManager::shared()
{
    if (ApiManager *installed = installedShared.load())
        return *installed;
    static ApiManager *instance = [] {
        const Config &config = Config::current();
        auto *network = new QNetworkAccessManager;
        auto *api = new ApiManager(
            network, config,
            ReachabilitySource::createDefault(config.reachabilityHost, config.reachabilityPort));
        network->setParent(api);
        if (!isGuiThread() && QCoreApplication::instance()) {
            api->moveToThread(QCoreApplication::instance()->thread());
            if (api->m_networkReachabilityManager) {
                api->m_networkReachabilityManager->moveToThread(api->thread());
                QMetaObject::invokeMethod(
                    api, [api] { api->m_networkReachabilityManager->start(); },
                    Qt::QueuedConnection);
            }
        }
        return api;
    }();
    return *instance;
}

ApiManager::ApiManager(QNetworkAccessManager *network, Config config,
                       std::unique_ptr<ReachabilitySource> reachability, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_config(std::move(config))
    , m_networkReachabilityManager(std::move(reachability))
    , m_sender(new ApiSender(network, m_config.requestTimeoutMs, m_networkReachabilityManager.get(),
                             this))
{
    // Also for the requests other parts send through this client's network.
    m_network->setTransferTimeout(m_config.requestTimeoutMs);
    if (!m_networkReachabilityManager)
        return;
    connect(m_networkReachabilityManager.get(), &ReachabilitySource::reported, this,
            &ApiManager::onReachabilityReport);
    // Off the GUI thread, shared() starts it once the client lives there.
    if (isGuiThread())
        m_networkReachabilityManager->start();
}

ApiManager::~ApiManager() = default;

void ApiManager::setAuthentication(AuthenticationManager *authentication)
{
    m_sender->setAuthentication(authentication);
}

void ApiManager::releaseAuthentication(const AuthenticationManager *authentication)
{
    m_sender->releaseAuthentication(authentication);
}

AuthenticationManager &ApiManager::authentication() const
{
    return m_sender->authentication();
}

bool ApiManager::hopToGuiThread(std::function<void()> call)
{
    if (QThread::currentThread() == thread())
        return false;
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    return true;
}

void ApiManager::onReachabilityReport(bool reachable)
{
    const InternetStatus previous = m_internetStatus.load();
    const InternetStatus current =
        reachable ? InternetStatus::reachable : InternetStatus::notReachable;
    m_internetStatus.store(current);
    logLines({reachable ? QStringLiteral("NETWORK REACHABLE")
                        : QStringLiteral("NETWORK NOT REACHABLE")});
    NotificationCenter::shared().post(
        NotificationViews::changeInternetReachability, nullptr,
        {{InternetReachability::previousInternetStatus, internetStatusText(previous)},
         {InternetReachability::currentInternetStatus, internetStatusText(current)}});
}

bool ApiManager::isOffline() const
{
    return internetStatus() == InternetStatus::notReachable;
}

ApiManager::Headers ApiManager::authorizedHeaders(const TokenManager &token,
                                                  const std::optional<QString> &workspaceId,
                                                  bool omitWorkspace)
{
    return ApiSender::authorizedHeaders(token, workspaceId, omitWorkspace);
}

std::optional<QNetworkRequest>
ApiManager::authorizedRequest(const QString &pathAndQuery,
                              const std::optional<QString> &workspaceId, bool omitWorkspace)
{
    return m_sender->authorizedRequest(apiUrl(pathAndQuery), workspaceId, omitWorkspace);
}

QString ApiManager::apiUrl(const QString &path) const
{
    return joined(m_config.apiBaseUrl(), path);
}

void ApiManager::getLinks(const std::optional<QString> &last,
                          const std::optional<QString> &workspaceId, bool favouritesOnly,
                          ListCompletion completion)
{
    if (hopToGuiThread([=, this] { getLinks(last, workspaceId, favouritesOnly, completion); }))
        return;
    if (isOffline())
        return completion(std::nullopt);
    QString path = API::Links::links + QStringLiteral("?limit=") + API::pageSize;
    if (last)
        path += QStringLiteral("&last=") + *last;
    if (favouritesOnly)
        path += QStringLiteral("&favourite=true");
    const QString url = apiUrl(path);
    logLines({QStringLiteral("URL: ") + url});
    m_sender->sendAuthorized(
        Method::get, url, workspaceId, false, std::nullopt,
        [this, completion](const ApiResponse &r) { handleListResponse(r, completion); });
}

void ApiManager::searchLinks(const QString &term, const std::optional<QString> &last,
                             const std::optional<QString> &workspaceId, ListCompletion completion)
{
    if (hopToGuiThread([=, this] { searchLinks(term, last, workspaceId, completion); }))
        return;
    if (isOffline())
        return completion(std::nullopt);
    // The term is one query value: '#', '&', '+' and the like are part of what is searched.
    QString path = API::Links::links + API::Links::search + API::pageSize +
                   QStringLiteral("&term=") + QString::fromLatin1(QUrl::toPercentEncoding(term));
    if (last)
        path += QStringLiteral("&last=") + *last;
    m_sender->sendAuthorized(
        Method::get, apiUrl(path), workspaceId, false, std::nullopt,
        [this, completion](const ApiResponse &r) { handleListResponse(r, completion); });
}

void ApiManager::searchLinksByDestination(const QString &term,
                                          const std::optional<QString> &workspaceId,
                                          ListCompletion completion)
{
    if (hopToGuiThread([=, this] { searchLinksByDestination(term, workspaceId, completion); }))
        return;
    // Sent even while offline: the duplicate check must not be skipped on a stale state.
    const QString path = API::Links::searchByDestination + destinationSearchTerm(term) +
                         QStringLiteral("&limit=") + API::destinationPageSize;
    // Without a workspace id the service searches its default workspace, not the one the
    // link list happens to show.
    m_sender->sendAuthorized(
        Method::get, apiUrl(path), workspaceId, !workspaceId, std::nullopt,
        [this, completion](const ApiResponse &r) { handleListResponse(r, completion); });
}

void ApiManager::createLink(const QJsonObject &body, const std::optional<QString> &workspaceId,
                            ObjectCompletion completion)
{
    if (hopToGuiThread([=, this] { createLink(body, workspaceId, completion); }))
        return;
    m_sender->sendAuthorized(
        Method::post, apiUrl(API::Links::links), workspaceId, false, body,
        [this, completion](const ApiResponse &r) { handleObjectResponse(r, completion); });
}

void ApiManager::getDomains(const QString &workspaceId, StatusListCompletion completion)
{
    if (hopToGuiThread([=, this] { getDomains(workspaceId, completion); }))
        return;
    m_sender->sendAuthorized(Method::get, apiUrl(API::Domain::activeDomains), workspaceId, false,
                             std::nullopt, [this, completion](const ApiResponse &r) {
                                 handleListResponse(
                                     r, [&r, &completion](std::optional<QJsonArray> list) {
                                         completion(std::move(list), r.hasResponse ? r.status : 0);
                                     });
                             });
}

void ApiManager::updateLink(const QString &linkId, const QJsonObject &body,
                            const std::optional<QString> &workspaceId, ObjectCompletion completion)
{
    if (hopToGuiThread([=, this] { updateLink(linkId, body, workspaceId, completion); }))
        return;
    if (isOffline())
        return completion(std::nullopt);
    m_sender->sendAuthorized(
        Method::post, apiUrl(API::Links::links + QLatin1Char('/') + linkId), workspaceId, false,
        body, [this, completion](const ApiResponse &r) { handleObjectResponse(r, completion); });
}

void ApiManager::setFavourite(const QString &linkId, bool favourite, ObjectCompletion completion)
{
    if (hopToGuiThread([=, this] { setFavourite(linkId, favourite, completion); }))
        return;
    if (isOffline())
        return completion(std::nullopt);
    m_sender->sendAuthorized(
        Method::post, apiUrl(API::Links::links + QLatin1Char('/') + linkId + API::Links::favourite),
        std::nullopt, false, QJsonObject{{QStringLiteral("favourite"), favourite}},
        [this, completion](const ApiResponse &r) { handleObjectResponse(r, completion); });
}

void ApiManager::deleteLink(const QString &linkId, ObjectCompletion completion)
{
    if (hopToGuiThread([=, this] { deleteLink(linkId, completion); }))
        return;
    if (isOffline())
        return completion(std::nullopt);
    m_sender->sendAuthorized(
        Method::deleteResource, apiUrl(API::Links::links + QLatin1Char('/') + linkId), std::nullopt,
        false, std::nullopt,
        [this, completion](const ApiResponse &r) { handleObjectResponse(r, completion); });
}

void ApiManager::getAccount(ObjectCompletion completion)
{
    if (hopToGuiThread([=, this] { getAccount(completion); }))
        return;
    if (isOffline())
        return completion(std::nullopt);
    m_sender->sendAuthorized(
        Method::get, apiUrl(API::Account::account), std::nullopt, false, std::nullopt,
        [this, completion](const ApiResponse &r) { handleObjectResponse(r, completion); });
}

void ApiManager::getWorkspaces(ListCompletion completion)
{
    if (hopToGuiThread([=, this] { getWorkspaces(completion); }))
        return;
    if (isOffline())
        return completion(std::nullopt);
    m_sender->sendAuthorized(
        Method::get, apiUrl(API::Workspace::workspaces), std::nullopt, false, std::nullopt,
        [this, completion](const ApiResponse &r) { handleListResponse(r, completion); });
}

void ApiManager::getAccountDomains(ListCompletion completion)
{
    if (hopToGuiThread([=, this] { getAccountDomains(completion); }))
        return;
    if (isOffline())
        return completion(std::nullopt);
    logLines({QStringLiteral("get account domains")});
    m_sender->sendAuthorized(
        Method::get, apiUrl(API::Account::domains), std::nullopt, true, std::nullopt,
        [this, completion](const ApiResponse &r) { handleListResponse(r, completion); });
}

void ApiManager::recommendTitle(const QJsonObject &body, const std::optional<QString> &workspaceId,
                                ObjectCompletion completion)
{
    if (hopToGuiThread([=, this] { recommendTitle(body, workspaceId, completion); }))
        return;
    m_sender->sendAuthorized(
        Method::post, joined(m_config.recommendationHost, API::titleRecommendPath), workspaceId,
        false, body,
        [this, completion](const ApiResponse &r) { handleObjectResponse(r, completion); });
}

QString ApiManager::destinationSearchTerm(const QString &encodedTerm)
{
    // The host set that the term is encoded with keeps '&', '=' and '+', which would end the
    // term or turn into a space on the service's side and cut a destination with a query.
    QString term = encodedTerm;
    term.replace(QLatin1Char('&'), QLatin1String("%26"));
    term.replace(QLatin1Char('='), QLatin1String("%3D"));
    term.replace(QLatin1Char('+'), QLatin1String("%2B"));
    return term;
}

QJsonObject ApiManager::slashtagBody(const QString &url, bool random, bool dash, bool camelCase,
                                     const std::optional<QString> &domainFullName)
{
    QJsonObject algorithm{
        {QStringLiteral("type"), random ? QStringLiteral("random") : QStringLiteral("custom")}};
    if (!random) {
        algorithm.insert(
            QStringLiteral("options"),
            QJsonObject{{QStringLiteral("separator"),
                         dash ? QStringLiteral("dash") : QStringLiteral("none")},
                        {QStringLiteral("capitalization"),
                         camelCase ? QStringLiteral("camelcase") : QStringLiteral("lowercase")}});
    }
    QJsonObject body{{QStringLiteral("url"), url}, {QStringLiteral("algorithm"), algorithm}};
    if (domainFullName)
        body.insert(QStringLiteral("domain"),
                    QJsonObject{{QStringLiteral("fullName"), *domainFullName}});
    return body;
}

void ApiManager::recommendSlashtag(const QString &url, bool random, bool dash, bool camelCase,
                                   const std::optional<QString> &domainFullName,
                                   ObjectCompletion completion)
{
    if (hopToGuiThread([=, this] {
            recommendSlashtag(url, random, dash, camelCase, domainFullName, completion);
        }))
        return;
    if (isOffline())
        return completion(std::nullopt);
    m_sender->sendAuthorized(
        Method::post, joined(m_config.recommendationHost, API::slashtagRecommendPath), std::nullopt,
        false, slashtagBody(url, random, dash, camelCase, domainFullName),
        [this, completion](const ApiResponse &r) { handleObjectResponse(r, completion); });
}

void ApiManager::getPlugins(ObjectCompletion completion)
{
    if (hopToGuiThread([=, this] { getPlugins(completion); }))
        return;
    const QString url = joined(m_config.apiHost, API::pluginsPath);
    ReplyHandler handler = [this, completion](const ApiResponse &r) {
        handleObjectResponse(r, completion);
    };
    if (m_sender->refusedWhileSlowedDown(url, handler))
        return;
    m_sender->send(Method::get, QNetworkRequest{QUrl(url)}, {}, std::move(handler));
}

void ApiManager::logout(ObjectCompletion completion)
{
    if (hopToGuiThread([=, this] { logout(completion); }))
        return;
    m_sender->send(
        Method::get, QNetworkRequest(QUrl(joined(m_config.authorizationHost, Oauth::logoutPath))),
        {}, [this, completion](const ApiResponse &r) { handleObjectResponse(r, completion, true); },
        TokenManager::nextSessionGeneration());
}

void ApiManager::getVersions(ObjectCompletion completion)
{
    if (hopToGuiThread([=, this] { getVersions(completion); }))
        return;
    // Bounded while it arrives: a hostile host cannot make us read more than a manifest.
    m_sender->send(
        Method::get,
        limitedRequest(QUrl(joined(m_config.downloadHost, API::versionsPath)), kMaxManifestBytes),
        {}, [this, completion](const ApiResponse &r) { checkVersionsSignature(r, completion); });
}

void ApiManager::checkVersionsSignature(const ApiResponse &manifest, ObjectCompletion completion)
{
    if (!manifest.hasResponse || manifest.status >= 300)
        return completion(std::nullopt);
    // Only a manifest signed as the archives are offers anything: its detached signature lies
    // beside it as "versions.json.sig".
    const QUrl signatureUrl(
        joined(m_config.downloadHost, API::versionsPath + QStringLiteral(".sig")));
    m_sender->send(Method::get, limitedRequest(signatureUrl, kMaxSignatureBytes), {},
                   [manifest, completion](const ApiResponse &signature) {
                       if (!signature.hasResponse || signature.status >= 300 ||
                           !ArchiveSignature::verifyBytes(manifest.body, signature.body)) {
                           logLines(
                               {QStringLiteral("the update manifest does not verify: no update")});
                           return completion(std::nullopt);
                       }
                       handleVersionsResponse(manifest, completion);
                   });
}

void ApiManager::logErrorResponse(const QString &title, const ApiResponse &response)
{
    logLines({title, response.status});
    logLines({response.error ? QVariant(*response.error)
                             : QVariant(QStringLiteral("no response error"))});
    logLines({response.value ? response.value->toVariant()
                             : QVariant(QStringLiteral("no response result value"))});
}

void ApiManager::signOut()
{
    // Gone before the popovers are routed again, so they see a signed-out user; the logout
    // call still tells the service.
    TokenManager::deleteToken();
    logout(&deleteTokenAfterLogout);
    NotificationCenter::shared().post(NotificationViews::togglePopoverOpen);
}

void ApiManager::handleObjectResponse(const ApiResponse &response,
                                      const ObjectCompletion &completion, bool isLogout)
{
    if (!response.hasResponse)
        return completion(std::nullopt);
    if (response.status < 300)
        return completion(object(response.value));
    logErrorResponse(QStringLiteral("ERROR RESPONSE API!!!"), response);
    // A refused logout must not start another logout.
    if (response.status == 401 && !isLogout)
        signOut();
    // The slow-down notification has told the user already.
    if (response.status != 429)
        showErrorNotification();
    completion(object(response.value));
}

void ApiManager::handleListResponse(const ApiResponse &response, const ListCompletion &completion)
{
    if (!response.hasResponse)
        return completion(std::nullopt);
    if (response.status < 300)
        return completion(objectList(response.value));
    logErrorResponse(QStringLiteral("ERROR RESPONSE API!!! list"), response);
    if (response.status == 401) {
        // Read before the token is deleted.
        const std::optional<QDateTime> expiresAt =
            SettingsStore::shared().dateForKey(Preferences::expiresAt);
        TokenManager::deleteToken();
        logout(&deleteTokenAfterLogout);
        CrashEvent event;
        event.message = QStringLiteral("Internal Message: API UNAUTHORIZED");
        event.extra.insert(QStringLiteral("status_code"), response.status);
        if (response.value)
            event.extra.insert(QStringLiteral("response"), response.value->toVariant());
        if (response.error)
            event.extra.insert(QStringLiteral("err"), *response.error);
        if (expiresAt)
            event.extra.insert(QStringLiteral("token_expires_at"), *expiresAt);
        if (response.url.isValid())
            event.extra.insert(QStringLiteral("url"), response.url.toString());
        CrashReporter::capture(event);
        NotificationCenter::shared().post(NotificationViews::togglePopoverOpen);
    }
    completion(std::nullopt);
}

void ApiManager::handleVersionsResponse(const ApiResponse &response,
                                        const ObjectCompletion &completion)
{
    if (!response.hasResponse || response.status >= 300)
        return completion(std::nullopt);
    logLines({QStringLiteral("RESPONSE VERSIONS"),
              response.value ? response.value->toVariant() : QVariant()});
    completion(object(response.value));
}

void ApiManager::watchRateLimit(QNetworkReply *reply)
{
    m_sender->watchRateLimit(reply);
}

void ApiManager::showErrorNotification()
{
    std::function<void()> notifier;
    {
        const QMutexLocker locker(&errorNotifierMutex());
        notifier = errorNotifier();
    }
    if (notifier)
        return notifier();
    logLines({QStringLiteral("GENERIC ERROR")});
    if (!Platform::isInstalled())
        return;
    UserNotificationCenter &center = Platform::current().userNotificationCenter();
    center.removeAllDeliveredNotifications();
    UserNotification notification;
    notification.identifier = NotificationInfos::copiedLinkIdentifier;
    notification.title = LocalNotification::errorTitle;
    notification.informativeText =
        LocalNotification::errorDefaultMessage + LocalNotification::errorTryLater;
    notification.userInfo = {{NotificationInfos::userLoginKey, NotificationInfos::userLogged},
                             {NotificationInfos::typeKey, NotificationInfos::typeCopied}};
    center.deliver(notification);
}
