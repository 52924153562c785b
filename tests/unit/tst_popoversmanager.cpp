#include "App/Costants.h"
#include "App/EventMonitor.h"
#include "App/MenuManager.h"
#include "App/NotificationCenter.h"
#include "App/PopoversManager.h"
#include "App/SettingsStore.h"
#include "App/ViewControllerFactory.h"
#include "Controllers/ControllerRegistry.h"
#include "Controllers/MainViewController.h"
#include "Controllers/PlaceholderViewController.h"
#include "HttpSink.h"
#include "LogCapture.h"
#include "Platform/testing/FakePlatform.h"
#include "Services/ApiManager.h"
#include "Services/AuthenticationManager.h"
#include "Services/ReachabilitySource.h"
#include "TestEnvironment.h"
#include "Views/Popover.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QTest>

using namespace Costants;

namespace {

// Reachability that the test decides.
class ScriptedReachability : public ReachabilitySource
{
public:
    void start() override {}
    void report(bool reachable) { emit reported(reachable); }
};

void storeToken(const QDateTime &expiresAt)
{
    SettingsStore &store = SettingsStore::shared();
    store.setString(Preferences::accessToken, QStringLiteral("access-1"));
    store.setString(Preferences::tokenType, QStringLiteral("Bearer"));
    store.setDate(Preferences::expiresAt, expiresAt);
    store.setString(Preferences::refreshToken, QStringLiteral("refresh-1"));
    store.synchronize();
}

enum class Shown { Nothing, Links, Login, NoInternet, NewLink, EditLink };

} // namespace

Q_DECLARE_METATYPE(Shown)

class PopoversManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void offlineShowsNoConnectionThenReachableShowsList();
    void clickWhileFormShownShowsList_data();
    void clickWhileFormShownShowsList();
    void clickWhileListShownClosesIt();
    void expiredTokenRefreshesThenShowsList();
    void signedOutShowsLogin();
    void closePopoverLeavesEditFormOpen();
    void editFormDeclineEndsWithFreshEditForm();
    void outsideClickClosesShown_data();
    void outsideClickClosesShown();
    void trayClickThatClosedByFocusDoesNotReopen();
    void menuItemsFollowSignInState_data();
    void menuItemsFollowSignInState();
    void signOutRemovesExactlyItsKeys();
    void accountLoadedStoresTheUser_data();
    void accountLoadedStoresTheUser();
    void missingControllerMessage();
    void placementFollowsTheTray_data();
    void placementFollowsTheTray();

private:
    [[nodiscard]] Shown shown() const;
    void goOnline(bool online);

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<HttpSink> m_service;
    std::unique_ptr<QNetworkAccessManager> m_network;
    ScriptedReachability *m_reachability = nullptr;
    std::unique_ptr<ApiManager> m_api;
    std::unique_ptr<AuthenticationManager> m_authentication;
    std::unique_ptr<PopoversManager> m_manager;
};

void PopoversManagerTest::initTestCase()
{
    ControllerRegistry::registerAll();
}

void PopoversManagerTest::init()
{
    m_environment = std::make_unique<TestEnvironment>();
    FakePlatform::installNew();
    m_service = std::make_unique<HttpSink>();
    Config config = Config::productionDefaults().routedTo(m_service->origin());
    config.crashReportingDsn.clear();
    Config::install(config);
    m_network = std::make_unique<QNetworkAccessManager>();
    auto reachability = std::make_unique<ScriptedReachability>();
    m_reachability = reachability.get();
    m_api = std::make_unique<ApiManager>(m_network.get(), config, std::move(reachability));
    m_authentication = std::make_unique<AuthenticationManager>(m_network.get(), *m_api);
    m_manager = std::make_unique<PopoversManager>(std::make_unique<FakeStatusItem>(), m_api.get(),
                                                  m_authentication.get());
    goOnline(true);
}

void PopoversManagerTest::cleanup()
{
    m_manager.reset();
    m_authentication.reset();
    m_api.reset();
    m_network.reset();
    m_service.reset();
    m_environment.reset();
}

void PopoversManagerTest::goOnline(bool online)
{
    m_reachability->report(online);
    QCOMPARE(m_api->internetStatus(),
             online ? InternetStatus::reachable : InternetStatus::notReachable);
}

