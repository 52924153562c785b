#include "App/PopoversManager.h"
#include "ServiceHarness.h"
#include "Utils/BackgroundTasks.h"
#include "Utils/DefaultHelper.h"
#include "Utils/NotificationHandler.h"
#include "Views/Popover.h"

using namespace Costants;

namespace {

const QString kExchangeError = QStringLiteral("Internal Message: TOKEN EXCHANGE ERROR");

// What the sign-out from the settings menu does to the store and the service.
void signOutFromMenu(ApiManager &api)
{
    api.logout([](const std::optional<QJsonObject> &) { TokenManager::deleteToken(); });
    SettingsStore::shared().removeKeys(Preferences::signOutKeys);
    SettingsStore::shared().synchronize();
}

} // namespace

class AuthenticationTest : public ServiceTest
{
    Q_OBJECT

public:
    // The timed-out rows wait this long; the slow ones answer sooner.
    AuthenticationTest() { m_timeoutMs = 1500; }

private slots:
    void singleFlight_data()
    {
        QTest::addColumn<bool>("code"); // else a second refresh
        QTest::addColumn<qint64>("laterMs");
        QTest::addColumn<int>("sent");
        QTest::newRow("refresh 4.9 s later is dropped") << false << qint64(4900) << 1;
        QTest::newRow("refresh 5 s later is sent") << false << qint64(5000) << 2;
        QTest::newRow("code exchange during a refresh is dropped") << true << qint64(1000) << 1;
    }
    void singleFlight()
    {
        QFETCH(bool, code);
        QFETCH(qint64, laterMs);
        QFETCH(int, sent);
        const QJsonObject issued = harness::storeIssuedToken(*m_sandbox, -10);
        m_secrets.insert(issued.value("refresh_token").toString());
        // The first answer is held back, so the first request is still unanswered.
        QVERIFY(
            harness::arm(*m_sandbox, {{"path", "/connect/token"}, {"delayMs", 900}, {"times", 1}}));
        QVERIFY(m_authentication->refreshIfExpired());
        QTRY_COMPARE(this->sent("/connect/token").size(), 1);
        m_clock->advance(laterMs);
        if (code)
            exchangeFreshCode();
        else
            m_authentication->refresh(*TokenManager::load());
        QCOMPARE(m_log->contains("Another request is performing XXXXX"), sent == 1);
        QTRY_COMPARE(this->sent("/connect/token").size(), sent);
        QTest::qWait(300);
        const QJsonArray requests = this->sent("/connect/token");
        QCOMPARE(requests.size(), sent);
        QCOMPARE(QUrlQuery(requests.at(0)["body"].toString()).queryItemValue("grant_type"),
                 QStringLiteral("refresh_token"));
    }

