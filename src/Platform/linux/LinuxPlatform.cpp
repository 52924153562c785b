#include "Platform/linux/LinuxPlatform.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "Platform/UserNotificationCenter.h"
#include "Platform/linux/ClipboardPasteboard.h"
#include "Platform/linux/DBusServicesProvider.h"
#include "Platform/linux/DesktopWorkspace.h"
#include "Platform/linux/FileSaveDialog.h"
#include "Platform/linux/FreedesktopNotificationCenter.h"
#include "Platform/linux/LinuxBundleInfo.h"
#include "Platform/linux/MessageBoxAlertPresenter.h"
#include "Platform/linux/PortalColorScheme.h"
#include "Platform/linux/ProcessWebView.h"
#include "Platform/linux/SecretServiceKeyring.h"
#include "Platform/linux/TrayStatusItem.h"
#include "Platform/linux/XdgAutostartLoginItems.h"
#if QUORVELLA_WAYLAND_CLIPBOARD
#include "Platform/linux/DataControlConnection.h"
#include "Platform/linux/DataControlPasteboard.h"
#endif

#include <QDir>
#include <QStandardPaths>

LinuxPlatform::LinuxPlatform(ClipboardChoice clipboard)
    : m_clipboard(clipboard)
    , m_alerts(std::make_unique<MessageBoxAlertPresenter>())
    , m_bundle(std::make_unique<LinuxBundleInfo>())
    , m_workspace(std::make_unique<DesktopWorkspace>())
    // The launcher of this very install, wherever it was installed or moved to; a copy
    // without one (a build tree) leaves the entry of the installed copy as it is.
    , m_loginItems(std::make_unique<XdgAutostartLoginItems>(QDir::cleanPath(
          m_bundle->bundlePath() + QLatin1Char('/') + Costants::Launcher::bundleRelativePath +
          QStringLiteral("/bin/quorvella-launcher"))))
{}

LinuxPlatform::~LinuxPlatform() = default;

std::unique_ptr<StatusItem> LinuxPlatform::createStatusItem()
{
    return std::make_unique<TrayStatusItem>();
}

std::unique_ptr<WebView> LinuxPlatform::createWebView()
{
    return std::make_unique<ProcessWebView>();
}

AlertPresenter &LinuxPlatform::alerts()
{
    return *m_alerts;
}

std::unique_ptr<SaveDialog> LinuxPlatform::createSaveDialog()
{
    return std::make_unique<FileSaveDialog>();
}

const BundleInfo &LinuxPlatform::bundle() const
{
    return *m_bundle;
}

Pasteboard &LinuxPlatform::pasteboard()
{
    std::call_once(m_pasteboardOnce, [this] {
#if QUORVELLA_WAYLAND_CLIPBOARD
        if (m_clipboard.path == ClipboardPath::DataControl) {
            m_pasteboard = std::make_unique<DataControlPasteboard>(m_clipboard.useExtManager);
            return;
        }
#endif
        m_pasteboard = std::make_unique<ClipboardPasteboard>();
    });
    return *m_pasteboard;
}

LoginItems &LinuxPlatform::loginItems()
{
    return *m_loginItems;
}

Workspace &LinuxPlatform::workspace()
{
    return *m_workspace;
}

UserNotificationCenter &LinuxPlatform::userNotificationCenter()
{
    std::call_once(m_notificationsOnce,
                   [this] { m_notifications = std::make_unique<FreedesktopNotificationCenter>(); });
    return *m_notifications;
}

Keyring &LinuxPlatform::keyring()
{
    std::call_once(m_keyringOnce, [this] { m_keyring = std::make_unique<SecretServiceKeyring>(); });
    return *m_keyring;
}

ServicesProvider &LinuxPlatform::servicesProvider()
{
    std::call_once(m_servicesOnce,
                   [this] { m_services = std::make_unique<DBusServicesProvider>(); });
    return *m_services;
}

ColorSchemeSource &LinuxPlatform::colorScheme()
{
    std::call_once(m_colorSchemeOnce,
                   [this] { m_colorScheme = std::make_unique<PortalColorScheme>(); });
    return *m_colorScheme;
}

void LinuxPlatform::emptyUrlResponseCache()
{
    // The program's HTTP cache folder (favicons, avatars); nothing else is cached on disk.
    QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
         QStringLiteral("/Quorvella/network"))
        .removeRecursively();
}

ClipboardChoice LinuxPlatform::chooseClipboard()
{
    DesktopFacts facts;
    facts.waylandDisplay = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    facts.xDisplay = !qEnvironmentVariableIsEmpty("DISPLAY");
    facts.userQtPlatform = qEnvironmentVariable("QT_QPA_PLATFORM");
#if QUORVELLA_WAYLAND_CLIPBOARD
    if (facts.waylandDisplay) {
        const std::optional<DataControlGlobals> globals = DataControlConnection::probe(2000);
        facts.extDataControl = globals && globals->ext;
        facts.wlrDataControl = globals && globals->wlr;
    }
#else
    facts.waylandSupportBuilt = false;
#endif
    const ClipboardChoice choice = chooseClipboardPath(facts);
    if (choice.forceXcb)
        qputenv("QT_QPA_PLATFORM", "xcb");
    return choice;
}

void LinuxPlatform::tellWhenCopiesAreUnseen()
{
    if (m_clipboard.path != ClipboardPath::None)
        return;
    UserNotification notification;
    notification.identifier = QStringLiteral("qv-copies-unseen");
    notification.title = QStringLiteral("Quorvella cannot see your copies here");
    notification.informativeText =
        QStringLiteral("This desktop does not let Quorvella see what you copy. Rebranding "
                       "with \"quorvella --rebrand TEXT\" and the new-link form still work.");
    Logger::shared().log(
        {notification.title + QStringLiteral(": ") + notification.informativeText});
    userNotificationCenter().deliver(notification);
}
