#include "ServiceHarness.h"

#include "Services/ProbeReachability.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QThread>

using namespace Costants;

namespace {

// Which operation a data row runs, and what kind of answer it hands on.
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

const QString kLink = QStringLiteral("wsp-personal-l003");

// The method and path each operation sends, for the request log and for faults.
std::pair<QString, QString> endpointOf(Call call)
{
    switch (call) {
    case Call::getLinks:
        return {"GET", "/v1/links"};
    case Call::searchLinks:
    case Call::searchLinksByDestination:
        return {"GET", "/v1/links/search"};
    case Call::updateLink:
        return {"POST", "/v1/links/" + kLink};
    case Call::setFavourite:
        return {"POST", "/v1/links/" + kLink + "/favourite"};
    case Call::deleteLink:
        return {"DELETE", "/v1/links/" + kLink};
    case Call::getAccountDomains:
        return {"GET", "/v1/account/domains"};
    case Call::recommendTitle:
        return {"POST", "/v1/recommendation-system/title/recommend"};
    case Call::recommendSlashtag:
        return {"POST", "/v1/recommendation-system/slashtag/recommend"};
    case Call::getPlugins:
        return {"GET", "/plugins"};
    case Call::logout:
        return {"GET", "/account/logout"};
    case Call::getVersions:
        return {"GET", "/apps/macapp/versions.json"};
    }
    return {};
}

bool isListCall(Call call)
{
    return call == Call::getLinks || call == Call::searchLinks ||
           call == Call::searchLinksByDestination || call == Call::getAccountDomains;
}

void run(ApiManager &api, Call call, const std::shared_ptr<Outcome> &outcome)
{
    const auto onList = [outcome](const std::optional<QJsonArray> &list) {
        ++outcome->calls;
        outcome->gotValue = list.has_value();
        outcome->value = list ? QJsonValue(*list) : QJsonValue();
        outcome->onGuiThread = QThread::currentThread() == qApp->thread();
    };
    const auto onObject = [outcome](const std::optional<QJsonObject> &object) {
        ++outcome->calls;
        outcome->gotValue = object.has_value();
        outcome->value = object ? QJsonValue(*object) : QJsonValue();
        outcome->onGuiThread = QThread::currentThread() == qApp->thread();
    };
    switch (call) {
    case Call::getLinks:
        return api.getLinks(std::nullopt, std::nullopt, false, onList);
    case Call::searchLinks:
        return api.searchLinks(QStringLiteral("demo"), std::nullopt, std::nullopt, onList);
    case Call::searchLinksByDestination:
        return api.searchLinksByDestination(QStringLiteral("example"), std::nullopt, onList);
    case Call::updateLink:
        return api.updateLink(kLink, QJsonObject{{"title", "Renamed by the test"}}, std::nullopt,
                              onObject);
    case Call::setFavourite:
        return api.setFavourite(kLink, true, onObject);
    case Call::deleteLink:
        return api.deleteLink(kLink, onObject);
    case Call::getAccountDomains:
        return api.getAccountDomains(onList);
    case Call::recommendTitle:
        return api.recommendTitle(QJsonObject{{"url", "https://example.com/article"}}, std::nullopt,
                                  onObject);
    case Call::recommendSlashtag:
        return api.recommendSlashtag(QStringLiteral("https://example.com/article"), false, true,
                                     false, QStringLiteral("quorv.link"), onObject);
    case Call::getPlugins:
        return api.getPlugins(onObject);
    case Call::logout:
        return api.logout(onObject);
    case Call::getVersions:
        return api.getVersions(onObject);
    }
}

const QList<Call> kAllCalls{
    Call::getLinks,          Call::searchLinks,    Call::searchLinksByDestination,
    Call::updateLink,        Call::setFavourite,   Call::deleteLink,
    Call::getAccountDomains, Call::recommendTitle, Call::recommendSlashtag,
    Call::getPlugins,        Call::logout,         Call::getVersions};

const char *nameOf(Call call)
{
    static const char *names[] = {"getLinks",          "searchLinks",    "searchLinksByDestination",
                                  "updateLink",        "setFavourite",   "deleteLink",
                                  "getAccountDomains", "recommendTitle", "recommendSlashtag",
                                  "getPlugins",        "logout",         "getVersions"};
    return names[static_cast<int>(call)];
}

bool needsToken(Call call)
{
    return call != Call::getPlugins && call != Call::logout && call != Call::getVersions;
}

} // namespace

