#pragma once

#include "Platform/Platform.h"
#include "Platform/linux/ClipboardPathChoice.h"

#include <memory>
#include <mutex>

class FreedesktopNotificationCenter;
class LinuxBundleInfo;
class SecretServiceKeyring;
class XdgAutostartLoginItems;
class MessageBoxAlertPresenter;
class DesktopWorkspace;
class DBusServicesProvider;
class PortalColorScheme;

// The desktop facilities of a Linux session: tray, message boxes, XDG folders.
class LinuxPlatform : public Platform
{
public:
    explicit LinuxPlatform(ClipboardChoice clipboard = {});
    ~LinuxPlatform() override;

    [[nodiscard]] std::unique_ptr<StatusItem> createStatusItem() override;
    [[nodiscard]] std::unique_ptr<WebView> createWebView() override;
    [[nodiscard]] AlertPresenter &alerts() override;
    [[nodiscard]] std::unique_ptr<SaveDialog> createSaveDialog() override;
    [[nodiscard]] const BundleInfo &bundle() const override;
    // Made on first use; the first use must come from the GUI thread (start-up does that).
    [[nodiscard]] Pasteboard &pasteboard() override;
    [[nodiscard]] Workspace &workspace() override;
    [[nodiscard]] UserNotificationCenter &userNotificationCenter() override;
    [[nodiscard]] ServicesProvider &servicesProvider() override;
    [[nodiscard]] LoginItems &loginItems() override;
    [[nodiscard]] Keyring &keyring() override;
    [[nodiscard]] ColorSchemeSource &colorScheme() override;
    void emptyUrlResponseCache() override;

    // Looks at the desktop before Qt starts and picks how to see the clipboard; where
    // XWayland must serve, points Qt at xcb. Call before the application object exists.
    [[nodiscard]] static ClipboardChoice chooseClipboard();
    // Where no copy can be seen: says so once, in the log and as a notification, with what
    // still works. On the GUI thread, once the program runs.
    void tellWhenCopiesAreUnseen();

private:
    const ClipboardChoice m_clipboard;
    std::unique_ptr<MessageBoxAlertPresenter> m_alerts;
    std::unique_ptr<LinuxBundleInfo> m_bundle;
    std::unique_ptr<DesktopWorkspace> m_workspace;
    std::unique_ptr<XdgAutostartLoginItems> m_loginItems;
    std::once_flag m_pasteboardOnce;
    std::unique_ptr<Pasteboard> m_pasteboard;
    std::once_flag m_notificationsOnce;
    std::unique_ptr<FreedesktopNotificationCenter> m_notifications;
    std::once_flag m_keyringOnce;
    std::unique_ptr<SecretServiceKeyring> m_keyring;
    std::once_flag m_servicesOnce;
    std::unique_ptr<DBusServicesProvider> m_services;
    std::once_flag m_colorSchemeOnce;
    std::unique_ptr<PortalColorScheme> m_colorScheme;
};
