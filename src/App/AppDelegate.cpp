#include "App/AppDelegate.h"

#include "App/Clock.h"
#include "App/CommandLine.h"
#include "App/Costants.h"
#include "App/CrashReporter.h"
#include "App/Logger.h"
#include "App/PopoversManager.h"
#include "App/SettingsStore.h"
#include "App/StatusItemImage.h"
#include "Platform/AlertPresenter.h"
#include "Platform/BundleInfo.h"
#include "Platform/ColorSchemeSource.h"
#include "Platform/LoginItems.h"
#include "Platform/Pasteboard.h"
#include "Platform/Platform.h"
#include "Platform/ServicesProvider.h"
#include "Platform/StatusItem.h"
#include "Platform/UserNotificationCenter.h"
#include "Services/ApiManager.h"
#include "Services/AuthenticationManager.h"
#include "Services/Config.h"
#include "Services/TokenManager.h"
#include "Services/TokenVault.h"
#include "Update/Checker.h"
#include "Update/HealthMark.h"
#include "Update/UtilsUpdater.h"
#include "Update/VersionHelper.h"
#include "Utils/ClipboardMonitor.h"
#include "Utils/ContextualMenu.h"
#include "Utils/DefaultHelper.h"
#include "Utils/WatchPause.h"

#include <algorithm>

using namespace Costants;

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
{
    m_pauseEnd.setSingleShot(true);
    connect(&m_pauseEnd, &QTimer::timeout, this, &AppDelegate::showWatchingState);
}

AppDelegate::~AppDelegate()
{
    NotificationCenter::shared().removeObserver(this);
}

void AppDelegate::applicationDidFinishLaunching()
{
    emptyUrlResponseCache();
    registerStandardDefaults();
    startCrashReporter();
    logEnvironment();
    startTokenVault();
    startClipboardMonitor();
    createPopoversManager();
    becomeUserNotificationDelegate();
    setInitialPreferences();
    observeNotifications();
    registerLoginItem();
    installServicesProvider();
    logInternetStatus();
    // An updater waiting on a new version learns from this that it runs: armed before the
    // greeting, which waits for the user.
    HealthMark::writeLater(this);
    updaterWakeUpCheck();
    launchAtLoginNote();
    startUpdateCheck();
    firstStartHint();
}

void AppDelegate::applicationWillTerminate()
{
    // Nothing is saved at termination: every state already lives in the settings store.
}

void AppDelegate::applicationOpenUrls(const QList<QUrl> &urls)
{
    Q_UNUSED(urls)
    logLines({QStringLiteral("redirect deep link")});
}

void AppDelegate::emptyUrlResponseCache()
{
    Platform::current().emptyUrlResponseCache();
}

void AppDelegate::registerStandardDefaults()
{
    SettingsStore::standard().registerDefaults({{Preferences::crashOnExceptions, true}});
}

void AppDelegate::startCrashReporter()
{
    QString error;
    std::unique_ptr<CrashReporter> client =
        CrashReporter::create(Config::current().crashReportingDsn, &error);
    if (!client) {
        logLines({QStringLiteral("Sentry can't be started"), error});
        return;
    }
    CrashReporter *reporter = client.get();
    CrashReporter::setShared(std::move(client));
    reporter->setTrackMemoryPressureAsEvent(true);
    if (!reporter->startCrashHandler(&error)) {
        logLines({QStringLiteral("Sentry can't be started"), error});
        return;
    }
    if (const std::optional<QString> userId =
            SettingsStore::shared().stringForKey(Preferences::userId))
        reporter->setUser(*userId);
}

void AppDelegate::logEnvironment()
{
    logLines({QStringLiteral("RUNNING ON PRODUCTION")});
}

void AppDelegate::startTokenVault()
{
    // Before anything reads a token: until the keyring answers, the store serves as before.
    m_tokenVault = std::make_unique<TokenVault>(Platform::current().keyring());
    TokenVault::install(m_tokenVault.get());
    m_tokenVault->start();
}

void AppDelegate::startClipboardMonitor()
{
    // The clipboard's snapshot is made here, on the GUI thread, before the first tick asks.
    [[maybe_unused]] Pasteboard &pasteboard = Platform::current().pasteboard();
    if (!m_clipboardMonitor)
        m_clipboardMonitor = std::make_unique<ClipboardMonitor>();
    m_clipboardMonitor->start();
}

