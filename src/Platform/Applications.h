#pragma once

#include <QString>

// The programs running in the user's session, and starting one of them.
class Applications
{
public:
    virtual ~Applications() = default;
    // True when a program with this bundle identifier runs in the session.
    [[nodiscard]] virtual bool isRunning(const QString &bundleIdentifier) = 0;
    // Starts the program of the bundle (install folder) at this path; false when it could not.
    virtual bool launchApplication(const QString &bundlePath) = 0;
};