Shown PopoversManagerTest::shown() const
{
    QList<Shown> open;
    if (m_manager->popoverLinks()->isShown())
        open.append(Shown::Links);
    if (m_manager->popoverLogin()->isShown())
        open.append(Shown::Login);
    if (m_manager->popoverNoInternet()->isShown())
        open.append(Shown::NoInternet);
    if (m_manager->popoverNewLink()->isShown())
        open.append(Shown::NewLink);
    if (m_manager->popoverEditLink()->isShown())
        open.append(Shown::EditLink);
    if (open.size() > 1)
        return Shown(-1); // two at once is never right for these paths
    return open.isEmpty() ? Shown::Nothing : open.first();
}

void PopoversManagerTest::offlineShowsNoConnectionThenReachableShowsList()
{
    storeToken(QDateTime::currentDateTimeUtc().addSecs(3600));
    goOnline(false);
    m_manager->toggle();
    QCOMPARE(shown(), Shown::NoInternet);
    QVERIFY(m_manager->eventMonitor()->isRunning());
    goOnline(true); // posts "qv-change-internet-reachability"
    QCOMPARE(shown(), Shown::Links);
}

void PopoversManagerTest::clickWhileFormShownShowsList_data()
{
    QTest::addColumn<QString>("notification");
    QTest::addColumn<Shown>("form");
    QTest::newRow("new link form") << NotificationViews::newLinkPopover << Shown::NewLink;
    QTest::newRow("new link form, external")
        << NotificationViews::newLinkPopoverExternal << Shown::NewLink;
    QTest::newRow("edit link form") << NotificationViews::newsEditLinkPopover << Shown::EditLink;
}

void PopoversManagerTest::clickWhileFormShownShowsList()
{
    QFETCH(QString, notification);
    QFETCH(Shown, form);
    storeToken(QDateTime::currentDateTimeUtc().addSecs(3600));
    NotificationCenter::shared().post(notification);
    QCOMPARE(shown(), form);
    m_manager->toggle();
    QCOMPARE(shown(), Shown::Links);
}

void PopoversManagerTest::clickWhileListShownClosesIt()
{
    storeToken(QDateTime::currentDateTimeUtc().addSecs(3600));
    m_manager->toggle();
    QCOMPARE(shown(), Shown::Links);
    m_manager->toggle();
    QCOMPARE(shown(), Shown::Nothing);
    QVERIFY(!m_manager->eventMonitor()->isRunning());
}

void PopoversManagerTest::expiredTokenRefreshesThenShowsList()
{
    storeToken(QDateTime::currentDateTimeUtc().addSecs(-60));
    m_service->setResponse("/connect/token",
                           {200,
                            "application/json",
                            R"({"access_token":"access-2","token_type":"Bearer","expires_in":3600,
                               "refresh_token":"refresh-2"})",
                            {}});
    m_manager->toggle();
    QCOMPARE(shown(), Shown::Nothing); // the refresh runs; nothing is shown meanwhile
    QTRY_VERIFY(!m_service->requests().isEmpty());
    QCOMPARE(m_service->requests().first().path, QByteArray("/connect/token"));
    // Its success posts "qv-toggle-popover-open", which routes to the list.
    QTRY_COMPARE(shown(), Shown::Links);
    QCOMPARE(SettingsStore::shared().stringForKey(Preferences::accessToken),
             QStringLiteral("access-2"));
}

void PopoversManagerTest::signedOutShowsLogin()
{
    m_manager->toggle();
    QCOMPARE(shown(), Shown::Login);
    QVERIFY(m_service->requests().isEmpty()); // no token: nothing to refresh
}

void PopoversManagerTest::closePopoverLeavesEditFormOpen()
{
    storeToken(QDateTime::currentDateTimeUtc().addSecs(3600));
    NotificationCenter::shared().post(NotificationViews::newsEditLinkPopover);
    QCOMPARE(shown(), Shown::EditLink);
    NotificationCenter::shared().post(NotificationViews::closePopover);
    QCOMPARE(shown(), Shown::EditLink);
}

