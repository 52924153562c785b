#include "App/PopoversManager.h"
#include "ServiceHarness.h"
#include "Services/ProbeReachability.h"
#include "Views/Popover.h"

#include <QSignalSpy>
#include <QTcpServer>

using namespace Costants;

namespace {

struct Outcome
{
    int calls = 0;
    bool gotValue = false;
    QJsonValue value;
};

// What each operation sends, whether it hands on a list, is sent even while offline, and
// needs a token.
struct CallInfo
{
    QString method;
    QString path;
    bool list;
    bool sentOffline;
    bool needsToken;
};

const QString kLink = QStringLiteral("wsp-personal-l003");

// Built on first use: the paths come from constants of another file, which are not built yet
// while this file's globals are.
const QMap<QString, CallInfo> &calls()
{
    static const QMap<QString, CallInfo> table{
        {"getLinks", {"GET", "/v1/links", true, false, true}},
        {"favourites", {"GET", "/v1/links", true, false, true}},
        {"searchLinks", {"GET", "/v1/links/search", true, false, true}},
        {"searchLinksByDestination", {"GET", "/v1/links/search", true, true, true}},
        {"updateLink", {"POST", "/v1/links/" + kLink, false, false, true}},
        {"setFavourite", {"POST", "/v1/links/" + kLink + "/favourite", false, false, true}},
        {"deleteLink", {"DELETE", "/v1/links/" + kLink, false, false, true}},
        {"getAccountDomains", {"GET", "/v1/account/domains", true, false, true}},
        {"recommendTitle", {"POST", API::titleRecommendPath, false, true, true}},
        {"recommendSlashtag", {"POST", API::slashtagRecommendPath, false, false, true}},
        {"getPlugins", {"GET", "/plugins", false, true, false}},
        {"logout", {"GET", "/account/logout", false, true, false}},
        {"getVersions", {"GET", "/apps/macapp/versions.json", false, true, false}}};
    return table;
}

void run(ApiManager &api, const QString &call, const std::shared_ptr<Outcome> &outcome)
{
    // Takes the answer of an object call and of a list call alike.
    const auto done = [outcome](const auto &value) {
        ++outcome->calls;
        outcome->gotValue = value.has_value();
        outcome->value = value ? QJsonValue(*value) : QJsonValue();
    };
    const QString url = QStringLiteral("https://example.com/article");
    if (call == "getLinks")
        api.getLinks(std::nullopt, std::nullopt, false, done);
    else if (call == "favourites") // after a link, which counts among the favourites
        api.getLinks(QStringLiteral("wsp-personal-l001"), std::nullopt, true, done);
    else if (call == "searchLinks")
        api.searchLinks("demo", std::nullopt, std::nullopt, done);
    else if (call == "searchLinksByDestination")
        api.searchLinksByDestination("example", std::nullopt, done);
    else if (call == "updateLink")
        api.updateLink(kLink, {{"title", "Renamed"}}, std::nullopt, done);
    else if (call == "setFavourite")
        api.setFavourite(kLink, true, done);
    else if (call == "deleteLink")
        api.deleteLink(kLink, done);
    else if (call == "getAccountDomains")
        api.getAccountDomains(done);
    else if (call == "recommendTitle")
        api.recommendTitle({{"url", url}}, std::nullopt, done);
    else if (call == "recommendSlashtag")
        api.recommendSlashtag(url, false, true, false, QStringLiteral("quorv.link"), done);
    else if (call == "getPlugins")
        api.getPlugins(done);
    else if (call == "logout")
        api.logout(done);
    else
        api.getVersions(done);
}

} // namespace

