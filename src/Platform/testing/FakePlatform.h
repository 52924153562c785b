#pragma once

#include "Platform/Platform.h"
#include "Platform/testing/FakeBundleInfo.h"
#include "Platform/testing/FakeStatusItem.h"
#include "Platform/testing/ScriptedAlertPresenter.h"

#include <QPointer>

// The doubles of every desktop facility, built like the real ones and driven by tests.
class FakePlatform : public Platform
{
public:
    [[nodiscard]] std::unique_ptr<StatusItem> createStatusItem() override
    {
        auto item = std::make_unique<FakeStatusItem>();
        lastStatusItem = item.get();
        return item;
    }
    [[nodiscard]] AlertPresenter &alerts() override { return alertPresenter; }
    [[nodiscard]] const BundleInfo &bundle() const override { return bundleInfo; }
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
    FakeBundleInfo bundleInfo;
    QPointer<FakeStatusItem> lastStatusItem;
    int cacheEmptied = 0;
};
