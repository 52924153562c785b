#pragma once

#include <QString>

// Installs the downloaded updater application into the applications folder and starts it.
class Updater
{
public:
    Updater() = delete;

    // Installs the updater from "QuorvellaUpdater.zip" in the attempt's private download
    // folder and starts it; true when it was started.
    [[nodiscard]] static bool installUpdater(const QString &downloadFolder);
    // Extracts the archive into the folder.
    [[nodiscard]] static bool unzipUpdater(const QString &archive, const QString &folder);
    // Whether the updater can swap this bundle: it replaces "Quorvella.app" in the folder it
    // is given, so a bundle of another name (a package in /usr/lib, a hand-made folder) or in
    // a folder we may not write would be left as it is, or lost.
    [[nodiscard]] static bool canReplaceBundle(const QString &bundlePath);
    // The program inside an updater application bundle.
    [[nodiscard]] static QString updaterProgram(const QString &applicationPath);
};
