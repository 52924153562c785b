#pragma once

#include "Platform/Platform.h"

#include <memory>

class LinuxBundleInfo;
class MessageBoxAlertPresenter;

// The desktop facilities of a Linux session: tray, message boxes, XDG folders.
class LinuxPlatform : public Platform
{
public:
    LinuxPlatform();
    ~LinuxPlatform() override;

    [[nodiscard]] std::unique_ptr<StatusItem> createStatusItem() override;
    [[nodiscard]] AlertPresenter &alerts() override;
    [[nodiscard]] const BundleInfo &bundle() const override;
    void emptyUrlResponseCache() override;

private:
    std::unique_ptr<MessageBoxAlertPresenter> m_alerts;
    std::unique_ptr<LinuxBundleInfo> m_bundle;
};
