#include "App/PopoversManager.h"
#include "ServiceHarness.h"
#include "Views/Popover.h"

#include "Services/ProbeReachability.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QThread>

using namespace Costants;

namespace {

enum class Call {
    getLinks,
    searchLinks,
    searchLinksByDestination,
    updateLink,
    setFavourite,
    deleteLink,
    getAccountDomains,
    recommendTitle,
    recommendSlashtag,
    getPlugins,
    logout,
    getVersions
};

struct Outcome
{
    int calls = 0;
    bool gotValue = false;
    QJsonValue value;
    bool onGuiThread = true;
};

using Start = std::function<void(ApiManager &, const ApiManager::ObjectCompletion &,
                                 const ApiManager::ListCompletion &)>;

// What each operation sends, and how a row starts it.
struct CallInfo
{
    const char *name;
    QString method;
    QString path;
    bool list;        // hands on a list
    bool sentOffline; // sent even while offline
    bool needsToken;
    Start start;
};

const QString kLink = QStringLiteral("wsp-personal-l003");
const QString kUrl = QStringLiteral("https://example.com/article");

const QList<CallInfo> kCalls{
    {"getLinks", "GET", "/v1/links", true, false, true,
     [](ApiManager &api, auto, auto list) {
         api.getLinks(std::nullopt, std::nullopt, false, list);
     }},
    {"searchLinks", "GET", "/v1/links/search", true, false, true,
     [](ApiManager &api, auto, auto list) {
         api.searchLinks("demo", std::nullopt, std::nullopt, list);
     }},
    {"searchLinksByDestination", "GET", "/v1/links/search", true, true, true,
     [](ApiManager &api, auto, auto list) {
         api.searchLinksByDestination("example", std::nullopt, list);
     }},
    {"updateLink", "POST", "/v1/links/" + kLink, false, false, true,
     [](ApiManager &api, auto object, auto) {
         api.updateLink(kLink, {{"title", "Renamed"}}, std::nullopt, object);
     }},
    {"setFavourite", "POST", "/v1/links/" + kLink + "/favourite", false, false, true,
     [](ApiManager &api, auto object, auto) {
         api.setFavourite(kLink, true, object);
     }},
    {"deleteLink", "DELETE", "/v1/links/" + kLink, false, false, true,
     [](ApiManager &api, auto object, auto) {
         api.deleteLink(kLink, object);
     }},
    {"getAccountDomains", "GET", "/v1/account/domains", true, false, true,
     [](ApiManager &api, auto, auto list) {
         api.getAccountDomains(list);
     }},
    {"recommendTitle", "POST", API::titleRecommendPath, false, true, true,
     [](ApiManager &api, auto object, auto) {
         api.recommendTitle({{"url", kUrl}}, std::nullopt, object);
     }},
    {"recommendSlashtag", "POST", API::slashtagRecommendPath, false, false, true,
     [](ApiManager &api, auto object, auto) {
         api.recommendSlashtag(kUrl, false, true, false, QStringLiteral("quorv.link"), object);
     }},
    {"getPlugins", "GET", "/plugins", false, true, false,
     [](ApiManager &api, auto object, auto) {
         api.getPlugins(object);
     }},
    {"logout", "GET", "/account/logout", false, true, false,
     [](ApiManager &api, auto object, auto) {
         api.logout(object);
     }},
    {"getVersions", "GET", "/apps/macapp/versions.json", false, true, false,
     [](ApiManager &api, auto object, auto) {
         api.getVersions(object);
     }}};

const CallInfo &info(Call call)
{
    return kCalls.at(static_cast<qsizetype>(call));
}

QList<Call> allCalls()
{
    QList<Call> calls;
    for (qsizetype i = 0; i < kCalls.size(); ++i)
        calls.append(static_cast<Call>(i));
    return calls;
}

void run(ApiManager &api, Call call, const std::shared_ptr<Outcome> &outcome)
{
    const auto record = [outcome](const std::optional<QJsonValue> &value) {
        ++outcome->calls;
        outcome->gotValue = value.has_value();
        outcome->value = value.value_or(QJsonValue());
        outcome->onGuiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    };
    info(call).start(
        api,
        [record](const std::optional<QJsonObject> &object) {
            record(object ? std::optional<QJsonValue>(*object) : std::nullopt);
        },
        [record](const std::optional<QJsonArray> &list) {
            record(list ? std::optional<QJsonValue>(*list) : std::nullopt);
        });
}

Popover *shownPopover(const PopoversManager &manager)
{
    for (Popover *popover :
         {manager.popoverLinks(), manager.popoverLogin(), manager.popoverNoInternet()}) {
        if (popover->isShown())
            return popover;
    }
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(Call)

class ApiManagerTest : public ServiceTest
{
    Q_OBJECT

private:
    void prepare() override
    {
        // Short enough for the timed-out rows, long enough for the slow ones.
        m_timeoutMs = 1500;
        makeClient();
    }

private slots:
    void getLinksBuildsPathAndQuery_data();
    void getLinksBuildsPathAndQuery();
    void workspaceHeader_data();
    void workspaceHeader();
    void unauthorized_data();
    void unauthorized();
    void unauthorizedLogoutStartsNoFurtherLogout();
    void offlineRule_data();
    void offlineRule();
    void expiredTokenSendsNothing_data();
    void expiredTokenSendsNothing();
    void answers_data();
    void answers();
    void callsFromAnotherThreadCompleteOnGuiThread();
    void reachabilityReports_data();
    void reachabilityReports();
    void probeFindsTheHost_data();
    void probeFindsTheHost();
};

void ApiManagerTest::getLinksBuildsPathAndQuery_data()
{
    QTest::addColumn<QString>("last");
    QTest::addColumn<bool>("favourites");
    QTest::addColumn<QString>("query");
    QTest::newRow("first page") << QString() << false << "limit=15";
    QTest::newRow("after a link") << "wsp-personal-l002" << false
                                  << "limit=15&last=wsp-personal-l002";
    // The cursor counts among the favourites, so it is one.
    QTest::newRow("favourites after a link")
        << "wsp-personal-l001" << true << "limit=15&last=wsp-personal-l001&favourite=true";
}

void ApiManagerTest::getLinksBuildsPathAndQuery()
{
    QFETCH(QString, last);
    QFETCH(bool, favourites);
    QFETCH(QString, query);
    harness::storeIssuedToken(*m_sandbox);
    std::optional<QJsonArray> links;
    m_api->getLinks(last.isEmpty() ? std::nullopt : std::optional<QString>(last), std::nullopt,
                    favourites, [&links](const std::optional<QJsonArray> &list) { links = list; });
    QTRY_VERIFY(links.has_value());
    QVERIFY(!links->isEmpty() && links->size() <= 15);
    for (const QJsonValue &link : *links) {
        QVERIFY(!favourites || link.toObject().value("favourite").toBool());
        QVERIFY(link.toObject().value("id").toString() != last);
    }
    const QJsonArray requests = sent("/v1/links", "GET");
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.at(0).toObject().value("query").toString(), query);
    QVERIFY(m_log->contains("URL: " + m_sandbox->baseUrl().toString() + "/v1/links?" + query));
}

void ApiManagerTest::workspaceHeader_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QString>("storedWorkspace");
    QTest::addColumn<QString>("workspace"); // empty: no such header
    QTest::newRow("account domains never name a workspace")
        << Call::getAccountDomains << "wsp-marketing" << QString();
    QTest::newRow("nothing stored, nothing given") << Call::getLinks << QString() << QString();
    QTest::newRow("stored main-view workspace") << Call::getLinks << "wsp-marketing"
                                                << "wsp-marketing";
    QTest::newRow("favourite uses the stored workspace") << Call::setFavourite << "wsp-personal"
                                                         << "wsp-personal";
    QTest::newRow("slashtag uses the stored workspace") << Call::recommendSlashtag << "wsp-personal"
                                                        << "wsp-personal";
    QTest::newRow("destination search without any workspace")
        << Call::searchLinksByDestination << QString() << QString();
}

