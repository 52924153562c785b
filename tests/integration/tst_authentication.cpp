#include "ServiceHarness.h"

using namespace Costants;

namespace {

QDateTime wholeSecondNow()
{
    const qint64 seconds = QDateTime::currentSecsSinceEpoch();
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

QString grantOf(const QJsonObject &request)
{
    return QUrlQuery(request.value("body").toString()).queryItemValue("grant_type");
}

} // namespace

class AuthenticationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void singleFlight_data();
    void singleFlight();
    void codeExchangeStoresTokenAndAnnounces();
    void refreshedTokenWorks();
    void refusedRefreshSignsOut();
    void answers_data();
    void answers();
    void refreshWithoutRefreshToken();
    void tokenState_data();
    void tokenState();
    void handleRedirect_data();
    void handleRedirect();

private:
    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<LogCapture> m_log;
    std::unique_ptr<ServiceClient> m_client;
    std::unique_ptr<ManualClock> m_clock;
    QSet<QString> m_secrets;
};

void AuthenticationTest::initTestCase()
{
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY2(m_sandbox->isRunning(), qPrintable(m_sandbox->startError()));
    QVERIFY(harness::installCrashSink(*m_sandbox));
}

void AuthenticationTest::init()
{
    QCOMPARE(m_sandbox->control("POST", "/__sandbox/reset").status, 200);
    m_environment = std::make_unique<TestEnvironment>();
    FakePlatform::installNew();
    m_clock = std::make_unique<ManualClock>(wholeSecondNow());
    Clock::install(m_clock.get());
    m_log = std::make_unique<LogCapture>();
    m_client = std::make_unique<ServiceClient>(m_sandbox->baseUrl());
    m_secrets.clear();
}

void AuthenticationTest::cleanup()
{
    // Let answers under way land before the client goes, so their lines are checked too.
    QTRY_VERIFY(!m_client->authentication->requestDate().has_value());
    QTest::qWait(200);
    const QString leak = harness::leakedSecret(*m_sandbox, *m_log, m_secrets);
    m_client.reset();
    m_log.reset();
    Clock::install(nullptr);
    m_clock.reset();
    m_environment.reset();
    QVERIFY2(leak.isEmpty(), qPrintable(leak));
}

void AuthenticationTest::cleanupTestCase()
{
    CrashReporter::setShared(nullptr);
    Platform::install(nullptr);
    m_sandbox.reset();
}

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
    QCOMPARE(m_sandbox
                 ->control("POST", "/__sandbox/faults",
                           QJsonObject{{"path", "/connect/token"}, {"delayMs", 1500}, {"times", 1}})
                 .status,
             200);
    QVERIFY(m_client->authentication->refreshIfExpired());
    QTRY_COMPARE(harness::requests(*m_sandbox, "/connect/token").size(), 1);
    m_clock->advance(laterMs);
    if (second == "refresh") {
        m_client->authentication->refresh(*TokenManager::load());
    } else {
        const QString code = m_sandbox->control("POST", "/__sandbox/codes")
                                 .json()
                                 .toObject()
                                 .value("code")
                                 .toString();
        m_secrets.insert(code);
        m_client->authentication->exchangeCode(code);
    }
    QCOMPARE(m_log->contains("Another request is performing XXXXX"), sent == 1);
    QTRY_COMPARE(harness::requests(*m_sandbox, "/connect/token").size(), sent);
    QTest::qWait(300);
    const QJsonArray requests = harness::requests(*m_sandbox, "/connect/token");
    QCOMPARE(requests.size(), sent);
    QCOMPARE(grantOf(requests.at(0).toObject()), QStringLiteral("refresh_token"));
    QTRY_VERIFY(!m_client->authentication->requestDate().has_value());
    m_secrets.insert(issued.value("refresh_token").toString());
}