Q_DECLARE_METATYPE(Call)

class ApiManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void getLinksBuildsPathAndQuery_data();
    void getLinksBuildsPathAndQuery();
    void workspaceHeader_data();
    void workspaceHeader();
    void statusBoundary_data();
    void statusBoundary();
    void unauthorizedListCall();
    void unauthorizedObjectCall();
    void unauthorizedLogoutStartsNoFurtherLogout();
    void offlineRule_data();
    void offlineRule();
    void expiredTokenSendsNothing_data();
    void expiredTokenSendsNothing();
    void faultInjection_data();
    void faultInjection();
    void callsFromAnotherThreadCompleteOnGuiThread();
    void versionsAreLogged();
    void reachabilityReports_data();
    void reachabilityReports();
    void probeFindsTheHost_data();
    void probeFindsTheHost();

private:
    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<LogCapture> m_log;
    std::unique_ptr<ServiceClient> m_client;
    FakePlatform *m_platform = nullptr;
};

void ApiManagerTest::initTestCase()
{
    qRegisterMetaType<Call>();
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY2(m_sandbox->isRunning(), qPrintable(m_sandbox->startError()));
    QVERIFY(harness::installCrashSink(*m_sandbox));
}

void ApiManagerTest::init()
{
    QCOMPARE(m_sandbox->control("POST", "/__sandbox/reset").status, 200);
    m_environment = std::make_unique<TestEnvironment>();
    m_platform = &FakePlatform::installNew();
    m_log = std::make_unique<LogCapture>();
    m_client = std::make_unique<ServiceClient>(m_sandbox->baseUrl());
}

void ApiManagerTest::cleanup()
{
    m_client.reset();
    // Events still travelling to the sink would escape the secret check.
    QTest::qWait(200);
    const QString leak = harness::leakedSecret(*m_sandbox, *m_log);
    m_log.reset();
    m_environment.reset();
    QVERIFY2(leak.isEmpty(), qPrintable(leak));
}

void ApiManagerTest::cleanupTestCase()
{
    CrashReporter::setShared(nullptr);
    Platform::install(nullptr);
    m_sandbox.reset();
}

void ApiManagerTest::getLinksBuildsPathAndQuery_data()
{
    QTest::addColumn<QString>("last");
    QTest::addColumn<bool>("favourites");
    QTest::addColumn<QString>("query");
    QTest::newRow("first page") << QString() << false << "limit=15";
    QTest::newRow("after a link") << "wsp-personal-l002" << false
                                  << "limit=15&last=wsp-personal-l002";
    QTest::newRow("favourites") << QString() << true << "limit=15&favourite=true";
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
    auto outcome = std::make_shared<Outcome>();
    m_client->api->getLinks(last.isEmpty() ? std::nullopt : std::optional<QString>(last),
                            std::nullopt, favourites,
                            [outcome](const std::optional<QJsonArray> &list) {
                                ++outcome->calls;
                                outcome->gotValue = list.has_value();
                                outcome->value = list ? QJsonValue(*list) : QJsonValue();
                            });
    QTRY_COMPARE(outcome->calls, 1);
    QVERIFY(outcome->gotValue);
    const QJsonArray links = outcome->value.toArray();
    QVERIFY(!links.isEmpty());
    QVERIFY(links.size() <= 15);
    for (const QJsonValue &link : links) {
        if (favourites)
            QCOMPARE(link.toObject().value("favourite").toBool(), true);
        QVERIFY(link.toObject().value("id").toString() != last);
    }
    const QJsonArray sent = harness::requests(*m_sandbox, "/v1/links", "GET");
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.at(0).toObject().value("path").toString(), QStringLiteral("/v1/links"));
    QCOMPARE(sent.at(0).toObject().value("query").toString(), query);
    QVERIFY(m_log->contains(QStringLiteral("URL: ") + m_sandbox->baseUrl().toString() +
                            "/v1/links?" + query));
}

