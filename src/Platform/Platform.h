#pragma once

#include <memory>

class AlertPresenter;
class BundleInfo;
class ColorSchemeSource;
class Keyring;
class LoginItems;
class Pasteboard;
class SaveDialog;
class ServicesProvider;
class StatusItem;
class UserNotificationCenter;
class WebView;
class Workspace;

// Everything the desktop provides, one facility per interface. The program installs the
// Linux implementation at start; tests install the doubles of Platform/testing.
class Platform
{
public:
    virtual ~Platform() = default;

    [[nodiscard]] static Platform &current();
    static void install(std::unique_ptr<Platform> platform);
    [[nodiscard]] static bool isInstalled();

    [[nodiscard]] virtual std::unique_ptr<StatusItem> createStatusItem() = 0;
    // A new sign-in browser window; it shows itself on its first load.
    [[nodiscard]] virtual std::unique_ptr<WebView> createWebView() = 0;
    [[nodiscard]] virtual AlertPresenter &alerts() = 0;
    // A new save panel; it opens when begun and never blocks.
    [[nodiscard]] virtual std::unique_ptr<SaveDialog> createSaveDialog() = 0;
    [[nodiscard]] virtual const BundleInfo &bundle() const = 0;
    // The system clipboard, usable from any thread.
    [[nodiscard]] virtual Pasteboard &pasteboard() = 0;
    // The default browser and mail program.
    [[nodiscard]] virtual Workspace &workspace() = 0;
    // The desktop notification service; made on first use, which must be on the GUI thread.
    [[nodiscard]] virtual UserNotificationCenter &userNotificationCenter() = 0;
    // The services call and the single-instance name.
    [[nodiscard]] virtual ServicesProvider &servicesProvider() = 0;
    // The programs started at login (the launcher's entry).
    [[nodiscard]] virtual LoginItems &loginItems() = 0;
    // The desktop's keeper of secrets; made on first use, which must be on the GUI thread.
    [[nodiscard]] virtual Keyring &keyring() = 0;
    // The desktop's light or dark preference and its changes; made on first use, which must
    // be on the GUI thread.
    [[nodiscard]] virtual ColorSchemeSource &colorScheme() = 0;
    // Drops the responses that the desktop's HTTP stack keeps for the program.
    virtual void emptyUrlResponseCache() = 0;
};
