#pragma once

#include <QString>

// Installs the downloaded updater application into the applications folder and starts it.
class Updater
{
public:
    Updater() = delete;

    // True when the updater application was started.
    [[nodiscard]] static bool installUpdater();
    // Extracts "QuorvellaUpdater.zip" of the folder into the folder.
    [[nodiscard]] static bool unzipUpdater(const QString &folder);
    // The program inside an updater application bundle.
    [[nodiscard]] static QString updaterProgram(const QString &applicationPath);
};