void AuthenticationTest::codeExchangeStoresTokenAndAnnounces()
{
    PostCounter toggles(NotificationViews::togglePopoverOpen);
    QJsonArray domains;
    bool domainsArrived = false;
    m_client->authentication->setDomainsHandler([&](const QJsonArray &list) {
        domains = list;
        domainsArrived = true;
    });
    const QString code =
        m_sandbox->control("POST", "/__sandbox/codes").json().toObject().value("code").toString();
    QVERIFY(!code.isEmpty());
    m_secrets.insert(code);
    const QDateTime answeredAt = m_clock->now();
    m_client->authentication->exchangeCode(code);
    QVERIFY(m_log->contains("requesting access token"));
    QVERIFY(m_log->contains("Challenging token"));
    QTRY_VERIFY(TokenManager::load().has_value());
    const TokenManager token = *TokenManager::load();
    // The sandbox hands out one-hour tokens: the expiry is the answer's time plus 3600 s.
    QCOMPARE(token.expires_at->toSecsSinceEpoch(), answeredAt.addSecs(3600).toSecsSinceEpoch());
    QCOMPARE(token.token_type, std::optional<QString>("Bearer"));
    QVERIFY(m_log->contains("VALID TOKEN RESPONSE"));
    QVERIFY(m_log->contains("toggling"));
    QCOMPARE(toggles.count, 1);
    QTRY_VERIFY(domainsArrived);
    QVERIFY(!domains.isEmpty());
    QVERIFY(m_log->contains("setting domains first authentication"));
    const QJsonObject request = harness::requests(*m_sandbox, "/connect/token").at(0).toObject();
    const QUrlQuery form(request.value("body").toString());
    QCOMPARE(form.queryItemValue("grant_type"), QStringLiteral("authorization_code"));
    QCOMPARE(form.queryItemValue("client_id"), Oauth::clientId);
    QCOMPARE(form.queryItemValue("redirect_uri", QUrl::FullyDecoded), Oauth::redirectUri);
    QVERIFY(!harness::header(request, "Authorization"));
    QVERIFY(
        harness::header(request, "Content-Type")->startsWith("application/x-www-form-urlencoded"));
}

void AuthenticationTest::refreshedTokenWorks()
{
    const QJsonObject issued = harness::storeIssuedToken(*m_sandbox, -1);
    m_secrets.insert(issued.value("access_token").toString());
    QVERIFY(!m_client->authentication->hasValidToken());
    QVERIFY(m_client->authentication->refreshIfExpired());
    QVERIFY(m_log->contains("refreshing token"));
    QVERIFY(m_log->contains("refreshing token with refresh"));
    QTRY_VERIFY(m_client->authentication->hasValidToken());
    QVERIFY(TokenManager::load()->access_token != issued.value("access_token").toString());
    bool called = false;
    m_client->api->getLinks(
        std::nullopt, std::nullopt, false,
        [&](const std::optional<QJsonArray> &list) { called = list.has_value(); });
    QTRY_VERIFY(called);
}

void AuthenticationTest::refusedRefreshSignsOut()
{
    // A refresh token the server never issued: 400 invalid_grant.
    [[maybe_unused]] const bool saved =
        TokenManager("stale-access-4711", "Bearer", m_clock->now().addSecs(-5),
                     "stale-refresh-0815")
            .save();
    m_secrets << "stale-access-4711"
              << "stale-refresh-0815";
    SettingsStore::shared().setString(Preferences::userId, "acc-7d1e2f30");
    PostCounter toggles(NotificationViews::togglePopoverOpen);
    QVERIFY(m_client->authentication->refreshIfExpired());
    QTRY_VERIFY(!SettingsStore::shared().contains(Preferences::refreshToken));
    QVERIFY(!SettingsStore::shared().contains(Preferences::userId));
    QCOMPARE(toggles.count, 1);
    QVERIFY(m_log->contains("Error on requesting/refreshing token, deleting it!"));
    QTRY_COMPARE(
        harness::eventsWithMessage(*m_sandbox, "Internal Message: TOKEN EXCHANGE ERROR").size(), 1);
    const QJsonObject extra =
        harness::eventsWithMessage(*m_sandbox, "Internal Message: TOKEN EXCHANGE ERROR")
            .first()
            .value("extra")
            .toObject();
    QCOMPARE(extra.value("description").toString(), QStringLiteral("refresh token request"));
    QCOMPARE(extra.value("status_code").toInt(), 400);
    const QJsonObject parameters = extra.value("parameters").toObject();
    QCOMPARE(parameters.value("refresh_token").toString(), QStringLiteral("<redacted>"));
    QCOMPARE(parameters.value("client_secret").toString(), QStringLiteral("<redacted>"));
    QCOMPARE(parameters.value("client_id").toString(), Oauth::clientId);
    QCOMPARE(parameters.value("grant_type").toString(), QStringLiteral("refresh_token"));
    QVERIFY(extra.contains("result"));
    QVERIFY(extra.contains("err"));
    QCOMPARE(harness::requests(*m_sandbox, "/account/logout").size(), 1);
}