    void answers_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("tokenKept");
        QTest::addColumn<bool>("event");
        // Without any answer the service refused nothing: the token stays for the next try.
        const QString none = "Error on requesting/refreshing token, no response inside";
        const QString refused = "Error on requesting/refreshing token, deleting it!";
        const QString notAnObject = "Error on requesting/refreshing token, didn't receive a valid "
                                    "response value, deleting it!";
        const QString valid = "VALID TOKEN RESPONSE";
        QTest::newRow("no answer") << QJsonObject{{"drop", true}} << none << true << false;
        QTest::newRow("timed out") << QJsonObject{{"delayMs", 5000}} << none << true << false;
        QTest::newRow("refused") << QJsonObject{{"status", 400},
                                                {"body", QJsonObject{{"error", "invalid_grant"}}}}
                                 << refused << false << true;
        QTest::newRow("slow refusal")
            << QJsonObject{{"status", 401}, {"delayMs", 800}} << refused << false << true;
        QTest::newRow("malformed")
            << QJsonObject{{"malformedJson", true}} << notAnObject << false << false;
        QTest::newRow("a list") << QJsonObject{{"status", 200}, {"body", QJsonArray{1, 2}}}
                                << notAnObject << false << false;
        QTest::newRow("mistyped fields")
            << QJsonObject{{"mistypedJson", true}} << valid << true << false;
        QJsonObject pair{{"access_token", "a-1"},
                         {"token_type", "Bearer"},
                         {"expires_in", 3600.5},
                         {"refresh_token", "r-1"}};
        QTest::newRow("fraction of a second")
            << QJsonObject{{"status", 200}, {"body", pair}} << valid << true << false;
        pair = {{"access_token", "a-2"}, {"token_type", "Bearer"}, {"expires_in", 3600}};
        QTest::newRow("no refresh token")
            << QJsonObject{{"status", 200}, {"body", pair}} << valid << true << false;
    }
    void answers()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(QString, line);
        QFETCH(bool, tokenKept);
        QFETCH(bool, event);
        const QJsonObject issued = harness::storeIssuedToken(*m_sandbox, -5);
        m_secrets.unite({issued["access_token"].toString(), "a-1", "r-1", "a-2"});
        SettingsStore::shared().setString(Preferences::userId, "acc-7d1e2f30");
        SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView,
                                              {{"id", "wsp-personal"}});
        fault.insert("path", "/connect/token");
        QVERIFY(harness::arm(*m_sandbox, fault));
        PopoversManager popovers(std::make_unique<FakeStatusItem>(), m_api.get(),
                                 m_authentication.get());
        PostCounter posted(NotificationViews::togglePopoverOpen);
        const TokenManager before = *TokenManager::load();
        popovers.toggle(); // starts the refresh and shows nothing yet
        QVERIFY(m_authentication->requestDate().has_value());
        QVERIFY(!popovers.popoverLogin()->isShown());
        QTRY_VERIFY_WITH_TIMEOUT(m_log->contains(line), 5000);
        QVERIFY(!m_authentication->requestDate().has_value());
        QTest::qWait(tokenKept ? 300 : 0);
        const std::optional<TokenManager> after = TokenManager::load();
        QCOMPARE(after.has_value(), tokenKept);
        if (tokenKept) {
            QCOMPARE(after->access_token, before.access_token);
            QCOMPARE(after->refresh_token, before.refresh_token);
        } else {
            QTRY_VERIFY(popovers.popoverLogin()->isShown());
            // Every entry of the sign-in goes, on disk too.
            SettingsStore::reopenAll();
            using namespace Preferences;
            for (const QString &key :
                 {accessToken, tokenType, expiresAt, expiresIn, refreshToken, userId})
                QVERIFY2(!SettingsStore::shared().contains(key), qPrintable(key));
        }
        QTRY_COMPARE(sent("/account/logout").size(), tokenKept ? 0 : 1);
        QCOMPARE(posted.count, tokenKept ? 0 : 1);
        // Settings beyond the token are never touched by a failed exchange.
        QVERIFY(SettingsStore::shared().dictionaryForKey(Preferences::workspaceObjectMainView));
        if (event) {
            QJsonObject extra;
            QTRY_VERIFY(!(extra = harness::eventExtra(*m_sandbox, kExchangeError)).isEmpty());
            QCOMPARE(extra.value("description").toString(), "refresh token request");
            QCOMPARE(extra.value("status_code").toInt(), fault.value("status").toInt());
            QVERIFY(extra.contains("result") && extra.contains("err"));
            // The secrets among the parameters are the leak watch's.
            QCOMPARE(extra.value("parameters")["grant_type"].toString(), "refresh_token");
        }
        QTest::qWait(200);
        QCOMPARE(harness::eventsWithMessage(*m_sandbox, kExchangeError).size(), event ? 1 : 0);
        // A refused or lost answer is not sent again on its own; the next need tries again.
        QCOMPARE(sent("/connect/token").size(), 1);
        if (line.contains("no response")) {
            QVERIFY(m_authentication->refreshIfExpired());
            QTRY_COMPARE(sent("/connect/token").size(), 2);
        }
    }

    // Only an expired token with a refresh token starts a refresh (its answers: singleFlight,
    // answers); a token stored with a wrong type counts as none.
    void tokenState_data()
    {
        QTest::addColumn<int>("expiresIn"); // seconds from now
        QTest::addColumn<bool>("refreshToken");
        QTest::addColumn<QString>("spoiled"); // a key then stored with the wrong type
        QTest::addColumn<bool>("valid");
        QTest::newRow("expires this instant") << 0 << true << QString() << true;
        QTest::newRow("expired a second ago") << -1 << true << QString() << false;
        QTest::newRow("expired without refresh token") << -60 << false << QString() << false;
        QTest::newRow("expiry stored as text") << 60 << true << Preferences::expiresAt << false;
        QTest::newRow("access token stored as a number")
            << 60 << true << Preferences::accessToken << false;
    }
    void tokenState()
    {
        QFETCH(int, expiresIn);
        QFETCH(bool, refreshToken);
        QFETCH(QString, spoiled);
        QFETCH(bool, valid);
        if (refreshToken)
            harness::storeIssuedToken(*m_sandbox, expiresIn);
        if (spoiled == Preferences::expiresAt)
            SettingsStore::shared().setString(spoiled, m_clock->now().toString(Qt::ISODate));
        else if (!spoiled.isEmpty())
            SettingsStore::shared().setInteger(spoiled, 42);
        const TokenManager lonely("lonely-access-1", "Bearer", m_clock->now().addSecs(expiresIn),
                                  std::nullopt);
        if (expiresIn < 0 && !refreshToken) {
            QVERIFY(lonely.save());
            m_secrets << "lonely-access-1";
        }
        const bool refreshes = refreshToken && !valid && spoiled.isEmpty();
        QCOMPARE(m_authentication->hasValidToken(), valid);
        QCOMPARE(m_authentication->refreshIfExpired(), refreshes);
        QCOMPARE(m_authentication->requestDate().has_value(), refreshes);
        if (expiresIn < 0 && !refreshToken) {
            // Such a token never loads; asked to refresh it all the same, the client ends the
            // session instead of sending.
            PostCounter toggles(NotificationViews::togglePopoverOpen);
            m_authentication->refresh(lonely);
            QVERIFY(m_log->contains("Error on reading refresh token, no value found"));
            QCOMPARE(toggles.count, 1);
            QTRY_VERIFY(!SettingsStore::shared().contains(Preferences::accessToken));
        }
        QTRY_COMPARE(sent("/connect/token").size(), refreshes ? 1 : 0);
    }

    void handleRedirect_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("code"); // empty: not handled
        const QString redirect = "https://localhost/oauth?";
        QTest::newRow("first code wins") << redirect + "code=first&code=second" << QString("first");
        QTest::newRow("encoded code") << redirect + "code=a%2Bb%2Fc" << QString("a+b/c");
        QTest::newRow("no code item") << redirect + "state=xyz" << QString();
        QTest::newRow("bare code item") << redirect + "code" << QString();
        QTest::newRow("not a URL") << QString("http://[::1") << QString();
    }
    void handleRedirect()
    {
        QFETCH(QString, url);
        QFETCH(QString, code);
        const bool handled = !code.isEmpty();
        if (handled)
            m_secrets.insert(code);
        QCOMPARE(m_authentication->handleRedirect(url), handled);
        QVERIFY(m_log->contains("AUTHENTICATION"));
        QCOMPARE(m_log->contains("code: <redacted>"), handled);
        // The sandbox refuses the made-up code; what matters is what was sent. The refused
        // code's event is checked for the code by the leak watch.
        QTest::qWait(200);
        QCOMPARE(sent().isEmpty(), !handled);
        const QJsonArray requests = sent("/connect/token");
        QCOMPARE(requests.size(), handled ? 1 : 0);
        if (handled)
            QCOMPARE(QUrlQuery(requests.at(0)["body"].toString())
                         .queryItemValue("code", QUrl::FullyDecoded),
                     code);
    }

    void lateAnswers_data()
    {
        QTest::addColumn<QString>("late"); // the request whose answer comes after the change
        QTest::newRow("logout answer after the next sign-in") << "/account/logout";
        QTest::newRow("refresh answer after sign-out") << "/connect/token";
        QTest::newRow("domain answer after sign-out") << "/v1/domains";
    }
    void lateAnswers()
    {
        QFETCH(QString, late);
        QVERIFY(harness::arm(*m_sandbox, {{"path", late}, {"delayMs", 1200}, {"times", 1}}));
        const QJsonObject issued =
            harness::storeIssuedToken(*m_sandbox, late == "/connect/token" ? -5 : 60);
        m_secrets << issued.value("refresh_token").toString();
        if (late == "/account/logout") {
            signOutFromMenu(*m_api);
            exchangeFreshCode();
            QTRY_VERIFY(m_authentication->hasValidToken());
        } else if (late == "/connect/token") {
            QVERIFY(m_authentication->refreshIfExpired());
            QTRY_COMPARE(sent(late).size(), 1);
            signOutFromMenu(*m_api);
        } else {
            BackgroundTasks::setDelayMilliseconds(50);
            SettingsStore::shared().setStringArray(Preferences::workspaceIdsListToCheckDomains,
                                                   {"wsp-marketing"});
            BackgroundTasks::run();
            QTRY_COMPARE(sent(late).size(), 1);
            signOutFromMenu(*m_api);
        }
        QTRY_VERIFY(m_log->contains(late == "/connect/token"
                                        ? "dropping token answer of an ended session"
                                        : "dropping answer of an ended session"));
        QTest::qWait(100);
        // The session that followed is untouched: signed in stays signed in, and out stays out.
        QCOMPARE(TokenManager::load().has_value(), late == "/account/logout");
        QVERIFY(!SettingsStore::shared().contains(Preferences::domainNames));
        QVERIFY(!SettingsStore::shared().contains(Preferences::workspaceIdsListToCheckDomains));
    }

    // A sign-in stores the token and the account's defaults; only then is a link that waited
    // for it offered for rebranding.
    void signInAndPendingUrl_data()
    {
        QTest::addColumn<QString>("grant");
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("offers");
        using namespace Preferences::OptionsRebrand;
        QTest::newRow("sign-in offers it") << "authorization_code" << autoRebrand << 1;
        QTest::newRow("a refresh does not") << "refresh_token" << autoRebrand << 0;
        QTest::newRow("never with do nothing") << "authorization_code" << doNothing << 0;
    }
    void signInAndPendingUrl()
    {
        QFETCH(QString, grant);
        QFETCH(QString, option);
        const bool signIn = grant == "authorization_code";
        SettingsStore::shared().setString(Preferences::optionActive, option);
        NotificationHandler::storeDestinationURL("https://example.org/pending", 7);
        m_authentication->setDomainsHandler(&DefaultHelper::accountDomainsFetched);
        m_authentication->setWorkspacesHandler(&DefaultHelper::accountWorkspacesFetched);
        bool defaultsKnown = false;
        int calls = 0;
        m_authentication->setStoredDestinationHandler([&] {
            ++calls;
            defaultsKnown =
                SettingsStore::shared().contains(Preferences::domainObjectAutoReplace) &&
                SettingsStore::shared().contains(Preferences::workspaceObjectAutoReplace);
            NotificationHandler::riseStoredDestinationURL();
        });
        PostCounter toggles(NotificationViews::togglePopoverOpen);
        const QDateTime answeredAt = m_clock->now();
        if (signIn) {
            exchangeFreshCode();
        } else {
            harness::storeIssuedToken(*m_sandbox, -5);
            QVERIFY(m_authentication->refreshIfExpired());
        }
        QTRY_VERIFY(m_log->contains("setting domains first authentication"));
        QTRY_VERIFY(SettingsStore::shared().contains(Preferences::domainObjectAutoReplace));
        QTRY_COMPARE(calls, signIn ? 1 : 0);
        QTest::qWait(300);
        QCOMPARE(calls, signIn ? 1 : 0);
        QVERIFY(calls == 0 || defaultsKnown);
        int questions = 0;
        for (const UserNotification &shown : m_platform->userNotifications.delivered())
            questions += shown.identifier == "qv-rebrand-link-changeid-7" ? 1 : 0;
        QTEST(questions, "offers");
        // The sandbox hands out one-hour tokens: the expiry is the answer's time plus 3600 s.
        const TokenManager token = *TokenManager::load();
        QCOMPARE(token.expires_at->toSecsSinceEpoch(), answeredAt.addSecs(3600).toSecsSinceEpoch());
        QCOMPARE(toggles.count, 1); // a valid answer re-routes the popovers
        // The sandbox takes only a form with the client's id, secret and registered redirect
        // for the grant; no bearer goes along.
        QVERIFY(!harness::header(sent("/connect/token").at(0).toObject(), "Authorization"));
    }
};

QTEST_MAIN(AuthenticationTest)
#include "tst_authentication.moc"
