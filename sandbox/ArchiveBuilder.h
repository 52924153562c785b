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
        bool link = false; // content is the link's target
        quint32 mode = 0;  // when set, the Unix mode recorded as is (set-id bits included)
    };

    [[nodiscard]] static QByteArray zip(const QList<Entry> &entries);
    // The folder `parent`/`top` and everything in it, as entries under "`top`/"; links stay
    // links. Nothing when the folder cannot be read whole.
    [[nodiscard]] static QList<Entry> folderEntries(const QString &parent, const QString &top);
    // The updater application bundle, "QuorvellaUpdater.app" at the top level.
    [[nodiscard]] static QByteArray updaterArchive();
    // The new program bundle, "Quorvella.app", with some payload so downloads report progress.
    [[nodiscard]] static QByteArray programArchive();
    // The archive spoiled as a test asks: an entry with "..", an absolute entry, a link that
    // points out of the folder, the bytes cut in half, a program that ends at once instead
    // of starting ("nostart"), more entries than anyone extracts ("bomb"), or every file
    // world-writable and set-id ("worldwritable"). An empty variant leaves it whole.
    [[nodiscard]] static QByteArray spoiled(const QByteArray &archive, const QString &topFolder,
                                            const QString &variant);
    // The detached Ed25519 signature of `bytes` under the sandbox's test key.
    [[nodiscard]] static QByteArray signature(const QByteArray &bytes);
    // The path the "absolute" variant writes to, which must never appear.
    [[nodiscard]] static QString absoluteEntryPath();
};
