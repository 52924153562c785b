#include "Platform/linux/LinuxPlatform.h"

#include "App/Costants.h"
#include "Platform/linux/ClipboardPasteboard.h"
#include "Platform/linux/DBusServicesProvider.h"
#include "Platform/linux/DesktopWorkspace.h"
#include "Platform/linux/FileSaveDialog.h"
#include "Platform/linux/FreedesktopNotificationCenter.h"
#include "Platform/linux/LinuxBundleInfo.h"
#include "Platform/linux/MessageBoxAlertPresenter.h"
#include "Platform/linux/ProcessWebView.h"
#include "Platform/linux/SecretServiceKeyring.h"
#include "Platform/linux/TrayStatusItem.h"
#include "Platform/linux/XdgAutostartLoginItems.h"

#include <QDir>
#include <QStandardPaths>

LinuxPlatform::LinuxPlatform()
    : m_alerts(std::make_unique<MessageBoxAlertPresenter>())
    , m_bundle(std::make_unique<LinuxBundleInfo>())
    , m_workspace(std::make_unique<DesktopWorkspace>())
    // The launcher of this very install, wherever it was installed or moved to.
    , m_loginItems(std::make_unique<XdgAutostartLoginItems>(
          m_bundle->bundlePath() + QLatin1Char('/') + Costants::Launcher::bundleRelativePath +
          QStringLiteral("/bin/quorvella-launcher")))
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
    std::call_once(m_pasteboardOnce,
                   [this] { m_pasteboard = std::make_unique<ClipboardPasteboard>(); });
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

void LinuxPlatform::emptyUrlResponseCache()
{
    // The program's HTTP cache folder (favicons, avatars); nothing else is cached on disk.
    QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
         QStringLiteral("/Quorvella/network"))
        .removeRecursively();
}
