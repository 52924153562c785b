#include "Update/ZipExtractor.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>

#include <sys/stat.h>

namespace {

struct Entry
{
    QString name;
    QString target; // where it lands
    bool folder = false;
    bool link = false;
    QFile::Permissions permissions;
};

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

bool isLink(const QuaZipFileInfo64 &info)
{
    // Unix attributes live in the upper half of the external attributes.
    const quint32 mode = info.externalAttr >> 16;
    return (mode & S_IFMT) == S_IFLNK;
}

// A link's target: a short text.
QByteArray readLinkTarget(QuaZip &zip, bool *ok)
{
    QuaZipFile file(&zip);
    *ok = file.open(QIODevice::ReadOnly);
    if (!*ok)
        return {};
    QByteArray content = file.read(4096);
    *ok = file.atEnd();
    file.close();
    // A truncated or altered entry shows up as a CRC error when it is closed.
    *ok = *ok && file.getZipError() == UNZ_OK;
    return content;
}

// Streams the current entry into `target` in chunks; `budget` is what may still be written.
bool writeCurrent(QuaZip &zip, const QString &target, qint64 *budget)
{
    QuaZipFile entry(&zip);
    QFile file(target);
    if (!entry.open(QIODevice::ReadOnly) || !file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 read = entry.read(chunk.data(), chunk.size());
        if (read < 0)
            return false;
        if (read == 0)
            break;
        *budget -= read;
        if (*budget < 0 || file.write(chunk.constData(), read) != read)
            return false;
    }
    entry.close();
    return entry.getZipError() == UNZ_OK && file.flush();
}

// The folder that will hold `path` must still be inside `root` once links are resolved.
bool parentInside(const QString &root, const QString &path)
{
    const QString parent = QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath();
    return parent == root || parent.startsWith(root + QLatin1Char('/'));
}

} // namespace

QString ZipExtractor::containedPath(const QString &folder, const QString &entry)
{
    if (entry.isEmpty() || entry.startsWith(QLatin1Char('/')) ||
        entry.startsWith(QLatin1Char('\\')) || entry.contains(QLatin1Char(':')))
        return {};
    const QStringList parts = QString(entry)
                                  .replace(QLatin1Char('\\'), QLatin1Char('/'))
                                  .split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.contains(QStringLiteral("..")))
        return {};
    const QString root = QDir::cleanPath(folder);
    const QString path = QDir::cleanPath(root + QLatin1Char('/') + parts.join(QLatin1Char('/')));
    return path.startsWith(root + QLatin1Char('/')) ? path : QString();
}

bool ZipExtractor::extract(const QString &archivePath, const QString &folder,
                           const Progress &progress, QString *error)
{
    QuaZip zip(archivePath);
    if (!zip.open(QuaZip::mdUnzip))
        return fail(error, QStringLiteral("not a readable zip archive: ") + archivePath);
    if (!QDir().mkpath(folder))
        return fail(error, QStringLiteral("cannot create ") + folder);
    const QString root = QFileInfo(folder).canonicalFilePath();

    // First pass: every entry is checked before anything is written.
    QList<Entry> entries;
    qint64 declared = 0;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFileInfo64 info;
        if (!zip.getCurrentFileInfo(&info))
            return fail(error, QStringLiteral("unreadable archive entry"));
        declared += qint64(qMin<quint64>(info.uncompressedSize, quint64(maxTotalBytes) + 1));
        if (entries.size() >= maxEntries || declared > maxTotalBytes)
            return fail(error, QStringLiteral("archive too large to extract: ") + archivePath);
        Entry entry{info.name, containedPath(root, info.name), info.name.endsWith('/'),
                    isLink(info), info.getPermissions()};
        if (entry.target.isEmpty())
            return fail(error, QStringLiteral("entry outside the folder refused: ") + info.name);
        if (entry.link) {
            bool ok = false;
            const QString linkTarget = QString::fromUtf8(readLinkTarget(zip, &ok));
            const QString relativeTo = QFileInfo(entry.target).path().mid(root.size() + 1);
            if (!ok || QDir::isAbsolutePath(linkTarget) ||
                containedPath(root, relativeTo + QLatin1Char('/') + linkTarget).isEmpty())
                return fail(error, QStringLiteral("link outside the folder refused: ") + info.name);
        }
        entries.append(entry);
    }
    if (zip.getZipError() != UNZ_OK)
        return fail(error, QStringLiteral("damaged archive: ") + archivePath);

    qint64 budget = maxTotalBytes;
    qsizetype index = 0;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile(), ++index) {
        const Entry &entry = entries.at(index);
        if (entry.folder) {
            if (!QDir().mkpath(entry.target) || !parentInside(root, entry.target + "/."))
                return fail(error, QStringLiteral("cannot create ") + entry.target);
            continue;
        }
        if (!QDir().mkpath(QFileInfo(entry.target).path()) || !parentInside(root, entry.target))
            return fail(error, QStringLiteral("cannot create the folder of ") + entry.target);
        const QFileInfo existing(entry.target);
        if ((existing.exists() || existing.isSymLink()) &&
            !(existing.isDir() && !existing.isSymLink() ? QDir(entry.target).removeRecursively()
                                                        : QFile::remove(entry.target)))
            return fail(error, QStringLiteral("cannot replace ") + entry.target);
        if (entry.link) {
            bool ok = false;
            const QByteArray linkTarget = readLinkTarget(zip, &ok);
            if (!ok || !QFile::link(QString::fromUtf8(linkTarget), entry.target))
                return fail(error, QStringLiteral("cannot link ") + entry.target);
        } else {
            if (!writeCurrent(zip, entry.target, &budget))
                return fail(error, budget < 0 ? QStringLiteral("archive too large to extract: ") +
                                                    archivePath
                                              : QStringLiteral("cannot write ") + entry.target);
            // Never writable by others, never set-id, whatever the archive says.
            const QFile::Permissions masked =
                entry.permissions & ~(QFile::WriteGroup | QFile::WriteOther);
            if (entry.permissions)
                QFile::setPermissions(entry.target, masked | QFile::ReadOwner | QFile::WriteOwner);
        }
        if (progress)
            progress(double(index + 1) / double(entries.size()));
    }
    return true;
}
