#pragma once

#include <memory>

class AlertPresenter;
class BundleInfo;
class StatusItem;

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
    [[nodiscard]] virtual AlertPresenter &alerts() = 0;
    [[nodiscard]] virtual const BundleInfo &bundle() const = 0;
    // Drops the responses that the desktop's HTTP stack keeps for the program.
    virtual void emptyUrlResponseCache() = 0;
};
