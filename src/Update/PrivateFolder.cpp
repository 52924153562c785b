#include "Update/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isOwnFolder(const QString &path)
{
    struct stat status
    {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == ::geteuid();
}

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

QString PrivateFolder::base()
{
    for (const auto location :
         {QStandardPaths::GenericCacheLocation, QStandardPaths::RuntimeLocation}) {
        const QString root = QStandardPaths::writableLocation(location);
        if (root.isEmpty())
            continue;
        const QString folder = root + QStringLiteral("/Quorvella");
        if (!QFileInfo(folder).isSymLink())
            QDir().mkpath(folder);
        if (isOwnFolder(root) && isOwnFolder(folder))
            return folder + QLatin1Char('/');
    }
    return {};
}

std::unique_ptr<QTemporaryDir> PrivateFolder::create(const QString &prefix)
{
    const QString parent = base();
    return parent.isEmpty() ? nullptr : createIn(parent, prefix);
}

std::unique_ptr<QTemporaryDir> PrivateFolder::createIn(const QString &parent, const QString &prefix)
{
    // QTemporaryDir makes the folder with mkdir(0700), which fails on anything already there,
    // a link included, and tries another random name.
    auto folder =
        std::make_unique<QTemporaryDir>(QDir(parent).filePath(prefix) + QStringLiteral("-XXXXXX"));
    if (!folder->isValid() || !isOwnFolder(folder->path()))
        return nullptr;
    return folder;
}

bool PrivateFolder::copyFile(const QString &source, const QString &target, QString *error)
{
    const int input = ::open(QFile::encodeName(source).constData(),
                             O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (input < 0)
        return fail(error, QStringLiteral("can't open ") + source);
    QFile from;
    struct stat status
    {};
    if (::fstat(input, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > maxArchiveBytes ||
        !from.open(input, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(input);
        return fail(error, QStringLiteral("not a file of a usable size: ") + source);
    }
    QFile to(target);
    if (!to.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return fail(error, QStringLiteral("can't create ") + target);
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const qint64 read = from.read(chunk.data(), chunk.size());
        if (read == 0 && to.flush())
            return true;
        total += read;
        if (read <= 0 || total > maxArchiveBytes || to.write(chunk.constData(), read) != read) {
            to.remove();
            return fail(error, QStringLiteral("can't copy ") + source);
        }
    }
}

bool PrivateFolder::isInside(const QString &path)
{
    const QString folder = base();
    return !folder.isEmpty() && QDir::cleanPath(path).startsWith(folder) &&
           !path.contains(QLatin1String("/../"));
}
