#pragma once

#include <QString>

// Installs and removes what the self-update puts into the applications folder.
class UpdateInstaller
{
public:
    UpdateInstaller() = delete;

    // The updater application is only needed while it installs; afterwards it goes.
    static bool deleteUpdaterApplication(const QString &path);
};