void ApiManagerTest::workspaceHeader_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QString>("storedWorkspace");
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<QString>("workspace");
    const QStringList withWorkspace{"authorization", "content-type", "workspace"};
    const QStringList without{"authorization", "content-type"};
    QTest::newRow("account domains never name a workspace")
        << Call::getAccountDomains << "wsp-marketing" << without << QString();
    QTest::newRow("nothing stored, nothing given")
        << Call::getLinks << QString() << without << QString();
    QTest::newRow("stored main-view workspace")
        << Call::getLinks << "wsp-marketing" << withWorkspace << "wsp-marketing";
    QTest::newRow("favourite uses the stored workspace")
        << Call::setFavourite << "wsp-personal" << withWorkspace << "wsp-personal";
    QTest::newRow("slashtag uses the stored workspace")
        << Call::recommendSlashtag << "wsp-personal" << withWorkspace << "wsp-personal";
    QTest::newRow("destination search without any workspace")
        << Call::searchLinksByDestination << QString() << without << QString();
}

void ApiManagerTest::workspaceHeader()
{
    QFETCH(Call, call);
    QFETCH(QString, storedWorkspace);
    QFETCH(QStringList, headers);
    QFETCH(QString, workspace);
    const QJsonObject issued = harness::storeIssuedToken(*m_sandbox);
    if (!storedWorkspace.isEmpty())
        SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView,
                                              {{"id", storedWorkspace}, {"name", "Chosen"}});
    auto outcome = std::make_shared<Outcome>();
    run(*m_client->api, call, outcome);
    QTRY_COMPARE(outcome->calls, 1);
    const auto [method, path] = endpointOf(call);
    const QJsonArray sent = harness::requests(*m_sandbox, path, method);
    QCOMPARE(sent.size(), 1);
    const QJsonObject request = sent.at(0).toObject();
    QCOMPARE(harness::applicationHeaders(request), headers);
    QCOMPARE(harness::header(request, "Authorization"),
             std::optional<QString>("Bearer " + issued.value("access_token").toString()));
    QCOMPARE(harness::header(request, "Content-type"), std::optional<QString>("application/json"));
    if (!workspace.isEmpty())
        QCOMPARE(harness::header(request, "workspace"), std::optional<QString>(workspace));
}

void ApiManagerTest::statusBoundary_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<int>("status");
    QTest::addColumn<QJsonValue>("body");
    QTest::addColumn<bool>("success");
    const QJsonValue object(QJsonObject{{"id", "answer"}});
    const QJsonValue list(QJsonArray{QJsonObject{{"id", "answer"}}});
    QTest::newRow("object 299 is success") << Call::deleteLink << 299 << object << true;
    QTest::newRow("object 300 is failure") << Call::deleteLink << 300 << object << false;
    QTest::newRow("list 299 is success") << Call::getLinks << 299 << list << true;
    QTest::newRow("list 300 is failure") << Call::getLinks << 300 << list << false;
    QTest::newRow("object 500 is failure") << Call::updateLink << 500 << object << false;
}

