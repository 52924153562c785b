#pragma once

#include "Platform/Applications.h"

#include <QStringList>

// A session whose running programs the test decides; launches are only recorded.
class FakeApplications : public Applications
{
public:
    [[nodiscard]] bool isRunning(const QString &bundleIdentifier) override
    {
        return running.contains(bundleIdentifier);
    }
    bool launchApplication(const QString &bundlePath) override
    {
        launched.append(bundlePath);
        return true;
    }

    QStringList running;
    QStringList launched;
};
