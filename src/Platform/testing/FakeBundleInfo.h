#pragma once

#include "Platform/BundleInfo.h"

class FakeBundleInfo : public BundleInfo
{
public:
    [[nodiscard]] QString shortVersion() const override { return version; }
    [[nodiscard]] QString bundlePath() const override { return bundle; }
    [[nodiscard]] QString applicationsFolder() const override { return applications; }

    QString version = QStringLiteral("1.0.0");
    QString bundle;
    QString applications;
};
