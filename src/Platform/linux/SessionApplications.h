#pragma once

#include "Platform/Applications.h"

// Programs of this session: a program runs when its bundle identifier is a name on the
// session bus (the main program holds its single-instance name there); a bundle is started by
// running its bin/quorvella.
class SessionApplications : public Applications
{
public:
    [[nodiscard]] bool isRunning(const QString &bundleIdentifier) override;
    bool launchApplication(const QString &bundlePath) override;
};
