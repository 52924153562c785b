#include "Platform/Platform.h"

#include <QtGlobal>

namespace {
std::unique_ptr<Platform> &installedPlatform()
{
    static std::unique_ptr<Platform> platform;
    return platform;
}
} // namespace

Platform &Platform::current()
{
    if (!installedPlatform())
        qFatal("Platform::current: no platform installed");
    return *installedPlatform();
}

void Platform::install(std::unique_ptr<Platform> platform)
{
    installedPlatform() = std::move(platform);
}

bool Platform::isInstalled()
{
    return installedPlatform() != nullptr;
}