void ApiManagerTest::workspaceHeader()
{
    QFETCH(Call, call);
    QFETCH(QString, storedWorkspace);
    QFETCH(QString, workspace);
    const QJsonObject issued = harness::storeIssuedToken(*m_sandbox);
    if (!storedWorkspace.isEmpty())
        SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView,
                                              {{"id", storedWorkspace}, {"name", "Chosen"}});
    auto outcome = std::make_shared<Outcome>();
    run(*m_api, call, outcome);
    QTRY_COMPARE(outcome->calls, 1);
    const QString method = info(call).method;
    const QString path = info(call).path;
    const QJsonArray requests = sent(path, method);
    QCOMPARE(requests.size(), 1);
    const QJsonObject request = requests.at(0).toObject();
    QStringList expected{"authorization", "content-type"};
    if (!workspace.isEmpty())
        expected << "workspace";
    QCOMPARE(harness::applicationHeaders(request), expected);
    QCOMPARE(harness::header(request, "Authorization"),
             std::optional<QString>("Bearer " + issued.value("access_token").toString()));
    QCOMPARE(harness::header(request, "Content-type"), std::optional<QString>("application/json"));
    if (!workspace.isEmpty())
        QCOMPARE(harness::header(request, "workspace"), std::optional<QString>(workspace));
}

