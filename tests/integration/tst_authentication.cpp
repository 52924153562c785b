#include "App/PopoversManager.h"
#include "ServiceHarness.h"
#include "Utils/BackgroundTasks.h"
#include "Utils/DefaultHelper.h"
#include "Utils/NotificationHandler.h"
#include "Views/Popover.h"

using namespace Costants;

namespace {

QString grantOf(const QJsonObject &request)
{
    return QUrlQuery(request.value("body").toString()).queryItemValue("grant_type");
}

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

private:
    void prepare() override
    {
        // The timed-out rows wait this long; the slow ones answer sooner.
        m_timeoutMs = 1500;
        makeClient();
    }

private slots:
    void singleFlight_data();
    void singleFlight();
    void codeExchangeStoresTokenAndAnnounces();
    void refusedRefreshShowsSignIn();
    void answers_data();
    void answers();
    void refreshWithoutRefreshToken();
    void tokenState_data();
    void tokenState();
    void handleRedirect_data();
    void handleRedirect();
    void lateAnswers_data();
    void lateAnswers();
    void pendingUrl_data();
    void pendingUrl();
};

void AuthenticationTest::singleFlight_data()
{
    QTest::addColumn<QString>("second"); // "refresh" or "code"
    QTest::addColumn<qint64>("laterMs");
    QTest::addColumn<int>("sent");
    QTest::newRow("refresh 1 s later is dropped") << "refresh" << qint64(1000) << 1;
    QTest::newRow("refresh 4.9 s later is dropped") << "refresh" << qint64(4900) << 1;
    QTest::newRow("refresh 5 s later is sent") << "refresh" << qint64(5000) << 2;
    QTest::newRow("refresh 6 s later is sent") << "refresh" << qint64(6000) << 2;
    QTest::newRow("code exchange during a refresh is dropped") << "code" << qint64(1000) << 1;
}

void AuthenticationTest::singleFlight()
{
    QFETCH(QString, second);
    QFETCH(qint64, laterMs);
    QFETCH(int, sent);
    const QJsonObject issued = harness::storeIssuedToken(*m_sandbox, -10);
    // The first answer is held back, so the first request is still unanswered.
    QVERIFY(harness::arm(*m_sandbox, {{"path", "/connect/token"}, {"delayMs", 900}, {"times", 1}}));
    QVERIFY(m_authentication->refreshIfExpired());
    QTRY_COMPARE(this->sent("/connect/token").size(), 1);
    m_clock->advance(laterMs);
    if (second == "refresh") {
        m_authentication->refresh(*TokenManager::load());
    } else {
        const QString code = harness::freshCode(*m_sandbox);
        m_secrets.insert(code);
        m_authentication->exchangeCode(code);
    }
    QCOMPARE(m_log->contains("Another request is performing XXXXX"), sent == 1);
    QTRY_COMPARE(this->sent("/connect/token").size(), sent);
    QTest::qWait(300);
    const QJsonArray requests = this->sent("/connect/token");
    QCOMPARE(requests.size(), sent);
    QCOMPARE(grantOf(requests.at(0).toObject()), QStringLiteral("refresh_token"));
    m_secrets.insert(issued.value("refresh_token").toString());
}