void AppDelegate::createPopoversManager()
{
    if (m_popoversManager)
        return;
    m_popoversManager = std::make_unique<PopoversManager>(Platform::current().createStatusItem());
    StatusItem *item = m_popoversManager->statusItem();
    showWatchingState();
    // A panel turned dark (or light) gets the other variant of the icon.
    connect(&Platform::current().colorScheme(), &ColorSchemeSource::changed, this,
            &AppDelegate::showWatchingState);
    connect(item, &StatusItem::activated, this, &AppDelegate::togglePopover);
    item->show();
}

void AppDelegate::showWatchingState()
{
    if (!m_popoversManager)
        return;
    const std::optional<QDateTime> pausedUntil = WatchPause::pausedUntil();
    StatusItem *item = m_popoversManager->statusItem();
    const TrayIconVariant::ColorScheme scheme = Platform::current().colorScheme().preference();
    item->setImage(pausedUntil ? StatusItemImage::paused(scheme) : StatusItemImage::logo(scheme));
    item->setToolTip(WatchPause::toolTip());
    if (!pausedUntil) {
        m_pauseEnd.stop();
        return;
    }
    // Looked at again at the end, and at least each minute: a machine that slept through
    // the end must not stay paused-looking.
    const qint64 left = Clock::current().now().msecsTo(*pausedUntil);
    m_pauseEnd.start(int(std::clamp<qint64>(left, 1, 60 * 1000)));
}

void AppDelegate::togglePopover()
{
    if (m_popoversManager)
        m_popoversManager->toggleFromStatusItem();
}

void AppDelegate::becomeUserNotificationDelegate()
{
    // Our notifications are always shown: the desktop has no "application in front" filter.
    UserNotificationCenter &center = Platform::current().userNotificationCenter();
    connect(&center, &UserNotificationCenter::didActivate, this,
            [this](const UserNotification &notification) {
                if (notification.identifier == LocalNotification::firstStartIdentifier &&
                    m_popoversManager) {
                    // It asked the user to sign in; signed in since, the list.
                    if (TokenManager::load())
                        m_popoversManager->openFitting();
                    else
                        m_popoversManager->showPopoverLogin();
                }
                NotificationHandler::didActivate(notification, notificationRoutes());
            });
    connect(&center, &UserNotificationCenter::didDismiss, this,
            [](const UserNotification &notification) {
                NotificationHandler::didDismiss(notification);
            });
    ApiManager::setErrorNotifier([] { NotificationHandler::showErrorNotification(); });
}

NotificationHandler::Routes AppDelegate::notificationRoutes()
{
    NotificationHandler::Routes routes;
    routes.openEditLink = [this] {
        if (m_popoversManager)
            m_popoversManager->showPopoverEditLink();
    };
    routes.openNewLinkExternal = [this] {
        if (m_popoversManager)
            m_popoversManager->showPopoverNewLinkExternal();
    };
    routes.openMain = [this] {
        if (m_popoversManager)
            m_popoversManager->showPopoverLinks();
    };
    return routes;
}

void AppDelegate::setInitialPreferences()
{
    SettingsStore &store = SettingsStore::shared();
    if (!store.boolForKey(Preferences::appDefaultSet)) {
        logLines({QStringLiteral("setting default")});
        store.setBool(Preferences::startup, true);
        store.setBool(Preferences::contextualMenu, true);
        store.setBool(Preferences::automaticCopy, true);
        store.setBool(Preferences::skipDuplicateCheck, true);
        store.setString(Preferences::optionActive,
                        Preferences::OptionsRebrand::defaultRebrandOption);
        store.setBool(Preferences::appDefaultSet, true);
        store.setBool(Preferences::notificationBrandedLink, true);
        store.synchronize();
    }
    if (const std::optional<QString> rule = store.stringForKey(Preferences::optionActive))
        logLines({*rule});
    else
        logLines({QStringLiteral("no options active rebrand rule default")});
}

void AppDelegate::observeNotifications()
{
    NotificationCenter &center = NotificationCenter::shared();
    center.addObserver(this, NotificationViews::resetDefault,
                       [this](const Notification &) { setInitialPreferences(); });
    center.addObserver(this, NotificationViews::watchingPauseChanged,
                       [this](const Notification &) { showWatchingState(); });
    center.addObserver(
        this, NotificationViews::newLinkCreated,
        [this](const Notification &notification) { handleNotificationLinkCreated(notification); });
}

void AppDelegate::handleNotificationLinkCreated(const Notification &notification)
{
    Q_UNUSED(notification)
    logLines({QStringLiteral("NEW LINK CREATED")});
    // Next step to connect: the user-info goes on to the link pipeline.
}

