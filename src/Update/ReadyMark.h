#pragma once

#include <QObject>
#include <QString>

#include <functional>

// How the updater tells the program that its URL handler is in place: once the registration
// reads back as done, it writes its own program's path to a file in the private folder of the
// self-update. The program opens the update request only after that, never on a guess.
class ReadyMark
{
public:
    ReadyMark() = delete;

    // "…/Quorvella/updater-ready" below the private folder; empty without one.
    [[nodiscard]] static QString path();
    // The updater, once its handler is registered.
    static bool write(const QString &program);
    static void clear();
    // Calls done(true) as soon as a mark naming `program` is there (and removes it), or
    // done(false) after timeoutMs; never waits on the caller's thread. Nothing is called once
    // `context` is gone.
    static void waitFor(const QString &program, int timeoutMs, QObject *context,
                        std::function<void(bool)> done);
    // The same wait for any file another program writes: done(true) once `arrived` holds,
    // looked at whenever the file's folder changes, or done(false) after timeoutMs.
    static void waitForFile(const QString &file, std::function<bool()> arrived, int timeoutMs,
                            QObject *context, std::function<void(bool)> done);
};
