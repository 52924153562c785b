#pragma once

#include "Platform/Platform.h"
#include "Platform/testing/FakeBundleInfo.h"
#include "Platform/testing/FakeColorScheme.h"
#include "Platform/testing/FakeKeyring.h"
#include "Platform/testing/FakeLoginItems.h"
#include "Platform/testing/FakePasteboard.h"
#include "Platform/testing/FakeServicesProvider.h"
#include "Platform/testing/FakeStatusItem.h"
#include "Platform/testing/FakeUserNotificationCenter.h"
#include "Platform/testing/FakeWebView.h"
#include "Platform/testing/FakeWorkspace.h"
#include "Platform/testing/ScriptedAlertPresenter.h"
#include "Platform/testing/ScriptedSaveDialog.h"

#include <QPointer>

// The doubles of every desktop facility, built like the real ones and driven by tests.
class FakePlatform : public Platform
{
public:
    [[nodiscard]] std::unique_ptr<StatusItem> createStatusItem() override
    {
        auto item = std::make_unique<FakeStatusItem>();
        item->setTrayAvailable(trayAvailable);
        lastStatusItem = item.get();
        return item;
    }
    [[nodiscard]] std::unique_ptr<WebView> createWebView() override
    {
        auto view = std::make_unique<FakeWebView>();
        lastWebView = view.get();
        ++webViewsCreated;
        return view;
    }
    [[nodiscard]] AlertPresenter &alerts() override { return alertPresenter; }
    [[nodiscard]] std::unique_ptr<SaveDialog> createSaveDialog() override
    {
        return std::make_unique<ScriptedSaveDialog>(saveDialogs);
    }
    [[nodiscard]] const BundleInfo &bundle() const override { return bundleInfo; }
    [[nodiscard]] Pasteboard &pasteboard() override
    {
        return realPasteboard ? *realPasteboard : fakePasteboard;
    }
    [[nodiscard]] Workspace &workspace() override { return fakeWorkspace; }
    [[nodiscard]] UserNotificationCenter &userNotificationCenter() override
    {
        return realNotifications ? *realNotifications : userNotifications;
    }
    [[nodiscard]] ServicesProvider &servicesProvider() override { return fakeServices; }
    [[nodiscard]] LoginItems &loginItems() override { return fakeLoginItems; }
    [[nodiscard]] Keyring &keyring() override { return realKeyring ? *realKeyring : fakeKeyring; }
    [[nodiscard]] ColorSchemeSource &colorScheme() override { return fakeColorScheme; }
    void emptyUrlResponseCache() override { ++cacheEmptied; }

    // Installs a fresh fake platform and returns it for the test to drive.
    static FakePlatform &installNew()
    {
        auto platform = std::make_unique<FakePlatform>();
        FakePlatform &ref = *platform;
        Platform::install(std::move(platform));
        return ref;
    }

    ScriptedAlertPresenter alertPresenter;
    ScriptedSaveDialogs saveDialogs;
    FakeBundleInfo bundleInfo;
    FakeWorkspace fakeWorkspace;
    FakeLoginItems fakeLoginItems;
    FakePasteboard fakePasteboard;
    // A real clipboard implementation under test, used instead of the fake when set.
    Pasteboard *realPasteboard = nullptr;
    FakeUserNotificationCenter userNotifications;
    // A real notification service under test, used instead of the fake when set.
    UserNotificationCenter *realNotifications = nullptr;
    FakeServicesProvider fakeServices;
    FakeColorScheme fakeColorScheme;
    // Not running unless a test starts it.
    FakeKeyring fakeKeyring;
    // A real keyring under test, used instead of the fake when set.
    Keyring *realKeyring = nullptr;
    QPointer<FakeStatusItem> lastStatusItem;
    // Whether the status items made from now on find a tray host.
    bool trayAvailable = true;
    QPointer<FakeWebView> lastWebView;
    int webViewsCreated = 0;
    int cacheEmptied = 0;
};