void AuthenticationTest::answers_data()
{
    QTest::addColumn<QJsonObject>("fault");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("tokenKept");
    QTest::addColumn<int>("toggles");
    QTest::addColumn<bool>("event");
    QTest::newRow("no answer") << QJsonObject{{"drop", true}}
                               << "Error on requesting/refreshing token, no response inside"
                               << false << 0 << false;
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
    const QJsonObject issued = harness::storeIssuedToken(*m_sandbox, -5);
    m_secrets << issued.value("access_token").toString() << "a-1"
              << "r-1"
              << "a-2";
    SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView,
                                          {{"id", "wsp-personal"}});
    fault.insert("path", "/connect/token");
    QCOMPARE(m_sandbox->control("POST", "/__sandbox/faults", fault).status, 200);
    PostCounter posted(NotificationViews::togglePopoverOpen);
    const TokenManager before = *TokenManager::load();
    QVERIFY(m_client->authentication->refreshIfExpired());
    QTRY_VERIFY_WITH_TIMEOUT(m_log->contains(line), 10000);
    QVERIFY(!m_client->authentication->requestDate().has_value());
    if (tokenKept) {
        QTest::qWait(300);
        const std::optional<TokenManager> after = TokenManager::load();
        QVERIFY(after.has_value());
        QCOMPARE(after->access_token, before.access_token);
        QCOMPARE(after->refresh_token, before.refresh_token);
        QCOMPARE(harness::requests(*m_sandbox, "/account/logout").size(), 0);
    } else {
        QTRY_VERIFY(!TokenManager::load().has_value());
        QCOMPARE(harness::requests(*m_sandbox, "/account/logout").size(), 1);
    }
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
}

void AuthenticationTest::refreshWithoutRefreshToken()
{
    [[maybe_unused]] const bool saved =
        TokenManager("lonely-access-1", "Bearer", m_clock->now().addSecs(-5), std::nullopt).save();
    m_secrets << "lonely-access-1";
    PostCounter toggles(NotificationViews::togglePopoverOpen);
    m_client->authentication->refresh(
        TokenManager("lonely-access-1", "Bearer", m_clock->now(), std::nullopt));
    QVERIFY(m_log->contains("Error on reading refresh token, no value found"));
    QCOMPARE(toggles.count, 1);
    QTRY_VERIFY(!SettingsStore::shared().contains(Preferences::accessToken));
    QCOMPARE(harness::requests(*m_sandbox, "/connect/token").size(), 0);
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
    QCOMPARE(m_client->authentication->hasValidToken(), valid);
    QCOMPARE(m_client->authentication->refreshIfExpired(), refreshStarted);
    QCOMPARE(m_client->authentication->requestDate().has_value(), refreshStarted);
    if (refreshStarted)
        QTRY_VERIFY(m_client->authentication->hasValidToken());
    QCOMPARE(harness::requests(*m_sandbox, "/connect/token").size(), refreshStarted ? 1 : 0);
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
    QCOMPARE(m_client->authentication->handleRedirect(url), handled);
    QVERIFY(m_log->contains("AUTHENTICATION"));
    QCOMPARE(m_log->contains("code: <redacted>"), handled);
    if (!handled) {
        QTest::qWait(200);
        QCOMPARE(harness::requests(*m_sandbox).size(), 0);
        return;
    }
    // The sandbox refuses the made-up code; what matters is what was sent.
    QTRY_COMPARE(harness::requests(*m_sandbox, "/connect/token").size(), 1);
    const QJsonObject request = harness::requests(*m_sandbox, "/connect/token").at(0).toObject();
    QCOMPARE(QUrlQuery(request.value("body").toString()).queryItemValue("code", QUrl::FullyDecoded),
             code);
    QTRY_VERIFY(!m_client->authentication->requestDate().has_value());
    // The refused code's event carries no code either.
    QTRY_COMPARE(
        harness::eventsWithMessage(*m_sandbox, "Internal Message: TOKEN EXCHANGE ERROR").size(), 1);
    const QJsonObject parameters =
        harness::eventsWithMessage(*m_sandbox, "Internal Message: TOKEN EXCHANGE ERROR")
            .first()
            .value("extra")
            .toObject()
            .value("parameters")
            .toObject();
    QCOMPARE(parameters.value("code").toString(), QStringLiteral("<redacted>"));
    QCOMPARE(parameters.value("client_secret").toString(), QStringLiteral("<redacted>"));
    QCOMPARE(parameters.value("description"), QJsonValue(QJsonValue::Undefined));
}

QTEST_GUILESS_MAIN(AuthenticationTest)
#include "tst_authentication.moc"