void AuthenticationTest::codeExchangeStoresTokenAndAnnounces()
{
    PostCounter toggles(NotificationViews::togglePopoverOpen);
    QJsonArray domains;
    bool domainsArrived = false;
    m_authentication->setDomainsHandler([&](const QJsonArray &list) {
        domains = list;
        domainsArrived = true;
    });
    const QString code = harness::freshCode(*m_sandbox);
    m_secrets.insert(code);
    const QDateTime answeredAt = m_clock->now();
    m_authentication->exchangeCode(code);
    QTRY_VERIFY(TokenManager::load().has_value());
    const TokenManager token = *TokenManager::load();
    // The sandbox hands out one-hour tokens: the expiry is the answer's time plus 3600 s.
    QCOMPARE(token.expires_at->toSecsSinceEpoch(), answeredAt.addSecs(3600).toSecsSinceEpoch());
    QCOMPARE(token.token_type, std::optional<QString>("Bearer"));
    QCOMPARE(toggles.count, 1);
    QTRY_VERIFY(domainsArrived);
    QVERIFY(!domains.isEmpty());
    QVERIFY(m_log->contains("setting domains first authentication"));
    const QJsonObject request = sent("/connect/token").at(0).toObject();
    const QUrlQuery form(request.value("body").toString());
    QCOMPARE(form.queryItemValue("grant_type"), QStringLiteral("authorization_code"));
    QCOMPARE(form.queryItemValue("client_id"), Oauth::clientId);
    QCOMPARE(form.queryItemValue("redirect_uri", QUrl::FullyDecoded), Oauth::redirectUri);
    QVERIFY(!harness::header(request, "Authorization"));
    QVERIFY(
        harness::header(request, "Content-Type")->startsWith("application/x-www-form-urlencoded"));
}

void AuthenticationTest::refusedRefreshShowsSignIn()
{
    // A refresh token the server never issued: 400 invalid_grant.
    [[maybe_unused]] const bool saved =
        TokenManager("stale-access-4711", "Bearer", m_clock->now().addSecs(-5),
                     "stale-refresh-0815")
            .save();
    m_secrets << "stale-access-4711"
              << "stale-refresh-0815";
    SettingsStore::shared().setString(Preferences::userId, "acc-7d1e2f30");
    PopoversManager popovers(std::make_unique<FakeStatusItem>(), m_api.get(),
                             m_authentication.get());
    popovers.toggle(); // starts the refresh and shows nothing yet
    QVERIFY(!popovers.popoverLogin()->isShown());
    QTRY_VERIFY(popovers.popoverLogin()->isShown());
    QVERIFY(!SettingsStore::shared().contains(Preferences::refreshToken));
    QVERIFY(!SettingsStore::shared().contains(Preferences::userId));
    QTRY_COMPARE(sent("/account/logout").size(), 1);
    QTest::qWait(300);
    // The refused token is not sent a second time.
    QCOMPARE(sent("/connect/token").size(), 1);
    QVERIFY(m_log->contains("Error on requesting/refreshing token, deleting it!"));
    QJsonObject extra;
    QTRY_VERIFY(!(extra = harness::eventExtra(*m_sandbox, "Internal Message: TOKEN EXCHANGE ERROR"))
                     .isEmpty());
    QCOMPARE(extra.value("description").toString(), QStringLiteral("refresh token request"));
    QCOMPARE(extra.value("status_code").toInt(), 400);
    const QJsonObject parameters = extra.value("parameters").toObject();
    QCOMPARE(parameters.value("refresh_token").toString(), QStringLiteral("<redacted>"));
    QCOMPARE(parameters.value("client_secret").toString(), QStringLiteral("<redacted>"));
    QCOMPARE(parameters.value("grant_type").toString(), QStringLiteral("refresh_token"));
    QVERIFY(extra.contains("result") && extra.contains("err"));
}

