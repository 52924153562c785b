#pragma once

#include "App/NotificationCenter.h"
#include "Utils/NotificationHandler.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <memory>

class ClipboardMonitor;
class PopoversManager;
class TokenVault;

// The entry point of the program: runs the start-up sequence, then stays as the receiver of
// the tray icon's click, of two internal notifications and of URLs opened with our scheme.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    void applicationOpenUrls(const QList<QUrl> &urls);

    void togglePopover();
    void setInitialPreferences();
    void handleNotificationLinkCreated(const Notification &notification);
    // A command line handed over by a second start: "--rebrand TEXT" rebrands TEXT,
    // "--pause[=MINUTES]" and "--resume" pause and resume watching, a plain start opens the
    // popover.
    void handleCommandLine(const QStringList &arguments);

    [[nodiscard]] PopoversManager *popoversManager() const { return m_popoversManager.get(); }
    [[nodiscard]] ClipboardMonitor *clipboardMonitor() const { return m_clipboardMonitor.get(); }

private:
    // The start-up sequence, one step each, in order.
    void emptyUrlResponseCache();
    void registerStandardDefaults();
    void startCrashReporter();
    void logEnvironment();
    void startTokenVault();
    void startClipboardMonitor();
    void createPopoversManager();
    // The tray icon and its tooltip tell whether watching is paused, and until when.
    void showWatchingState();
    void becomeUserNotificationDelegate();
    // What a notification click may open.
    [[nodiscard]] NotificationHandler::Routes notificationRoutes();
    void observeNotifications();
    void registerLoginItem();
    void installServicesProvider();
    void logInternetStatus();
    void updaterWakeUpCheck();
    void launchAtLoginNote();
    void startUpdateCheck();
    // Once, at the first start while signed out: the sign-in popover, or without a tray a
    // notification that says where the program is.
    void firstStartHint();

    // Kept for the life of the program; its ticks run on their own thread.
    std::unique_ptr<TokenVault> m_tokenVault;
    std::unique_ptr<ClipboardMonitor> m_clipboardMonitor;
    // Owns the tray icon and the five popovers.
    std::unique_ptr<PopoversManager> m_popoversManager;
    // Fires when a pause may have ended.
    QTimer m_pauseEnd;
};