void ApiManagerTest::unauthorized_data()
{
    QTest::addColumn<Call>("call");
    QTest::newRow("list call") << Call::getLinks;
    QTest::newRow("object call") << Call::deleteLink;
}

void ApiManagerTest::unauthorized()
{
    QFETCH(Call, call);
    harness::storeIssuedToken(*m_sandbox);
    SettingsStore::shared().setString(Preferences::userId, "acc-7d1e2f30");
    QCOMPARE(m_sandbox->control("POST", "/__sandbox/tokens/expire").status, 200);
    PopoversManager popovers(std::make_unique<FakeStatusItem>(), m_api.get(),
                             m_authentication.get());
    auto outcome = std::make_shared<Outcome>();
    run(*m_api, call, outcome);
    QTRY_COMPARE(outcome->calls, 1);
    // The token is gone before the popovers are routed: the sign-in popover comes up.
    QCOMPARE(shownPopover(popovers), popovers.popoverLogin());
    QVERIFY(!SettingsStore::shared().contains(Preferences::accessToken));
    QVERIFY(!SettingsStore::shared().contains(Preferences::userId));
    QTRY_COMPARE(sent("/account/logout").size(), 1);
    QCOMPARE(sent("/connect/token").size(), 0);
    const QList<UserNotification> shown = m_platform->userNotifications.delivered();
    if (info(call).list) {
        QVERIFY(!outcome->gotValue);
        QVERIFY(shown.isEmpty());
        QJsonObject extra;
        QTRY_VERIFY(!(extra = harness::eventExtra(*m_sandbox, "Internal Message: API UNAUTHORIZED"))
                         .isEmpty());
        QCOMPARE(extra.value("status_code").toInt(), 401);
        QVERIFY(extra.contains("token_expires_at") && extra.contains("response"));
        QVERIFY(extra.value("url").toString().contains("/v1/links?limit=15"));
    } else {
        // The service's error object reaches the caller, with the generic error shown.
        QVERIFY(!outcome->value.toObject().isEmpty());
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, QStringLiteral("Oooops!"));
        QCOMPARE(shown.first().informativeText, QStringLiteral("Something went wrong. Try later."));
        QCOMPARE(shown.first().identifier, QStringLiteral("qv-copied-link"));
        QCOMPARE(shown.first().userInfo.value("qv-notification-type").toString(),
                 QStringLiteral("qv-notification-type-copied"));
    }
}

void ApiManagerTest::unauthorizedLogoutStartsNoFurtherLogout()
{
    harness::storeIssuedToken(*m_sandbox);
    QVERIFY(harness::arm(*m_sandbox, {{"path", "/account/logout"}, {"status", 401}}));
    int calls = 0;
    m_api->logout([&calls](const std::optional<QJsonObject> &) {
        ++calls;
        TokenManager::deleteToken();
    });
    QTRY_COMPARE(calls, 1);
    QTest::qWait(300);
    QCOMPARE(sent("/account/logout").size(), 1);
    QVERIFY(!TokenManager::load().has_value());
}

void ApiManagerTest::offlineRule_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<bool>("sent");
    for (Call call : allCalls())
        QTest::newRow(info(call).name) << call << info(call).sentOffline;
}