void AuthenticationTest::answers_data()
{
    QTest::addColumn<QJsonObject>("fault");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("tokenKept");
    QTest::addColumn<int>("toggles");
    QTest::addColumn<bool>("event");
    // Without any answer the service refused nothing: the token stays for the next try.
    const QString none = "Error on requesting/refreshing token, no response inside";
    QTest::newRow("no answer") << QJsonObject{{"drop", true}} << none << true << 0 << false;
    QTest::newRow("timed out") << QJsonObject{{"delayMs", 5000}} << none << true << 0 << false;
    QTest::newRow("server error") << QJsonObject{{"status", 500}}
                                  << "Error on requesting/refreshing token, deleting it!" << false
                                  << 1 << true;
    QTest::newRow("slow refusal") << QJsonObject{{"status", 401}, {"delayMs", 800}}
                                  << "Error on requesting/refreshing token, deleting it!" << false
                                  << 1 << true;
    const QString notAnObject = "Error on requesting/refreshing token, didn't receive a valid "
                                "response value, deleting it!";
    QTest::newRow("malformed") << QJsonObject{{"malformedJson", true}} << notAnObject << false << 1
                               << false;
    QTest::newRow("a list") << QJsonObject{{"status", 200}, {"body", QJsonArray{1, 2}}}
                            << notAnObject << false << 1 << false;
    QTest::newRow("mistyped fields")
        << QJsonObject{{"mistypedJson", true}} << "VALID TOKEN RESPONSE" << true << 0 << false;
    QTest::newRow("fraction of a second")
        << QJsonObject{{"status", 200},
                       {"body", QJsonObject{{"access_token", "a-1"},
                                            {"token_type", "Bearer"},
                                            {"expires_in", 3600.5},
                                            {"refresh_token", "r-1"}}}}
        << "VALID TOKEN RESPONSE" << true << 0 << false;
    QTest::newRow("field missing") << QJsonObject{{"status", 200},
                                                  {"body", QJsonObject{{"access_token", "a-2"},
                                                                       {"token_type", "Bearer"},
                                                                       {"expires_in", 3600}}}}
                                   << "VALID TOKEN RESPONSE" << true << 0 << false;
}

void AuthenticationTest::answers()
{
    QFETCH(QJsonObject, fault);
    QFETCH(QString, line);
    QFETCH(bool, tokenKept);
    QFETCH(int, toggles);
    QFETCH(bool, event);
    const QString none = "Error on requesting/refreshing token, no response inside";
    const QJsonObject issued = harness::storeIssuedToken(*m_sandbox, -5);
    m_secrets << issued.value("access_token").toString() << "a-1"
              << "r-1"
              << "a-2";
    SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView,
                                          {{"id", "wsp-personal"}});
    fault.insert("path", "/connect/token");
    QVERIFY(harness::arm(*m_sandbox, fault));
    PostCounter posted(NotificationViews::togglePopoverOpen);
    const TokenManager before = *TokenManager::load();
    QVERIFY(m_authentication->refreshIfExpired());
    QTRY_VERIFY_WITH_TIMEOUT(m_log->contains(line), 5000);
    QVERIFY(!m_authentication->requestDate().has_value());
    QTest::qWait(tokenKept ? 300 : 0);
    const std::optional<TokenManager> after = TokenManager::load();
    QCOMPARE(after.has_value(), tokenKept);
    if (tokenKept) {
        QCOMPARE(after->access_token, before.access_token);
        QCOMPARE(after->refresh_token, before.refresh_token);
    }
    QTRY_COMPARE(sent("/account/logout").size(), tokenKept ? 0 : 1);
    QCOMPARE(posted.count, toggles);
    // Settings beyond the token are never touched by a failed exchange.
    QVERIFY(SettingsStore::shared().dictionaryForKey(Preferences::workspaceObjectMainView));
    if (event)
        QTRY_COMPARE(
            harness::eventsWithMessage(*m_sandbox, "Internal Message: TOKEN EXCHANGE ERROR").size(),
            1);
    QTest::qWait(200);
    QCOMPARE(
        harness::eventsWithMessage(*m_sandbox, "Internal Message: TOKEN EXCHANGE ERROR").size(),
        event ? 1 : 0);
    // A lost answer is not sent again on its own; the next need tries again.
    QCOMPARE(sent("/connect/token").size(), 1);
    if (line == none) {
        QVERIFY(m_authentication->refreshIfExpired());
        QTRY_COMPARE(sent("/connect/token").size(), 2);
    }
}

