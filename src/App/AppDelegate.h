#pragma once

#include "App/NotificationCenter.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <memory>

class ClipboardMonitor;
class PopoversManager;

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

    [[nodiscard]] PopoversManager *popoversManager() const { return m_popoversManager.get(); }
    [[nodiscard]] ClipboardMonitor *clipboardMonitor() const { return m_clipboardMonitor.get(); }

private:
    // The start-up sequence, one step each, in order.
    void emptyUrlResponseCache();
    void registerStandardDefaults();
    void startCrashReporter();
    void logEnvironment();
    void startClipboardMonitor();
    void createPopoversManager();
    void becomeUserNotificationDelegate();
    void observeNotifications();
    void registerLoginItem();
    void installServicesProvider();
    void logInternetStatus();
    void updaterWakeUpCheck();
    void launchAtLoginNote();
    void startUpdateCheck();

    // Kept for the life of the program; its ticks run on their own thread.
    std::unique_ptr<ClipboardMonitor> m_clipboardMonitor;
    // Owns the tray icon and the five popovers.
    std::unique_ptr<PopoversManager> m_popoversManager;
};