void AppDelegate::registerLoginItem()
{
    // On every start, whatever the start-at-login choice says: the launcher reads that choice
    // at login. A failed registration changes nothing else.
    [[maybe_unused]] const bool registered =
        Platform::current().loginItems().setEnabled(Launcher::helperIdentifier, true);
}

void AppDelegate::installServicesProvider()
{
    const bool installed = Platform::current().servicesProvider().install(
        &ContextualMenu::rebrandText,
        [this](const QStringList &arguments) { handleCommandLine(arguments); });
    if (!installed)
        logLines({QStringLiteral("services entry not available: no session bus")});
}

void AppDelegate::handleCommandLine(const QStringList &arguments)
{
    const CommandLine line = CommandLine::parse(arguments);
    if (!line.error.isEmpty()) {
        logLines({QStringLiteral("command line refused: ") + line.error});
        return;
    }
    if (!line.openUrls.isEmpty())
        return applicationOpenUrls(line.openUrls);
    if (line.pauseMinutes)
        return WatchPause::pauseFor(*line.pauseMinutes);
    if (line.resume)
        return WatchPause::resume();
    if (!line.rebrandText)
        return togglePopover();
    if (const std::optional<QString> error = ContextualMenu::rebrandText(line.rebrandText))
        logLines({*error});
}

void AppDelegate::logInternetStatus()
{
    // Asking creates the API client, which starts watching reachability.
    logLines({internetStatusText(ApiManager::shared().internetStatus())});
    // After each sign-in the account's domains set the default domain, and a link copied
    // while signed out is offered.
    AuthenticationManager &authentication = AuthenticationManager::shared();
    authentication.setDomainsHandler(&DefaultHelper::accountDomainsFetched);
    authentication.setWorkspacesHandler(&DefaultHelper::accountWorkspacesFetched);
    authentication.setStoredDestinationHandler(&NotificationHandler::riseStoredDestinationURL);
}

void AppDelegate::updaterWakeUpCheck()
{
    SettingsStore &store = SettingsStore::shared();
    if (!store.boolForKey(Preferences::updaterUpdating))
        return;
    const QString announced =
        store.stringForKey(Preferences::updaterAnnouncedVersion).value_or(QString());
    store.remove(Preferences::updaterUpdating);
    store.remove(Preferences::updaterAnnouncedVersion);
    store.synchronize();
    logLines({QStringLiteral("awaken by UPDATER")});
    UtilsUpdater::removeIfExists(Platform::current().bundle().applicationsFolder() +
                                 Updater::updaterAppName);
    // The old version started again after a failed update says nothing, and the mandatory
    // flag stays.
    const QString running = VersionHelper::runningText();
    if (running != announced) {
        logLines({QStringLiteral("the update to ") + announced +
                  QStringLiteral(" did not happen; running ") + running});
        return;
    }
    store.setBool(Preferences::updateMandatoryRequested, false);
    store.synchronize();
    const Alert alert{Version::upToDateMessage,
                      Version::upToDateInformative,
                      Alert::Style::Warning,
                      {QStringLiteral("OK")}};
    [[maybe_unused]] const int answer = Platform::current().alerts().runModal(alert);
}

void AppDelegate::launchAtLoginNote()
{
    const SettingsStore &store = SettingsStore::shared();
    if (store.boolForKey(Preferences::dontAskLaunchLogin))
        logLines({QStringLiteral("don't ask again preference")});
    else if (store.boolForKey(Preferences::startup))
        logLines({QStringLiteral("already opening at login")});
}

void AppDelegate::startUpdateCheck()
{
    Checker::shared().dailyCheck();
}

void AppDelegate::firstStartHint()
{
    SettingsStore &store = SettingsStore::shared();
    if (store.boolForKey(Preferences::firstStartHintShown))
        return;
    // Also when signed in: a later sign-out is no first start.
    store.setBool(Preferences::firstStartHintShown, true);
    store.synchronize();
    if (TokenManager::load() || !m_popoversManager)
        return;
    logLines({QStringLiteral("first start, showing where Quorvella lives")});
    if (m_popoversManager->statusItem()->isVisible()) {
        m_popoversManager->showPopoverLogin();
        return;
    }
    UserNotification notification;
    notification.identifier = LocalNotification::firstStartIdentifier;
    notification.title = LocalNotification::firstStartTitle;
    notification.informativeText = LocalNotification::firstStartText;
    Platform::current().userNotificationCenter().deliver(notification);
}
