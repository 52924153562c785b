#pragma once

#include <QString>

#include <functional>

// Extracts a zip archive into a folder, overwriting. An archive with any entry that would
// land outside the folder (an absolute path, "..", a link pointing out) is refused as a
// whole before anything is written.
class ZipExtractor
{
public:
    using Progress = std::function<void(double fraction)>;

    ZipExtractor() = delete;

    // False with the reason in *error when the archive is unreadable, refused, or a file
    // could not be written.
    static bool extract(const QString &archivePath, const QString &folder, const Progress &progress,
                        QString *error);
    // The entry's place below the folder, or an empty text when it would leave it.
    [[nodiscard]] static QString containedPath(const QString &folder, const QString &entry);
};