void ApiManagerTest::offlineRule()
{
    QFETCH(Call, call);
    QFETCH(bool, sent);
    harness::storeIssuedToken(*m_sandbox);
    m_reachability->report(false);
    auto outcome = std::make_shared<Outcome>();
    run(*m_api, call, outcome);
    // Offline answers come at once, before any event loop turn.
    QCOMPARE(outcome->calls, sent ? 0 : 1);
    QTRY_COMPARE(outcome->calls, 1);
    QCOMPARE(outcome->gotValue, sent);
    const QString method = info(call).method;
    const QString path = info(call).path;
    QTest::qWait(sent ? 0 : 200);
    QCOMPARE(this->sent(path, method).size(), sent ? 1 : 0);
}

void ApiManagerTest::expiredTokenSendsNothing_data()
{
    QTest::addColumn<Call>("call");
    for (Call call : allCalls()) {
        if (info(call).needsToken)
            QTest::newRow(info(call).name) << call;
    }
}

void ApiManagerTest::expiredTokenSendsNothing()
{
    QFETCH(Call, call);
    harness::storeIssuedToken(*m_sandbox, -60);
    auto outcome = std::make_shared<Outcome>();
    run(*m_api, call, outcome);
    QVERIFY(m_authentication->requestDate().has_value());
    // The refresh is answered and stored; the dropped request stays dropped.
    QTRY_VERIFY(m_log->contains("VALID TOKEN RESPONSE"));
    QTest::qWait(200);
    QCOMPARE(outcome->calls, 0);
    QVERIFY(m_authentication->hasValidToken());
    const QString method = info(call).method;
    const QString path = info(call).path;
    const QJsonArray token = sent("/connect/token", "POST");
    QCOMPARE(token.size(), 1);
    // The refreshed sign-in fetches the account's domains itself, after the token answer.
    const QJsonArray requests = sent(path, method);
    QCOMPARE(requests.size(), call == Call::getAccountDomains ? 1 : 0);
    if (!requests.isEmpty())
        QVERIFY(requests.at(0).toObject().value("seq").toInt() >
                token.at(0).toObject().value("seq").toInt());
}

void ApiManagerTest::answers_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QJsonObject>("fault");
    QTest::addColumn<bool>("value");  // whether the completion gets a value
    QTest::addColumn<bool>("failed"); // logged as an error answer
    const QJsonValue object(QJsonObject{{"id", "answer"}});
    const QJsonValue list(QJsonArray{QJsonObject{{"id", "answer"}}});
    QTest::newRow("object 299 is success")
        << Call::deleteLink << QJsonObject{{"status", 299}, {"body", object}} << true << false;
    QTest::newRow("object 300 is failure")
        << Call::deleteLink << QJsonObject{{"status", 300}, {"body", object}} << true << true;
    QTest::newRow("list 299 is success")
        << Call::getLinks << QJsonObject{{"status", 299}, {"body", list}} << true << false;
    QTest::newRow("list 300 is failure")
        << Call::getLinks << QJsonObject{{"status", 300}, {"body", list}} << false << true;
    const QList<std::pair<const char *, QJsonObject>> faults{
        {"500", {{"status", 500}}},
        {"malformed", {{"malformedJson", true}}},
        {"mistyped", {{"mistypedJson", true}}},
        {"dropped", {{"drop", true}}},
        {"slow 503", {{"status", 503}, {"delayMs", 500}}},
        // Silence past the client's timeout answers like a lost connection.
        {"timed out", {{"delayMs", 4000}}}};
    for (Call call : allCalls()) {
        for (const auto &[label, fault] : faults) {
            const QString kind = QString::fromLatin1(label);
            const bool errorStatus = kind == "500" || kind == "slow 503";
            bool value = kind == "mistyped";
            // The default error body is an object and reaches the caller.
            if (!info(call).list && call != Call::getVersions && errorStatus)
                value = true;
            if (info(call).list)
                value = false;
            QTest::addRow("%s %s", info(call).name, label)
                << call << fault << value << (errorStatus && call != Call::getVersions);
        }
    }
}