void ApiManagerTest::statusBoundary()
{
    QFETCH(Call, call);
    QFETCH(int, status);
    QFETCH(QJsonValue, body);
    QFETCH(bool, success);
    harness::storeIssuedToken(*m_sandbox);
    const auto [method, path] = endpointOf(call);
    QCOMPARE(
        m_sandbox
            ->control(
                "POST", "/__sandbox/faults",
                QJsonObject{{"method", method}, {"path", path}, {"status", status}, {"body", body}})
            .status,
        200);
    PostCounter toggles(NotificationViews::togglePopoverOpen);
    auto outcome = std::make_shared<Outcome>();
    run(*m_client->api, call, outcome);
    QTRY_COMPARE(outcome->calls, 1);
    QVERIFY(TokenManager::load().has_value());
    QCOMPARE(toggles.count, 0);
    if (isListCall(call)) {
        QCOMPARE(outcome->gotValue, success);
        if (success)
            QCOMPARE(outcome->value, body);
        QCOMPARE(m_log->contains("ERROR RESPONSE API!!! list"), !success);
        QVERIFY(m_platform->userNotifications.history().isEmpty());
    } else {
        // Objects pass either way: an error object travels the same path as a result.
        QVERIFY(outcome->gotValue);
        QCOMPARE(outcome->value, body);
        QCOMPARE(m_log->contains("ERROR RESPONSE API!!!"), !success);
        QCOMPARE(m_platform->userNotifications.history().size(), success ? 0 : 1);
    }
    if (!success)
        QVERIFY(m_log->contains(QString::number(status)));
}

void ApiManagerTest::unauthorizedListCall()
{
    harness::storeIssuedToken(*m_sandbox);
    SettingsStore::shared().setString(Preferences::userId, "acc-7d1e2f30");
    QCOMPARE(m_sandbox->control("POST", "/__sandbox/tokens/expire").status, 200);
    PostCounter toggles(NotificationViews::togglePopoverOpen);
    auto outcome = std::make_shared<Outcome>();
    run(*m_client->api, Call::getLinks, outcome);
    QTRY_COMPARE(outcome->calls, 1);
    QVERIFY(!outcome->gotValue);
    QCOMPARE(toggles.count, 1);
    QTRY_VERIFY(!SettingsStore::shared().contains(Preferences::accessToken));
    QVERIFY(!SettingsStore::shared().contains(Preferences::userId));
    QCOMPARE(harness::requests(*m_sandbox, "/account/logout").size(), 1);
    QVERIFY(m_platform->userNotifications.history().isEmpty());
    QTRY_COMPARE(
        harness::eventsWithMessage(*m_sandbox, "Internal Message: API UNAUTHORIZED").size(), 1);
    const QJsonObject extra =
        harness::eventsWithMessage(*m_sandbox, "Internal Message: API UNAUTHORIZED")
            .first()
            .value("extra")
            .toObject();
    QCOMPARE(extra.value("status_code").toInt(), 401);
    QVERIFY(extra.contains("token_expires_at"));
    QVERIFY(extra.value("url").toString().contains("/v1/links?limit=15"));
    QVERIFY(extra.contains("response"));
}

void ApiManagerTest::unauthorizedObjectCall()
{
    harness::storeIssuedToken(*m_sandbox);
    QCOMPARE(m_sandbox->control("POST", "/__sandbox/tokens/expire").status, 200);
    PostCounter toggles(NotificationViews::togglePopoverOpen);
    auto outcome = std::make_shared<Outcome>();
    run(*m_client->api, Call::deleteLink, outcome);
    QTRY_COMPARE(outcome->calls, 1);
    // The service's error object reaches the caller.
    QVERIFY(outcome->gotValue);
    QVERIFY(!outcome->value.toObject().isEmpty());
    QCOMPARE(toggles.count, 1);
    QTRY_VERIFY(!TokenManager::load().has_value());
    const QList<UserNotification> shown = m_platform->userNotifications.delivered();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().title, QStringLiteral("Oooops!"));
    QCOMPARE(shown.first().informativeText, QStringLiteral("Something went wrong. Try later."));
    QCOMPARE(shown.first().identifier, QStringLiteral("qv-copied-link"));
    QCOMPARE(shown.first().userInfo.value("qv-notification-type").toString(),
             QStringLiteral("qv-notification-type-copied"));
    QVERIFY(m_platform->userNotifications.removeAllCount() >= 1);
    QVERIFY(m_log->contains("GENERIC ERROR"));
    // The link was not deleted: the refused request never ran.
    QCOMPARE(harness::requests(*m_sandbox, "/account/logout").size(), 1);
}

