#pragma once

#include <QString>

// Makes this program the desktop's handler of "quorvella-updater:" URLs: a desktop entry in
// $XDG_DATA_HOME/applications and the default for x-scheme-handler/quorvella-updater in
// $XDG_CONFIG_HOME/mimeapps.list, the other lines of that file kept as they are.
class SchemeRegistration
{
public:
    SchemeRegistration() = delete;

    static inline const QString desktopFileName =
        QStringLiteral("com.quorvella.desktop.QuorvellaUpdater.desktop");
    static inline const QString mimeType = QStringLiteral("x-scheme-handler/quorvella-updater");

    // False with the reason in *error when a file could not be written.
    static bool registerHandler(const QString &program, QString *error);
    // The Exec value that runs `program` with the URL, nothing else; the
    // program is quoted for desktop entries when it holds a reserved character.
    [[nodiscard]] static QString execLine(const QString &program);
    // `list` with the default for our scheme set in [Default Applications].
    [[nodiscard]] static QString withDefault(const QString &list);
};