void ApiManagerTest::answers()
{
    QFETCH(Call, call);
    QFETCH(QJsonObject, fault);
    QFETCH(bool, value);
    QFETCH(bool, failed);
    harness::storeIssuedToken(*m_sandbox);
    SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView,
                                          {{"id", "wsp-personal"}, {"name", "Personal"}});
    SettingsStore::shared().setBool(Preferences::automaticCopy, true);
    SettingsStore::shared().synchronize();
    const QString method = info(call).method;
    const QString path = info(call).path;
    fault.insert("method", method);
    fault.insert("path", path);
    QVERIFY(harness::arm(*m_sandbox, fault));
    PostCounter toggles(NotificationViews::togglePopoverOpen);
    auto outcome = std::make_shared<Outcome>();
    run(*m_api, call, outcome);
    QTRY_COMPARE_WITH_TIMEOUT(outcome->calls, 1, 3000);
    QCOMPARE(outcome->gotValue, value);
    if (value && fault.contains("body"))
        QCOMPARE(outcome->value, fault.value("body"));
    QTest::qWait(100);
    QCOMPARE(outcome->calls, 1);
    QCOMPARE(toggles.count, 0);
    QCOMPARE(
        m_log->contains(info(call).list ? "ERROR RESPONSE API!!! list" : "ERROR RESPONSE API!!!"),
        failed);
    // Only object calls tell the user about an error answer.
    const bool notified = failed && !info(call).list;
    QCOMPARE(m_platform->userNotifications.history().size(), notified ? 1 : 0);
    // Nothing the user had is lost.
    SettingsStore::reopenAll();
    QVERIFY(TokenManager::load().has_value());
    QVERIFY(SettingsStore::shared().dictionaryForKey(Preferences::workspaceObjectMainView));
    QVERIFY(SettingsStore::shared().boolForKey(Preferences::automaticCopy));
}

void ApiManagerTest::callsFromAnotherThreadCompleteOnGuiThread()
{
    harness::storeIssuedToken(*m_sandbox);
    auto outcome = std::make_shared<Outcome>();
    outcome->onGuiThread = false;
    ApiManager *api = m_api.get();
    QThread *worker = QThread::create([api, outcome] { run(*api, Call::getLinks, outcome); });
    worker->start();
    QVERIFY(worker->wait(5000));
    delete worker;
    QTRY_COMPARE(outcome->calls, 1);
    QVERIFY(outcome->gotValue);
    QVERIFY(outcome->onGuiThread);
}

void ApiManagerTest::reachabilityReports_data()
{
    QTest::addColumn<QList<bool>>("reports");
    QTest::addColumn<QStringList>("expected"); // previous>current per post
    QTest::newRow("unchanged still posts")
        << QList<bool>{true, true} << QStringList{"reachable>reachable", "reachable>reachable"};
    QTest::newRow("flaps") << QList<bool>{false, true}
                           << QStringList{"reachable>notReachable", "notReachable>reachable"};
}

void ApiManagerTest::reachabilityReports()
{
    QFETCH(QList<bool>, reports);
    QFETCH(QStringList, expected);
    QStringList posts;
    QObject observer;
    NotificationCenter::shared().addObserver(
        &observer, NotificationViews::changeInternetReachability, [&posts](const Notification &n) {
            posts << n.userInfo.value(InternetReachability::previousInternetStatus).toString() +
                         ">" +
                         n.userInfo.value(InternetReachability::currentInternetStatus).toString();
        });
    for (bool reachable : reports)
        m_reachability->report(reachable);
    QCOMPARE(posts, expected);
    QCOMPARE(m_api->internetStatus(), InternetStatus::reachable);
    QCOMPARE(m_log->contains("NETWORK NOT REACHABLE"), reports.contains(false));
    QCOMPARE(m_reachability->starts, 1);
}

void ApiManagerTest::probeFindsTheHost_data()
{
    QTest::addColumn<bool>("listening");
    QTest::newRow("sandbox answers") << true;
    QTest::newRow("nobody listens") << false;
}

void ApiManagerTest::probeFindsTheHost()
{
    QFETCH(bool, listening);
    quint16 port = static_cast<quint16>(m_sandbox->baseUrl().port());
    if (!listening) {
        // A port that was free a moment ago: connections to it are refused.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        port = server.serverPort();
    }
    ProbeReachability probe(QStringLiteral("127.0.0.1"), port, 60000, 2000);
    QSignalSpy reports(&probe, &ReachabilitySource::reported);
    probe.start();
    QTRY_COMPARE(reports.size(), 1);
    QCOMPARE(reports.first().first().toBool(), listening);
    // The same state again is no report.
    probe.probe();
    QTest::qWait(300);
    QCOMPARE(reports.size(), 1);
}

QTEST_MAIN(ApiManagerTest)
#include "tst_apimanager.moc"