void ApiManagerTest::unauthorizedLogoutStartsNoFurtherLogout()
{
    harness::storeIssuedToken(*m_sandbox);
    QCOMPARE(m_sandbox
                 ->control("POST", "/__sandbox/faults",
                           QJsonObject{{"path", "/account/logout"}, {"status", 401}})
                 .status,
             200);
    auto outcome = std::make_shared<Outcome>();
    m_client->api->logout([outcome](const std::optional<QJsonObject> &) {
        ++outcome->calls;
        TokenManager::deleteToken();
    });
    QTRY_COMPARE(outcome->calls, 1);
    QTest::qWait(300);
    QCOMPARE(harness::requests(*m_sandbox, "/account/logout").size(), 1);
    QVERIFY(!TokenManager::load().has_value());
}

void ApiManagerTest::offlineRule_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<bool>("sent");
    for (Call call : kAllCalls) {
        const bool sentAnyway = call == Call::searchLinksByDestination ||
                                call == Call::recommendTitle || call == Call::getPlugins ||
                                call == Call::logout || call == Call::getVersions;
        QTest::newRow(nameOf(call)) << call << sentAnyway;
    }
}

void ApiManagerTest::offlineRule()
{
    QFETCH(Call, call);
    QFETCH(bool, sent);
    harness::storeIssuedToken(*m_sandbox);
    m_client->reachability->report(false);
    QCOMPARE(m_client->api->internetStatus(), InternetStatus::notReachable);
    auto outcome = std::make_shared<Outcome>();
    run(*m_client->api, call, outcome);
    const auto [method, path] = endpointOf(call);
    if (!sent) {
        // Answered at once, before any event loop turn.
        QCOMPARE(outcome->calls, 1);
        QVERIFY(!outcome->gotValue);
        QTest::qWait(200);
        QCOMPARE(harness::requests(*m_sandbox).size(), 0);
        return;
    }
    QCOMPARE(outcome->calls, 0);
    QTRY_COMPARE(outcome->calls, 1);
    QVERIFY(outcome->gotValue);
    QCOMPARE(harness::requests(*m_sandbox, path, method).size(), 1);
}

void ApiManagerTest::expiredTokenSendsNothing_data()
{
    QTest::addColumn<Call>("call");
    for (Call call : kAllCalls) {
        if (needsToken(call))
            QTest::newRow(nameOf(call)) << call;
    }
}

void ApiManagerTest::expiredTokenSendsNothing()
{
    QFETCH(Call, call);
    harness::storeIssuedToken(*m_sandbox, -60);
    auto outcome = std::make_shared<Outcome>();
    run(*m_client->api, call, outcome);
    QCOMPARE(outcome->calls, 0);
    QVERIFY(m_client->authentication->requestDate().has_value());
    // The refresh is answered and stored; the dropped request stays dropped.
    QTRY_VERIFY(!m_client->authentication->requestDate().has_value());
    QTRY_VERIFY(m_log->contains("VALID TOKEN RESPONSE"));
    QTest::qWait(200);
    QCOMPARE(outcome->calls, 0);
    const auto [method, path] = endpointOf(call);
    // The refreshed sign-in fetches the account's domains itself, after the token answer.
    const QJsonArray sent = harness::requests(*m_sandbox, path, method);
    const QJsonArray token = harness::requests(*m_sandbox, "/connect/token", "POST");
    QCOMPARE(token.size(), 1);
    if (call == Call::getAccountDomains) {
        QCOMPARE(sent.size(), 1);
        QVERIFY(sent.at(0).toObject().value("seq").toInt() >
                token.at(0).toObject().value("seq").toInt());
    } else {
        QCOMPARE(sent.size(), 0);
    }
    QVERIFY(m_client->authentication->hasValidToken());
}