void PopoversManagerTest::editFormDeclineEndsWithFreshEditForm()
{
    storeToken(QDateTime::currentDateTimeUtc().addSecs(3600));
    NotificationCenter &center = NotificationCenter::shared();
    center.post(NotificationViews::newsEditLinkPopover);
    QPointer<QObject> firstForm = m_manager->popoverEditLink()->contentViewController();
    QVERIFY(firstForm);
    // The form closes itself before its confirmation question, then the user declines.
    center.post(NotificationViews::editLinkPopover);
    QCOMPARE(shown(), Shown::Nothing);
    center.post(NotificationViews::togglePopover);
    QCOMPARE(shown(), Shown::Links);
    center.post(NotificationViews::closeEditLinkPopover);
    QVERIFY(m_manager->popoverLinks()->isShown());
    QVERIFY(m_manager->popoverEditLink()->isShown());
    QVERIFY(m_manager->popoverEditLink()->contentViewController() != nullptr);
    QVERIFY(firstForm.isNull()); // a fresh form, not the declined one
}

void PopoversManagerTest::outsideClickClosesShown_data()
{
    QTest::addColumn<QString>("notification");
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<bool>("online");
    QTest::addColumn<Shown>("before");
    QTest::newRow("link list") << QString() << true << true << Shown::Links;
    QTest::newRow("sign-in") << QString() << false << true << Shown::Login;
    QTest::newRow("no connection") << QString() << true << false << Shown::NoInternet;
    QTest::newRow("new link form")
        << NotificationViews::newLinkPopover << true << true << Shown::NewLink;
    QTest::newRow("edit link form")
        << NotificationViews::newsEditLinkPopover << true << true << Shown::EditLink;
}

void PopoversManagerTest::outsideClickClosesShown()
{
    QFETCH(QString, notification);
    QFETCH(bool, signedIn);
    QFETCH(bool, online);
    QFETCH(Shown, before);
    if (signedIn)
        storeToken(QDateTime::currentDateTimeUtc().addSecs(3600));
    goOnline(online);
    if (notification.isEmpty())
        m_manager->toggle();
    else
        NotificationCenter::shared().post(notification);
    QCOMPARE(shown(), before);
    m_manager->eventMonitor()->handleOutsideClick();
    QCOMPARE(shown(), Shown::Nothing);
    QVERIFY(!m_manager->eventMonitor()->isRunning());
}

void PopoversManagerTest::trayClickThatClosedByFocusDoesNotReopen()
{
    storeToken(QDateTime::currentDateTimeUtc().addSecs(3600));
    m_manager->toggleFromStatusItem();
    QCOMPARE(shown(), Shown::Links);
    // Clicking the tray moves the focus to the tray host first...
    m_manager->eventMonitor()->handleOutsideClick();
    // ...then the tray reports the click that was meant to close the list.
    m_manager->toggleFromStatusItem();
    QCOMPARE(shown(), Shown::Nothing);
    QTest::qWait(600);
    m_manager->toggleFromStatusItem();
    QCOMPARE(shown(), Shown::Links);
}

void PopoversManagerTest::menuItemsFollowSignInState_data()
{
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("signed out") << false
                                << QStringList{"About Quorvella", "Feedback",          "Pricing",
                                               "Service status",  "Check for updates", "",
                                               "Quit Quorvella"};
    QTest::newRow("signed in") << true
                               << QStringList{"Preferences...",    "",        "About Quorvella",
                                              "Feedback",          "Pricing", "Service status",
                                              "Check for updates", "",        "Sign out",
                                              "Quit Quorvella"};
}

void PopoversManagerTest::menuItemsFollowSignInState()
{
    QFETCH(bool, signedIn);
    QFETCH(QStringList, titles);
    QStringList actual;
    for (const MenuManager::Item &item : MenuManager::items(signedIn))
        actual.append(item.title);
    QCOMPARE(actual, titles);
}

