#pragma once

#include <QObject>
#include <QString>

#include <functional>

// Makes this program the desktop's handler of "quorvella-updater:" URLs: a desktop entry in
// $XDG_DATA_HOME/applications and the default for x-scheme-handler/quorvella-updater in
// $XDG_CONFIG_HOME/mimeapps.list, the other lines of that file kept as they are. Both go again
// once the update is over, so nothing points at an updater that is removed.
class SchemeRegistration
{
public:
    SchemeRegistration() = delete;

    static inline const QString desktopFileName =
        QStringLiteral("com.quorvella.desktop.QuorvellaUpdater.desktop");
    static inline const QString mimeType = QStringLiteral("x-scheme-handler/quorvella-updater");

    // Writes both files, refreshes the desktop's MIME cache, then reads the registration back:
    // `done` gets whether it names `program` (false also past `timeoutMs`), unless `context`
    // is gone by then.
    static void registerHandler(const QString &program, int timeoutMs, QObject *context,
                                std::function<void(bool registered)> done);
    // Removes our desktop entry and our default from mimeapps.list; false with the reason in
    // *error when a file could not be rewritten.
    static bool unregisterHandler(QString *error);
    // Whether a desktop entry of ours is there whose program is gone.
    [[nodiscard]] static bool isStale();
    // Whether the desktop entry and the default name `program`.
    [[nodiscard]] static bool isRegistered(const QString &program);
    // The Exec value that runs `program` with the URL, nothing else; the
    // program is quoted for desktop entries when it holds a reserved character.
    [[nodiscard]] static QString execLine(const QString &program);
    // `list` with the default for our scheme set in [Default Applications].
    [[nodiscard]] static QString withDefault(const QString &list);
    // `list` without our scheme's default, and without a [Default Applications] left empty.
    [[nodiscard]] static QString withoutDefault(const QString &list);
};
