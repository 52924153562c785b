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

QByteArray readCurrent(QuaZip &zip, bool *ok)
{
    QuaZipFile file(&zip);
    *ok = file.open(QIODevice::ReadOnly);
    if (!*ok)
        return {};
    QByteArray content = file.readAll();
    file.close();
    // A truncated or altered entry shows up as a CRC error when it is closed.
    *ok = file.getZipError() == UNZ_OK;
    return content;
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
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFileInfo64 info;
        if (!zip.getCurrentFileInfo(&info))
            return fail(error, QStringLiteral("unreadable archive entry"));
        Entry entry{info.name, containedPath(root, info.name), info.name.endsWith('/'),
                    isLink(info), info.getPermissions()};
        if (entry.target.isEmpty())
            return fail(error, QStringLiteral("entry outside the folder refused: ") + info.name);
        if (entry.link) {
            bool ok = false;
            const QString linkTarget = QString::fromUtf8(readCurrent(zip, &ok));
            const QString relativeTo = QFileInfo(entry.target).path().mid(root.size() + 1);
            if (!ok || QDir::isAbsolutePath(linkTarget) ||
                containedPath(root, relativeTo + QLatin1Char('/') + linkTarget).isEmpty())
                return fail(error, QStringLiteral("link outside the folder refused: ") + info.name);
        }
        entries.append(entry);
    }
    if (zip.getZipError() != UNZ_OK)
        return fail(error, QStringLiteral("damaged archive: ") + archivePath);

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
        bool ok = false;
        const QByteArray content = readCurrent(zip, &ok);
        if (!ok)
            return fail(error, QStringLiteral("damaged entry: ") + entry.name);
        const QFileInfo existing(entry.target);
        if ((existing.exists() || existing.isSymLink()) &&
            !(existing.isDir() && !existing.isSymLink() ? QDir(entry.target).removeRecursively()
                                                        : QFile::remove(entry.target)))
            return fail(error, QStringLiteral("cannot replace ") + entry.target);
        if (entry.link) {
            if (!QFile::link(QString::fromUtf8(content), entry.target))
                return fail(error, QStringLiteral("cannot link ") + entry.target);
        } else {
            QFile file(entry.target);
            if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
                return fail(error, QStringLiteral("cannot write ") + entry.target);
            file.close();
            if (entry.permissions)
                file.setPermissions(entry.permissions | QFile::ReadOwner | QFile::WriteOwner);
        }
        if (progress)
            progress(double(index + 1) / double(entries.size()));
    }
    return true;
}