void PopoversManagerTest::signOutRemovesExactlyItsKeys()
{
    storeToken(QDateTime::currentDateTimeUtc().addSecs(3600));
    SettingsStore &store = SettingsStore::shared();
    const QStringList removed = {"qv-last-branded-link-stored",
                                 "destinationURL",
                                 "lastChange",
                                 "workspaceObjectMainView",
                                 "workspaceObjectAutoReplace",
                                 "domainObjectAutoReplace",
                                 "fullName",
                                 "email",
                                 "access_token",
                                 "token_type",
                                 "expires_at",
                                 "expires_in",
                                 "refresh_token",
                                 "domainNames",
                                 "workspaceIdsListToCheckDomains",
                                 "workspaceIdsListCheckedDomains",
                                 "qv-preferences-dont-ask-launch-login",
                                 "qv-preference-user-id"};
    const QStringList kept = {"qv-app-default-set", "qv-option-active", "qv-preferences-startup",
                              "qv-account-workspace-pairs", "qv-preference-edit-link-id"};
    for (const QString &key : removed + kept) {
        if (!store.contains(key))
            store.setString(key, QStringLiteral("value of ") + key);
    }
    QStringList posted;
    QObject recorder;
    for (const QString &name : {NotificationViews::closePopover, NotificationViews::resetDefault,
                                NotificationViews::logout})
        NotificationCenter::shared().addObserver(
            &recorder, name, [&posted](const Notification &n) { posted << n.name; });
    m_manager->toggle();
    QCOMPARE(shown(), Shown::Links);

    PlaceholderViewController view(QStringLiteral("t"), QStringLiteral("m"));
    LogCapture log;
    view.signOut();
    QVERIFY(log.contains("signout"));
    SettingsStore reopened(SettingsStore::sharedFilePath());
    for (const QString &key : removed)
        QVERIFY2(!reopened.contains(key), qPrintable(key));
    for (const QString &key : kept)
        QVERIFY2(reopened.contains(key), qPrintable(key));
    QCOMPARE(posted, (QStringList{"qv-close-popover", "qv-reset-default", "qv-logout"}));
    QCOMPARE(shown(), Shown::Nothing);
    QVERIFY(!m_manager->popoverLinks()->contentViewController()); // dropped by "qv-logout"
    m_manager->toggle();
    QCOMPARE(shown(), Shown::Login);
}

void PopoversManagerTest::accountLoadedStoresTheUser_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("userId");
    QTest::newRow("account with id")
        << QByteArray(R"({"id":"acc-1","fullName":"Dana"})") << "acc-1";
    QTest::newRow("no id") << QByteArray(R"({"fullName":"Dana"})") << "";
    QTest::newRow("id of another kind") << QByteArray(R"({"id":7})") << "";
    QTest::newRow("no answer") << QByteArray() << "";
}

void PopoversManagerTest::accountLoadedStoresTheUser()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, userId);
    MainViewController list;
    LogCapture log;
    list.accountLoaded(answer.isEmpty() ? std::nullopt
                                        : std::optional(QJsonDocument::fromJson(answer).object()));
    const std::optional<QString> stored =
        SettingsStore(SettingsStore::sharedFilePath()).stringForKey(Preferences::userId);
    QCOMPARE(stored.value_or(QString()), userId);
    QCOMPARE(log.contains("setting userid"), !userId.isEmpty());
}

void PopoversManagerTest::missingControllerMessage()
{
    QCOMPARE(ViewControllerFactory::missingMessage("MainViewController"),
             QStringLiteral("Why cant i find MainViewController? - Check Main.storyboard"));
    QVERIFY(!ViewControllerFactory::tryInstantiate("NoSuchController"));
    for (const char *identifier :
         {"MainViewController", "LoginViewController", "NoInternetViewController",
          "NewLink2Controller", "EditLinkController", "OauthViewController"})
        QVERIFY2(ViewControllerFactory::tryInstantiate(QLatin1String(identifier)), identifier);
}

void PopoversManagerTest::placementFollowsTheTray_data()
{
    QTest::addColumn<QRect>("anchor");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QPoint>("expected");
    const QRect screen(0, 0, 1280, 800);
    Q_UNUSED(screen)
    QTest::newRow("tray at the top right") << QRect(1200, 0, 24, 24) << QPoint() << QPoint(953, 29);
    QTest::newRow("tray at the bottom opens upwards")
        << QRect(600, 776, 24, 24) << QPoint() << QPoint(451, 470);
    QTest::newRow("no geometry: the pointer") << QRect() << QPoint(100, 10) << QPoint(6, 16);
}

void PopoversManagerTest::placementFollowsTheTray()
{
    QFETCH(QRect, anchor);
    QFETCH(QPoint, pointer);
    QFETCH(QPoint, expected);
    QCOMPARE(Popover::placement(QSize(320, 300), anchor, Popover::Edge::Lower,
                                QRect(0, 0, 1280, 800), pointer),
             expected);
}

QTEST_MAIN(PopoversManagerTest)
#include "tst_popoversmanager.moc"
