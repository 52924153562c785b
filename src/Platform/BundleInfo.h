#pragma once

#include <QString>

// Where the program is installed and what version it is.
class BundleInfo
{
public:
    virtual ~BundleInfo() = default;
    // The short version, as the about pane and the update check compare it.
    [[nodiscard]] virtual QString shortVersion() const = 0;
    // The install folder of the program (its bundle): bin/quorvella lies below it.
    [[nodiscard]] virtual QString bundlePath() const = 0;
    // Where applications such as the updater are installed, with a trailing "/".
    [[nodiscard]] virtual QString applicationsFolder() const = 0;
};
