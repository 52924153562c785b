#pragma once

#include <QString>

#include <functional>

// Extracts a zip archive into a folder, overwriting, one entry at a time in small chunks. An
// archive with any entry that would land outside the folder (an absolute path, "..", a link
// pointing out), or with more entries or bytes than the ceilings, is refused as a whole before
// anything is written; the byte ceiling also holds for what the entries really inflate to.
// Modes are kept without group or world write (set-id bits are never set).
class ZipExtractor
{
public:
    using Progress = std::function<void(double fraction)>;

    ZipExtractor() = delete;

    static constexpr qsizetype maxEntries = 20000;
    static constexpr qint64 maxTotalBytes = 1024LL * 1024 * 1024;

    // False with the reason in *error when the archive is unreadable, refused, or a file
    // could not be written.
    static bool extract(const QString &archivePath, const QString &folder, const Progress &progress,
                        QString *error);
    // The entry's place below the folder, or an empty text when it would leave it.
    [[nodiscard]] static QString containedPath(const QString &folder, const QString &entry);
};
