#include "ArchiveBuilder.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QRandomGenerator>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>
#include <quazip/quazipnewinfo.h>
#include <sodium.h>
#include <unistd.h>

#include <algorithm>

namespace {

QByteArray infoPlist(const char *identifier, const char *name)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<plist version=\"1.0\"><dict>"
                      "<key>CFBundleIdentifier</key><string>") +
           identifier + "</string><key>CFBundleName</key><string>" + name +
           "</string><key>CFBundleShortVersionString</key><string>" QUORVELLA_VERSION
           "</string></dict></plist>\n";
}

QByteArray stubScript(const char *name)
{
    return QByteArray("#!/bin/sh\n# Stand-in program shipped by quorvella-sandbox.\n"
                      "printf '%s %s\\n' '") +
           name + "' \"$*\"\nexit 0\n";
}

} // namespace

QByteArray ArchiveBuilder::zip(const QList<Entry> &entries)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QuaZip archive(&buffer);
    if (!archive.open(QuaZip::mdCreate))
        return {};
    for (const Entry &entry : entries) {
        QuaZipNewInfo info(entry.path);
        QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                         QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther;
        if (entry.executable || entry.path.endsWith(QLatin1Char('/')))
            permissions |= QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther;
        info.setPermissions(permissions);
        if (entry.link)
            info.externalAttr = 0120777u << 16; // a symbolic link, as zip tools record one
        else if (entry.mode)
            info.externalAttr = entry.mode << 16;
        QuaZipFile file(&archive);
        if (!file.open(QIODevice::WriteOnly, info))
            return {};
        file.write(entry.content);
        file.close();
        if (file.getZipError() != 0)
            return {};
    }
    archive.close();
    return archive.getZipError() == 0 ? bytes : QByteArray();
}

QList<ArchiveBuilder::Entry> ArchiveBuilder::folderEntries(const QString &parent,
                                                           const QString &top)
{
    const QDir base(parent);
    QList<Entry> entries{{top + QLatin1Char('/'), {}, false}};
    QDirIterator it(base.filePath(top), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString path = base.relativeFilePath(info.filePath());
        if (info.isSymLink()) {
            // The link as written, relative or not; the extractor decides whether it is safe.
            char target[4096];
            const ssize_t length =
                ::readlink(QFile::encodeName(info.filePath()).constData(), target, sizeof target);
            if (length < 0 || length == sizeof target)
                return {};
            entries.append({path, QByteArray(target, length), false, true});
        } else if (info.isDir()) {
            entries.append({path + QLatin1Char('/'), {}, false});
        } else {
            QFile file(info.filePath());
            if (!file.open(QIODevice::ReadOnly))
                return {};
            entries.append({path, file.readAll(), info.isExecutable()});
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.path < b.path; });
    return entries;
}

QByteArray ArchiveBuilder::updaterArchive()
{
    return zip(
        {{"QuorvellaUpdater.app/", {}, false},
         {"QuorvellaUpdater.app/Contents/", {}, false},
         {"QuorvellaUpdater.app/Contents/Info.plist",
          infoPlist("com.quorvella.desktop.macos.QuorvellaUpdater", "QuorvellaUpdater"), false},
         {"QuorvellaUpdater.app/bin/", {}, false},
         {"QuorvellaUpdater.app/bin/quorvella-updater", stubScript("quorvella-updater"), true}});
}

QByteArray ArchiveBuilder::programArchive()
{
    // Incompressible and the same at every start, so sizes and checksums are stable.
    QRandomGenerator generator(20240601);
    QByteArray payload(256 * 1024, Qt::Uninitialized);
    for (char &byte : payload)
        byte = static_cast<char>(generator.bounded(256));
    return zip({{"Quorvella.app/", {}, false},
                {"Quorvella.app/Contents/", {}, false},
                {"Quorvella.app/Contents/Info.plist",
                 infoPlist("com.quorvella.desktop.macos.Quorvella", "Quorvella"), false},
                {"Quorvella.app/bin/", {}, false},
                {"Quorvella.app/bin/quorvella", stubScript("quorvella"), true},
                {"Quorvella.app/share/payload.bin", payload, false}});
}

QString ArchiveBuilder::absoluteEntryPath()
{
    return QStringLiteral("/tmp/quorvella-sandbox-absolute-entry.txt");
}

QByteArray ArchiveBuilder::spoiled(const QByteArray &archive, const QString &topFolder,
                                   const QString &variant)
{
    if (variant == QLatin1String("truncated"))
        return archive.left(archive.size() / 2);
    QList<Entry> entries;
    QByteArray bytes = archive;
    QBuffer buffer(&bytes);
    QuaZip source(&buffer);
    if (!source.open(QuaZip::mdUnzip))
        return archive;
    for (bool more = source.goToFirstFile(); more; more = source.goToNextFile()) {
        QuaZipFile file(&source);
        file.open(QIODevice::ReadOnly);
        QuaZipFileInfo64 info;
        source.getCurrentFileInfo(&info);
        const bool link = (info.externalAttr >> 16 & 0170000u) == 0120000u;
        entries.append(
            {info.name, file.readAll(), bool(info.getPermissions() & QFile::ExeOwner), link});
    }
    source.close();
    const QByteArray marker("written by a spoiled archive\n");
    if (variant == QLatin1String("traversal"))
        entries.append({topFolder + QStringLiteral("/../../escaped.txt"), marker, false});
    else if (variant == QLatin1String("absolute"))
        entries.append({absoluteEntryPath(), marker, false});
    else if (variant == QLatin1String("link"))
        entries.append({topFolder + QStringLiteral("/outside"), "../../..", false, true});
    else if (variant == QLatin1String("bomb")) {
        for (int i = 0; i <= 20000; ++i)
            entries.append({topFolder + QStringLiteral("/bomb/%1").arg(i), {}, false});
    } else if (variant == QLatin1String("worldwritable")) {
        for (Entry &entry : entries) {
            if (!entry.link && !entry.path.endsWith(QLatin1Char('/')))
                entry.mode = 0106777u; // a regular file, set-uid, set-gid, rwx for all
        }
    } else if (variant == QLatin1String("nostart")) {
        for (Entry &entry : entries) {
            if (entry.path == topFolder + QStringLiteral("/bin/quorvella"))
                entry.content = "#!/bin/sh\nexit 1\n";
        }
    }
    return variant.isEmpty() ? archive : zip(entries);
}

QByteArray ArchiveBuilder::signature(const QByteArray &bytes)
{
    // A fixed seed: the program knows the matching public key and trusts it only for a
    // download host on this machine.
    static const QByteArray seed("quorvella-sandbox-test-key-seed!");
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    if (sodium_init() < 0 ||
        crypto_sign_seed_keypair(publicKey, secretKey,
                                 reinterpret_cast<const unsigned char *>(seed.constData())) != 0)
        return {};
    QByteArray signed_(crypto_sign_BYTES, Qt::Uninitialized);
    crypto_sign_detached(reinterpret_cast<unsigned char *>(signed_.data()), nullptr,
                         reinterpret_cast<const unsigned char *>(bytes.constData()),
                         static_cast<unsigned long long>(bytes.size()), secretKey);
    return signed_;
}