class ApiManagerTest : public ServiceTest
{
    Q_OBJECT

public:
    // Short enough for the timed-out rows, long enough for the slow ones.
    ApiManagerTest() { m_timeoutMs = 1500; }

private:
    // Starts the call and waits for its one completion.
    std::shared_ptr<Outcome> runToEnd(const QString &call)
    {
        auto outcome = std::make_shared<Outcome>();
        run(*m_api, call, outcome);
        [&] {
            QTRY_COMPARE_WITH_TIMEOUT(outcome->calls, 1, 3000);
        }();
        return outcome;
    }

private slots:
    void requestHeadersAndQuery_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("stored");    // the list's workspace; "-": one without id
        QTest::addColumn<QString>("workspace"); // empty: no such header
        QTest::addColumn<QString>("query");
        const auto row = [](const char *name, const char *call, const char *stored,
                            const char *workspace, const char *query) {
            QTest::newRow(name) << QString(call) << QString(stored) << QString(workspace)
                                << QString(query);
        };
        row("account domains never", "getAccountDomains", "wsp-marketing", "", "");
        row("stored without id", "getLinks", "-", "", "limit=15");
        row("stored", "favourites", "wsp-marketing", "wsp-marketing",
            "limit=15&last=wsp-personal-l001&favourite=true");
        row("slashtag", "recommendSlashtag", "wsp-personal", "wsp-personal", "");
    }
    void requestHeadersAndQuery()
    {
        QFETCH(QString, call);
        QFETCH(QString, stored);
        QFETCH(QString, workspace);
        QFETCH(QString, query);
        const QJsonObject issued = harness::storeIssuedToken(*m_sandbox);
        QVariantMap chosen{{"id", stored}, {"name", "Chosen"}};
        if (stored == "-")
            chosen.remove("id");
        if (!stored.isEmpty())
            SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView, chosen);
        runToEnd(call);
        const QJsonArray requests = sent(calls()[call].path, calls()[call].method);
        QCOMPARE(requests.size(), 1);
        const QJsonObject request = requests.at(0).toObject();
        QMap<QString, QString> expected{
            {"authorization", "Bearer " + issued.value("access_token").toString()},
            {"content-type", "application/json"}};
        if (!workspace.isEmpty())
            expected.insert("workspace", workspace);
        QCOMPARE(harness::applicationHeaders(request), expected);
        if (!query.isEmpty()) {
            QCOMPARE(request.value("query").toString(), query);
            QVERIFY(m_log->contains("URL: " + m_sandbox->baseUrl().toString() + calls()[call].path +
                                    "?" + query));
        }
    }

    void unauthorized_data()
    {
        QTest::addColumn<QString>("call");
        QTest::newRow("list call") << "getLinks";
        QTest::newRow("object call") << "deleteLink";
    }
    void unauthorized()
    {
        QFETCH(QString, call);
        harness::storeIssuedToken(*m_sandbox);
        SettingsStore::shared().setString(Preferences::userId, "acc-7d1e2f30");
        QCOMPARE(m_sandbox->control("POST", "/__sandbox/tokens/expire").status, 200);
        PopoversManager popovers(std::make_unique<FakeStatusItem>(), m_api.get(),
                                 m_authentication.get());
        const auto outcome = runToEnd(call);
        // The token is gone before the popovers are routed: the sign-in popover comes up.
        QVERIFY(popovers.popoverLogin()->isShown() && !popovers.popoverLinks()->isShown());
        QVERIFY(!SettingsStore::shared().contains(Preferences::accessToken));
        QVERIFY(!SettingsStore::shared().contains(Preferences::userId));
        QTRY_COMPARE(sent("/account/logout").size(), 1);
        QCOMPARE(sent("/connect/token").size(), 0);
        const QList<UserNotification> shown = m_platform->userNotifications.delivered();
        if (calls()[call].list) {
            QVERIFY(!outcome->gotValue && shown.isEmpty());
            QJsonObject extra;
            QTRY_VERIFY(
                !(extra = harness::eventExtra(*m_sandbox, "Internal Message: API UNAUTHORIZED"))
                     .isEmpty());
            QCOMPARE(extra.value("status_code").toInt(), 401);
            QVERIFY(extra.contains("token_expires_at") && extra.contains("response"));
            QVERIFY(extra.value("url").toString().contains("/v1/links?limit=15"));
        } else {
            // The service's error object reaches the caller, with the generic error shown.
            QVERIFY(!outcome->value.toObject().isEmpty());
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.first().informativeText, "Something went wrong. Try later.");
        }
    }

    void withheld_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<bool>("offline"); // else the stored token has expired
        for (auto it = calls().cbegin(); it != calls().cend(); ++it) {
            QTest::addRow("offline %s", qPrintable(it.key())) << it.key() << true;
            // An expired token is caught where every authorized request goes: one of each kind.
            if (QStringList{"getLinks", "deleteLink", "getAccountDomains"}.contains(it.key()))
                QTest::addRow("expired %s", qPrintable(it.key())) << it.key() << false;
        }
    }
    void withheld()
    {
        QFETCH(QString, call);
        QFETCH(bool, offline);
        const bool goesOut = offline && calls()[call].sentOffline;
        harness::storeIssuedToken(*m_sandbox, offline ? 3600 : -60);
        QStringList posts; // previous>current, and a report of the unchanged state still posts
        QObject observer;
        NotificationCenter::shared().addObserver(
            &observer, NotificationViews::changeInternetReachability,
            [&posts](const Notification &n) {
                posts << QStringLiteral("%1>%2").arg(
                    n.userInfo.value(InternetReachability::previousInternetStatus).toString(),
                    n.userInfo.value(InternetReachability::currentInternetStatus).toString());
            });
        m_reachability->report(!offline);
        QCOMPARE(posts.value(0),
                 offline ? QStringLiteral("reachable>notReachable") : "reachable>reachable");
        QCOMPARE(m_log->contains("NETWORK NOT REACHABLE"), offline);
        auto outcome = std::make_shared<Outcome>();
        run(*m_api, call, outcome);
        if (offline) {
            // Offline answers come at once, before any event loop turn.
            QCOMPARE(outcome->calls, goesOut ? 0 : 1);
            QTRY_COMPARE(outcome->calls, 1);
            QCOMPARE(outcome->gotValue, goesOut);
        } else {
            QVERIFY(m_authentication->requestDate().has_value());
            // The refresh is answered and stored; the dropped request stays dropped.
            QTRY_VERIFY(m_log->contains("VALID TOKEN RESPONSE"));
            QVERIFY(m_authentication->hasValidToken());
        }
        QTest::qWait(200);
        QCOMPARE(outcome->calls, offline ? 1 : 0);
        const QJsonArray token = sent("/connect/token", "POST");
        QCOMPARE(token.size(), offline ? 0 : 1);
        // The refreshed sign-in fetches the account's domains itself, after the token answer.
        // (Paths are prefixes: the manifest's signature is fetched after the manifest.)
        const QJsonArray requests = sent(calls()[call].path, calls()[call].method);
        QCOMPARE(requests.size(), goesOut || (!offline && call == "getAccountDomains")
                                      ? (call == "getVersions" ? 2 : 1)
                                      : 0);
        if (!offline && !requests.isEmpty())
            QVERIFY(requests.at(0).toObject().value("seq").toInt() >
                    token.at(0).toObject().value("seq").toInt());
        m_reachability->report(true);
        QCOMPARE(posts.value(1),
                 offline ? QStringLiteral("notReachable>reachable") : "reachable>reachable");
        QCOMPARE(m_api->internetStatus(), InternetStatus::reachable);
        QCOMPARE(m_reachability->starts, 1);
    }

    void answers_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<bool>("value");  // whether the completion gets a value
        QTest::addColumn<bool>("failed"); // logged as an error answer
        const QJsonObject object{{"id", "answer"}};
        const QJsonArray list{object};
        QTest::newRow("object 299 is success")
            << "deleteLink" << QJsonObject{{"status", 299}, {"body", object}} << true << false;
        QTest::newRow("object 300 is failure")
            << "deleteLink" << QJsonObject{{"status", 300}, {"body", object}} << true << true;
        QTest::newRow("list 299 is success")
            << "getLinks" << QJsonObject{{"status", 299}, {"body", list}} << true << false;
        QTest::newRow("list 300 is failure")
            << "getLinks" << QJsonObject{{"status", 300}, {"body", list}} << false << true;
        // A refused logout signs nobody out: that would send another logout.
        QTest::newRow("logout 401 ends there")
            << "logout" << QJsonObject{{"status", 401}} << true << true;
        const QList<std::pair<const char *, QJsonObject>> faults{
            {"500", {{"status", 500}}},
            {"malformed", {{"malformedJson", true}}},
            {"mistyped", {{"mistypedJson", true}}},
            {"dropped", {{"drop", true}}},
            {"slow 503", {{"status", 503}, {"delayMs", 500}}},
            // Silence past the client's timeout answers like a lost connection.
            {"timed out", {{"delayMs", 4000}}}};
        // Faults are met where every request is sent and in the handler of its kind: an
        // authorized list and object call, one without a token, the logout and the versions.
        for (const QString call :
             {"getLinks", "deleteLink", "getPlugins", "logout", "getVersions"}) {
            for (const auto &[label, fault] : faults) {
                // Error statuses count as failures, except for the versions document; the
                // default error body is an object and reaches object callers. The versions
                // document is taken only as signed, so a distorted one gives nothing.
                const bool versions = call == "getVersions";
                const bool failed = fault.contains("status") && !versions;
                const bool value =
                    !calls()[call].list && !versions && (failed || fault.contains("mistypedJson"));
                QTest::addRow("%s %s", qPrintable(call), label) << call << fault << value << failed;
            }
        }
    }
    void answers()
    {
        QFETCH(QString, call);
        QFETCH(QJsonObject, fault);
        QFETCH(bool, value);
        QFETCH(bool, failed);
        harness::storeIssuedToken(*m_sandbox);
        SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView,
                                              {{"id", "wsp-personal"}, {"name", "Personal"}});
        SettingsStore::shared().setBool(Preferences::automaticCopy, true);
        SettingsStore::shared().synchronize();
        fault.insert("method", calls()[call].method);
        fault.insert("path", calls()[call].path);
        QVERIFY(harness::arm(*m_sandbox, fault));
        PostCounter toggles(NotificationViews::togglePopoverOpen);
        const int rechecks = m_reachability->rechecks;
        const auto outcome = runToEnd(call);
        QCOMPARE(outcome->gotValue, value);
        if (value && fault.contains("body"))
            QCOMPARE(outcome->value, fault.value("body"));
        QTest::qWait(100);
        QCOMPARE(outcome->calls, 1);
        QCOMPARE(toggles.count, 0);
        // No answer at all (not an error answer) makes the reachability source look again.
        const bool unanswered = !fault.contains("status") && !fault.contains("malformedJson") &&
                                !fault.contains("mistypedJson");
        QCOMPARE(m_reachability->rechecks - rechecks, unanswered ? 1 : 0);
        const bool list = calls()[call].list;
        QCOMPARE(m_log->contains(list ? "ERROR RESPONSE API!!! list" : "ERROR RESPONSE API!!!"),
                 failed);
        // Only object calls tell the user about an error answer.
        QCOMPARE(m_platform->userNotifications.history().size(), failed && !list ? 1 : 0);
        // Nothing the user had is lost.
        SettingsStore::reopenAll();
        QVERIFY(TokenManager::load().has_value());
        QVERIFY(SettingsStore::shared().dictionaryForKey(Preferences::workspaceObjectMainView));
        QVERIFY(SettingsStore::shared().boolForKey(Preferences::automaticCopy));
    }

    // A 429 stops everything sent to the service until its Retry-After is up: calls meanwhile
    // fail at once, the user is told once, and nothing reaches the sandbox before the time.
    void slowDown_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<bool>("asDate"); // else seconds
        QTest::newRow("paging, seconds") << "getLinks" << false;
        QTest::newRow("object call, http date") << "deleteLink" << true;
    }
    void slowDown()
    {
        QFETCH(QString, call);
        QFETCH(bool, asDate);
        harness::storeIssuedToken(*m_sandbox);
        const QString retryAfter =
            asDate ? QLocale::c().toString(m_clock->now().addSecs(30).toUTC(),
                                           QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
                   : QStringLiteral("30");
        QVERIFY(harness::arm(
            *m_sandbox,
            {{"path", "/v1/*"}, {"status", 429}, {"retryAfter", retryAfter}, {"times", 1}}));
        QCOMPARE(runToEnd(call)->gotValue, !calls()[call].list); // the error object
        const FakeUserNotificationCenter &told = m_platform->userNotifications;
        QCOMPARE(told.history().size(), 1);
        QCOMPARE(told.history().first().informativeText,
                 "The service asks Quorvella to slow down. It will try again in 30 seconds.");
        for (const qint64 wait : {0, 29'999}) {
            m_clock->advance(wait);
            for (const QString &meanwhile : {call, QStringLiteral("searchLinks")}) {
                auto outcome = std::make_shared<Outcome>();
                run(*m_api, meanwhile, outcome);
                QCOMPARE(outcome->calls, 1); // at once, without a network turn
                QVERIFY(!outcome->gotValue);
            }
            auto page = std::make_shared<std::optional<QJsonArray>>(QJsonArray{});
            m_api->getWorkspaces([page](const std::optional<QJsonArray> &l) { *page = l; });
            QVERIFY(!page->has_value());
        }
        QTest::qWait(300);
        QCOMPARE(sent("/v1/").size(), 1);
        QCOMPARE(told.history().size(), 1);
        m_clock->advance(1);
        QVERIFY(runToEnd(call)->gotValue);
        QCOMPARE(sent("/v1/").size(), 2);
        QCOMPARE(told.history().size(), 1);
    }

    void probeFindsTheHost_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("sandbox answers") << true;
        QTest::newRow("nobody listens") << false;
    }
    void probeFindsTheHost()
    {
        QFETCH(bool, listening);
        // A port that was free a moment ago: connections to it are refused.
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = listening ? m_sandbox->baseUrl().port() : closed.serverPort();
        closed.close();
        ProbeReachability probe(QStringLiteral("127.0.0.1"), port, 60000, 2000);
        QSignalSpy reports(&probe, &ReachabilitySource::reported);
        probe.start();
        QTRY_COMPARE(reports.size(), 1);
        QCOMPARE(reports.first().first().toBool(), listening);
        // The same state again is no report.
        probe.probe();
        QTest::qWait(300);
        QCOMPARE(reports.size(), 1);
        // Only an unreachable host is looked at again periodically; a reachable one waits for
        // a request that gets no answer.
        QCOMPARE(probe.isPolling(), !listening);
        if (listening) {
            probe.recheck();
            QTest::qWait(300);
            QCOMPARE(reports.size(), 1);
            QVERIFY(!probe.isPolling());
        }
    }
};

QTEST_MAIN(ApiManagerTest)
#include "tst_apimanager.moc"
