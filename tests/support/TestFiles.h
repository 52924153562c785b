#pragma once

// The tests' small file chores: a file written whole, its folder made first, or read whole.
#include <QDir>
#include <QFile>
#include <QFileInfo>

// Writes `bytes` to `path`, making its folder; sets `permissions` when given.
inline bool writeFile(const QString &path, const QByteArray &bytes,
                      QFile::Permissions permissions = {})
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size() && (!permissions || file.setPermissions(permissions));
}

// The whole file; empty when it cannot be read.
inline QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
