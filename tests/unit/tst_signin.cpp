#include "App/Costants.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Controllers/ControllerRegistry.h"
#include "Controllers/LoginViewController.h"
#include "Controllers/OauthViewController.h"
#include "HttpSink.h"
#include "LogCapture.h"
#include "Platform/testing/FakePlatform.h"
#include "Services/Config.h"
#include "TestEnvironment.h"
#include "Views/WindowNoTitleBar.h"

#include <QTest>
#include <QUrlQuery>

using namespace Costants;

class SignInTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void authorizeUrl_data();
    void authorizeUrl();
    void redirectWithCodeExchangesAndCloses();
    void redirectWithoutCodeKeepsWindow_data();
    void redirectWithoutCodeKeepsWindow();
    void otherFailingNavigationKeepsWindow();
    void helperCrashClosesWindowWithAlert();
    void userClosingTheWindowEndsSignIn();
    void secondLoginClickReusesTheWindow();
    void signupAndDashboardOpenInBrowser();

private:
    WindowNoTitleBar *openWindow();

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<HttpSink> m_service;
    FakePlatform *m_platform = nullptr;
};

void SignInTest::initTestCase()
{
    ControllerRegistry::registerAll();
}

void SignInTest::init()
{
    m_environment = std::make_unique<TestEnvironment>();
    m_platform = &FakePlatform::installNew();
    m_service = std::make_unique<HttpSink>();
    m_service->setResponse("/connect/token",
                           {200,
                            "application/json",
                            R"({"access_token":"access-9","token_type":"Bearer","expires_in":3600,
                               "refresh_token":"refresh-9"})",
                            {}});
    Config config = Config::productionDefaults().routedTo(m_service->origin());
    config.crashReportingDsn.clear();
    Config::install(config);
}

void SignInTest::cleanup()
{
    // Windows left open by a test close themselves here.
    NotificationCenter::shared().post(NotificationViews::closeWindowOauth);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_service.reset();
    m_environment.reset();
}

WindowNoTitleBar *SignInTest::openWindow()
{
    LoginViewController login;
    login.loginAction();
    if (!m_platform->lastWebView)
        return nullptr;
    return LoginViewController::signInWindow();
}

void SignInTest::authorizeUrl_data()
{
    QTest::addColumn<bool>("isSignup");
    QTest::addColumn<QString>("expected");
    const QString start = QStringLiteral(
        "https://identity.example/connect/authorize?client_id=5f3c9a1e-8b2d-4c6f-a7e0-91d4b2c8e6a3"
        "&redirect_uri=https://localhost/oauth&response_type=code&scope=qvapi%20offline_access");
    QTest::newRow("sign in") << false << start + "&acr_values=cmd:relogin,register&prompt=login";
    QTest::newRow("sign up") << true << start + "&acr_values=register%20cmd:direct";
}

void SignInTest::authorizeUrl()
{
    QFETCH(bool, isSignup);
    QFETCH(QString, expected);
    QCOMPARE(OauthViewController::authorizeUrl(QUrl("https://identity.example"), isSignup),
             expected);
}

void SignInTest::redirectWithCodeExchangesAndCloses()
{
    LogCapture log;
    QStringList posted;
    QObject recorder;
    for (const QString &name :
         {NotificationViews::closeOauthWebview, NotificationViews::closeWindowOauth,
          NotificationViews::resetPopoverControllers, NotificationViews::togglePopoverOpen})
        NotificationCenter::shared().addObserver(
            &recorder, name, [&posted](const Notification &n) { posted << n.name; });
    QPointer<WindowNoTitleBar> window = openWindow();
    QVERIFY(window);
    QPointer<FakeWebView> view = m_platform->lastWebView;
    QCOMPARE(view->interceptedPrefix, QStringLiteral("https://localhost/oauth"));
    QCOMPARE(view->loads.size(), 1);
    QVERIFY(view->loads.first().toString(QUrl::FullyEncoded).endsWith("&prompt=login"));

    view->failProvisional(QStringLiteral("https://localhost/oauth?code=abc&state=xyz"));
    QVERIFY(log.contains("it is my redirect URI <3"));
    QVERIFY(log.contains("oauth went good"));
    QVERIFY(!window->isOpen());
    QCOMPARE(posted.mid(0, 3), (QStringList{"qv-close-oauth-webview", "qv-close-window-oauth",
                                            "qv-reset-popover-controllers"}));
    QVERIFY(log.contains("CLOSING HERE!!!"));
    QVERIFY(log.contains("CLOSING WINDOW"));
    QVERIFY(log.contains("close webview oauth"));

    // The code goes to the token endpoint, and the stored token follows.
    QTRY_VERIFY(!m_service->requests().isEmpty());
    QCOMPARE(m_service->requests().first().path, QByteArray("/connect/token"));
    const QUrlQuery form(QString::fromUtf8(m_service->requests().first().body));
    QCOMPARE(form.queryItemValue("code"), QStringLiteral("abc"));
    QCOMPARE(form.queryItemValue("grant_type"), QStringLiteral("authorization_code"));
    QTRY_COMPARE(SettingsStore::shared().stringForKey(Preferences::accessToken),
                 QStringLiteral("access-9"));
    QTRY_VERIFY(posted.contains("qv-toggle-popover-open"));
    // The code is a credential: it never reaches the log.
    for (const QString &line : log.lines())
        QVERIFY2(!line.contains("abc"), qPrintable(line));
}