void AuthenticationTest::refreshWithoutRefreshToken()
{
    [[maybe_unused]] const bool saved =
        TokenManager("lonely-access-1", "Bearer", m_clock->now().addSecs(-5), std::nullopt).save();
    m_secrets << "lonely-access-1";
    PostCounter toggles(NotificationViews::togglePopoverOpen);
    m_authentication->refresh(
        TokenManager("lonely-access-1", "Bearer", m_clock->now(), std::nullopt));
    QVERIFY(m_log->contains("Error on reading refresh token, no value found"));
    QCOMPARE(toggles.count, 1);
    QTRY_VERIFY(!SettingsStore::shared().contains(Preferences::accessToken));
    QCOMPARE(sent("/connect/token").size(), 0);
}

void AuthenticationTest::tokenState_data()
{
    QTest::addColumn<QString>("stored"); // none, valid, expired, incomplete
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("refreshStarted");
    QTest::newRow("no token") << "none" << false << false;
    QTest::newRow("valid token") << "valid" << true << false;
    QTest::newRow("expires this instant") << "now" << true << false;
    QTest::newRow("expired token") << "expired" << false << true;
    QTest::newRow("expired without refresh token") << "incomplete" << false << false;
}

void AuthenticationTest::tokenState()
{
    QFETCH(QString, stored);
    QFETCH(bool, valid);
    QFETCH(bool, refreshStarted);
    if (stored == "valid" || stored == "expired" || stored == "now")
        harness::storeIssuedToken(*m_sandbox, stored == "valid" ? 60 : (stored == "now" ? 0 : -60));
    if (stored == "incomplete") {
        [[maybe_unused]] const bool saved =
            TokenManager("half-1", "Bearer", m_clock->now().addSecs(-60), std::nullopt).save();
        m_secrets << "half-1";
    }
    QCOMPARE(m_authentication->hasValidToken(), valid);
    QCOMPARE(m_authentication->refreshIfExpired(), refreshStarted);
    QCOMPARE(m_authentication->requestDate().has_value(), refreshStarted);
    if (refreshStarted)
        QTRY_VERIFY(m_authentication->hasValidToken());
    QCOMPARE(sent("/connect/token").size(), refreshStarted ? 1 : 0);
}

void AuthenticationTest::handleRedirect_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("handled");
    QTest::addColumn<QString>("code");
    QTest::newRow("code and state")
        << "https://localhost/oauth?code=abc&state=xyz" << true << "abc";
    QTest::newRow("first code wins")
        << "https://localhost/oauth?code=first&code=second" << true << "first";
    QTest::newRow("encoded code") << "https://localhost/oauth?code=a%2Bb%2Fc" << true << "a+b/c";
    QTest::newRow("no query") << "https://localhost/oauth" << false << QString();
    QTest::newRow("no code item") << "https://localhost/oauth?state=xyz" << false << QString();
    QTest::newRow("code without value") << "https://localhost/oauth?code=" << false << QString();
    QTest::newRow("bare code item") << "https://localhost/oauth?code" << false << QString();
    QTest::newRow("error answer") << "https://localhost/oauth?error=access_denied" << false
                                  << QString();
    QTest::newRow("not a URL") << "http://[::1" << false << QString();
}

void AuthenticationTest::handleRedirect()
{
    QFETCH(QString, url);
    QFETCH(bool, handled);
    QFETCH(QString, code);
    if (!code.isEmpty())
        m_secrets.insert(code);
    QCOMPARE(m_authentication->handleRedirect(url), handled);
    QVERIFY(m_log->contains("AUTHENTICATION"));
    QCOMPARE(m_log->contains("code: <redacted>"), handled);
    if (!handled) {
        QTest::qWait(200);
        QCOMPARE(sent().size(), 0);
        return;
    }
    // The sandbox refuses the made-up code; what matters is what was sent.
    QTRY_COMPARE(sent("/connect/token").size(), 1);
    const QJsonObject request = sent("/connect/token").at(0).toObject();
    QCOMPARE(QUrlQuery(request.value("body").toString()).queryItemValue("code", QUrl::FullyDecoded),
             code);
    // The refused code's event is checked for the code by the leak watch.
}