void ApiManagerTest::faultInjection_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QJsonObject>("fault");
    QTest::addColumn<bool>("value"); // whether the completion gets a value
    const QList<std::pair<const char *, QJsonObject>> faults{
        {"500", QJsonObject{{"status", 500}}},
        {"malformed", QJsonObject{{"malformedJson", true}}},
        {"mistyped", QJsonObject{{"mistypedJson", true}}},
        {"dropped", QJsonObject{{"drop", true}}},
        {"slow 503", QJsonObject{{"status", 503}, {"delayMs", 700}}}};
    for (Call call : kAllCalls) {
        for (const auto &[label, fault] : faults) {
            bool value = false;
            const QString kind = QString::fromLatin1(label);
            if (call == Call::getVersions)
                value = kind == "mistyped";
            else if (isListCall(call))
                value = false;
            else
                // The default error body is an object and reaches the caller; a mistyped
                // object stays an object.
                value = kind == "500" || kind == "slow 503" || kind == "mistyped";
            QTest::addRow("%s %s", nameOf(call), label) << call << fault << value;
        }
    }
}

void ApiManagerTest::faultInjection()
{
    QFETCH(Call, call);
    QFETCH(QJsonObject, fault);
    QFETCH(bool, value);
    harness::storeIssuedToken(*m_sandbox);
    SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView,
                                          {{"id", "wsp-personal"}, {"name", "Personal"}});
    SettingsStore::shared().setBool(Preferences::automaticCopy, true);
    SettingsStore::shared().synchronize();
    const auto [method, path] = endpointOf(call);
    fault.insert("method", method);
    fault.insert("path", path);
    QCOMPARE(m_sandbox->control("POST", "/__sandbox/faults", fault).status, 200);
    auto outcome = std::make_shared<Outcome>();
    run(*m_client->api, call, outcome);
    QTRY_COMPARE_WITH_TIMEOUT(outcome->calls, 1, 10000);
    QCOMPARE(outcome->gotValue, value);
    QTest::qWait(100);
    QCOMPARE(outcome->calls, 1);
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
    ApiManager *api = m_client->api.get();
    QThread *worker = QThread::create([api, outcome] { run(*api, Call::getLinks, outcome); });
    worker->start();
    QVERIFY(worker->wait(5000));
    delete worker;
    QTRY_COMPARE(outcome->calls, 1);
    QVERIFY(outcome->gotValue);
    QVERIFY(outcome->onGuiThread);
}

void ApiManagerTest::versionsAreLogged()
{
    auto outcome = std::make_shared<Outcome>();
    run(*m_client->api, Call::getVersions, outcome);
    QTRY_COMPARE(outcome->calls, 1);
    QVERIFY(outcome->gotValue);
    QVERIFY(outcome->value.toObject().contains("com.quorvella.desktop.macos.Quorvella"));
    QVERIFY(m_log->contains("RESPONSE VERSIONS"));
}

void ApiManagerTest::reachabilityReports_data()
{
    QTest::addColumn<QList<bool>>("reports");
    QTest::addColumn<QStringList>("expected"); // previous>current per post
    QTest::newRow("goes offline") << QList<bool>{false} << QStringList{"reachable>notReachable"};
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
        m_client->reachability->report(reachable);
    QCOMPARE(posts, expected);
    QCOMPARE(m_client->api->internetStatus(),
             reports.last() ? InternetStatus::reachable : InternetStatus::notReachable);
    QCOMPARE(m_log->contains("NETWORK NOT REACHABLE"), reports.contains(false));
    QCOMPARE(m_client->reachability->starts, 1);
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

QTEST_GUILESS_MAIN(ApiManagerTest)
#include "tst_apimanager.moc"
