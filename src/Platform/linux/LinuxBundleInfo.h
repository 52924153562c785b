#pragma once

#include "Platform/BundleInfo.h"

// The install folder is the parent of the folder that holds the executable (<bundle>/bin).
class LinuxBundleInfo : public BundleInfo
{
public:
    [[nodiscard]] QString shortVersion() const override;
    [[nodiscard]] QString bundlePath() const override;
    [[nodiscard]] QString applicationsFolder() const override;
};
