#pragma once

#include <QObject>
#include <QString>

#include <functional>

// Installs the downloaded updater application into the applications folder and starts it.
class Updater
{
public:
    Updater() = delete;

    // Installs the updater from "QuorvellaUpdater.zip" in the attempt's private download
    // folder and starts it. Verifying and extracting run off the GUI thread; `done` is called
    // on it, unless `context` is gone, with whether the updater was started.
    static void installUpdater(const QString &downloadFolder, QObject *context,
                               std::function<void(bool launched)> done);
    // Whether the updater can swap this bundle: it replaces "Quorvella.app" in the folder it
    // is given, so a bundle of another name (a package in /usr/lib, a hand-made folder) or in
    // a folder we may not write would be left as it is, or lost.
    [[nodiscard]] static bool canReplaceBundle(const QString &bundlePath);
    // The program inside an updater application bundle.
    [[nodiscard]] static QString updaterProgram(const QString &applicationPath);

private:
    [[nodiscard]] static bool launch(const QString &application);
};