void AuthenticationTest::lateAnswers_data()
{
    QTest::addColumn<QString>("late"); // the request whose answer comes after the change
    QTest::newRow("logout answer after the next sign-in") << "/account/logout";
    QTest::newRow("refresh answer after sign-out") << "/connect/token";
    QTest::newRow("domain answer after sign-out") << "/v1/domains";
}

void AuthenticationTest::lateAnswers()
{
    QFETCH(QString, late);
    QVERIFY(harness::arm(*m_sandbox, {{"path", late}, {"delayMs", 1200}, {"times", 1}}));
    const QJsonObject issued =
        harness::storeIssuedToken(*m_sandbox, late == "/connect/token" ? -5 : 60);
    m_secrets << issued.value("refresh_token").toString();
    if (late == "/account/logout") {
        signOutFromMenu(*m_api);
        m_authentication->exchangeCode(harness::freshCode(*m_sandbox));
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
    const QString dropped = late == "/connect/token" ? "dropping token answer of an ended session"
                                                     : "dropping answer of an ended session";
    QTRY_VERIFY(m_log->contains(dropped));
    QTest::qWait(100);
    // The session that followed is untouched: signed in stays signed in, and out stays out.
    QCOMPARE(TokenManager::load().has_value(), late == "/account/logout");
    QVERIFY(!SettingsStore::shared().contains(Preferences::domainNames));
    QVERIFY(!SettingsStore::shared().contains(Preferences::workspaceIdsListToCheckDomains));
}

void AuthenticationTest::pendingUrl_data()
{
    QTest::addColumn<QString>("grant");
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("offers");
    using namespace Preferences::OptionsRebrand;
    QTest::newRow("sign-in offers it") << "authorization_code" << autoRebrand << 1;
    QTest::newRow("a refresh does not") << "refresh_token" << autoRebrand << 0;
    QTest::newRow("never with do nothing") << "authorization_code" << doNothing << 0;
}

void AuthenticationTest::pendingUrl()
{
    QFETCH(QString, grant);
    QFETCH(QString, option);
    QFETCH(int, offers);
    SettingsStore::shared().setString(Preferences::optionActive, option);
    NotificationHandler::storeDestinationURL("https://example.org/pending", 7);
    m_authentication->setDomainsHandler(&DefaultHelper::accountDomainsFetched);
    m_authentication->setWorkspacesHandler(&DefaultHelper::accountWorkspacesFetched);
    bool defaultsKnown = false;
    int calls = 0;
    m_authentication->setStoredDestinationHandler([&] {
        ++calls;
        defaultsKnown = SettingsStore::shared().contains(Preferences::domainObjectAutoReplace) &&
                        SettingsStore::shared().contains(Preferences::workspaceObjectAutoReplace);
        NotificationHandler::riseStoredDestinationURL();
    });
    if (grant == "refresh_token") {
        harness::storeIssuedToken(*m_sandbox, -5);
        QVERIFY(m_authentication->refreshIfExpired());
    } else {
        m_authentication->exchangeCode(harness::freshCode(*m_sandbox));
    }
    QTRY_VERIFY(m_log->contains("setting domains first authentication"));
    QTRY_COMPARE(calls, grant == "refresh_token" ? 0 : 1);
    QTest::qWait(300);
    QCOMPARE(calls, grant == "refresh_token" ? 0 : 1);
    QVERIFY(calls == 0 || defaultsKnown);
    int questions = 0;
    for (const UserNotification &shown : m_platform->userNotifications.delivered())
        questions += shown.identifier == "qv-rebrand-link-changeid-7" ? 1 : 0;
    QCOMPARE(questions, offers);
}

QTEST_MAIN(AuthenticationTest)
#include "tst_authentication.moc"
