#include "Update/UpdateInstaller.h"

#include "App/Logger.h"

#include <QDir>
#include <QFileInfo>

bool UpdateInstaller::deleteUpdaterApplication(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    // A symbolic link is removed as a link; its target is not ours to delete.
    const bool removed =
        info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
    if (!removed)
        Logger::shared().log({QStringLiteral("can't delete the updater"), path});
    return removed;
}