void SignInTest::redirectWithoutCodeKeepsWindow_data()
{
    QTest::addColumn<QString>("failing");
    QTest::newRow("no query") << "https://localhost/oauth";
    QTest::newRow("error instead of code") << "https://localhost/oauth?error=access_denied&state=1";
    QTest::newRow("empty code") << "https://localhost/oauth?code=&state=1";
}

void SignInTest::redirectWithoutCodeKeepsWindow()
{
    QFETCH(QString, failing);
    LogCapture log;
    QPointer<WindowNoTitleBar> window = openWindow();
    QVERIFY(window);
    m_platform->lastWebView->failProvisional(failing);
    QVERIFY(log.contains("oauth not so good"));
    QVERIFY(window->isOpen());
    QTest::qWait(50);
    QVERIFY(m_service->requests().isEmpty());
    // The next click on "Sign in" starts the page afresh instead of showing nothing.
    openWindow();
    QVERIFY(m_platform->lastWebView);
    QCOMPARE(m_platform->lastWebView->loads.size(), 1);
}

void SignInTest::otherFailingNavigationKeepsWindow()
{
    LogCapture log;
    QPointer<WindowNoTitleBar> window = openWindow();
    QPointer<FakeWebView> view = m_platform->lastWebView;
    view->failProvisional(QStringLiteral("https://elsewhere.example/oauth?code=abc"));
    QVERIFY(log.contains("fail LINK: https://elsewhere.example/oauth?code=<redacted>"));
    QVERIFY(!log.contains("it is my redirect URI <3"));
    QVERIFY(window->isOpen());
    QVERIFY(view);
    QCOMPARE(view->closeCalls, 0);
}

void SignInTest::helperCrashClosesWindowWithAlert()
{
    QPointer<WindowNoTitleBar> window = openWindow();
    m_platform->lastWebView->crash(QStringLiteral("the browser could not start"));
    QVERIFY(!window || !window->isOpen());
    QCOMPARE(m_platform->alertPresenter.shown().size(), 1);
    QCOMPARE(m_platform->alertPresenter.shown().first().message,
             QStringLiteral("Sign-in could not continue"));
    QVERIFY(m_platform->alertPresenter.shown().first().informativeText.contains("could not start"));
}

void SignInTest::userClosingTheWindowEndsSignIn()
{
    LogCapture log;
    QPointer<WindowNoTitleBar> window = openWindow();
    m_platform->lastWebView->userCloses();
    QVERIFY(!window || !window->isOpen());
    QVERIFY(log.contains("CLOSING WINDOW"));
    QVERIFY(m_platform->alertPresenter.shown().isEmpty());
}

void SignInTest::secondLoginClickReusesTheWindow()
{
    QPointer<WindowNoTitleBar> first = openWindow();
    QPointer<FakeWebView> view = m_platform->lastWebView;
    view->loadPage(QUrl("http://127.0.0.1/connect/authorize?x=1"));
    LoginViewController login;
    login.loginAction();
    QCOMPARE(m_platform->lastWebView, view); // no second browser
    QCOMPARE(view->loads.size(), 2);
    QVERIFY(first->isOpen());
}

void SignInTest::signupAndDashboardOpenInBrowser()
{
    LoginViewController login;
    login.signupAction();
    login.openDashboard();
    QCOMPARE(m_platform->fakeWorkspace.opened.size(), 2);
    QCOMPARE(m_platform->fakeWorkspace.opened.at(0).path(), QStringLiteral("/sign-up"));
    QCOMPARE(m_platform->fakeWorkspace.opened.at(1), Config::current().dashboardHost);
}

QTEST_MAIN(SignInTest)
#include "tst_signin.moc"
