#include "Update/UtilsUpdater.h"

#include "App/Logger.h"

#include <QDir>
#include <QFileInfo>

bool UtilsUpdater::removeIfExists(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    Logger::shared().log({QStringLiteral("gonna remove"), path});
    const bool removed =
        info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
    Logger::shared().log({removed ? QStringLiteral("app deleted") : QStringLiteral("ERROR")});
    return removed;
}
