#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Writes zip archives in memory: the updater and new-program archives the download host
// serves are made at start, so they are real, valid zip files without files on disk.
class ArchiveBuilder
{
public:
    struct Entry
    {
        QString path; // ends with "/" for a folder
        QByteArray content;
        bool executable = false;
    };

    [[nodiscard]] static QByteArray zip(const QList<Entry> &entries);
    // The updater application bundle, "QuorvellaUpdater.app" at the top level.
    [[nodiscard]] static QByteArray updaterArchive();
    // The new program bundle, "Quorvella.app", with some payload so downloads report progress.
    [[nodiscard]] static QByteArray programArchive();
};
