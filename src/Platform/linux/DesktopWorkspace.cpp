#include "Platform/linux/DesktopWorkspace.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <csignal>
#include <sys/types.h>

namespace {

// Whether one of the groups of an XDG association file names a program for the MIME type, as
// in "[Default Applications]" then "x-scheme-handler/mailto=mail.desktop;".
bool listsHandler(const QString &file, const QStringList &groups, const QString &mimeType)
{
    QFile list(file);
    if (!list.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool inGroup = false;
    while (!list.atEnd()) {
        const QString line = QString::fromUtf8(list.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = groups.contains(line.mid(1, line.size() - 2));
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inGroup || equals < 0 || line.left(equals).trimmed() != mimeType)
            continue;
        const QStringList programs =
            line.mid(equals + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (!programs.isEmpty())
            return true;
    }
    return false;
}

bool desktopEntryHandles(const QString &file, const QString &mimeType)
{
    QFile entry(file);
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    // Desktop entries are small; a line "MimeType=...;x-scheme-handler/mailto;..." is enough.
    while (!entry.atEnd()) {
        const QString line = QString::fromUtf8(entry.readLine()).trimmed();
        if (line.startsWith(QLatin1String("MimeType=")) &&
            line.mid(9).split(QLatin1Char(';')).contains(mimeType))
            return true;
    }
    return false;
}

} // namespace
#include <QProcess>

bool DesktopWorkspace::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

bool DesktopWorkspace::hasHandlerFor(const QString &scheme) const
{
    const QString mimeType = QStringLiteral("x-scheme-handler/") + scheme.toLower();
    QStringList listFolders =
        QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    const QStringList applicationFolders =
        QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    listFolders += applicationFolders;
    for (const QString &folder : listFolders) {
        const QString list = folder + QStringLiteral("/mimeapps.list");
        if (listsHandler(
                list,
                {QStringLiteral("Default Applications"), QStringLiteral("Added Associations")},
                mimeType))
            return true;
    }
    for (const QString &folder : applicationFolders) {
        if (listsHandler(folder + QStringLiteral("/mimeinfo.cache"), {QStringLiteral("MIME Cache")},
                         mimeType))
            return true;
        const QStringList entries =
            QDir(folder).entryList({QStringLiteral("*.desktop")}, QDir::Files);
        for (const QString &entry : entries) {
            if (desktopEntryHandles(folder + QLatin1Char('/') + entry, mimeType))
                return true;
        }
    }
    return false;
}

bool DesktopWorkspace::launchApplication(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

bool DesktopWorkspace::launch(const QString &program, const QStringList &arguments, qint64 *pid)
{
    return QProcess::startDetached(program, arguments, {}, pid);
}

void DesktopWorkspace::endProcess(qint64 pid, bool force)
{
    if (pid > 0)
        ::kill(static_cast<pid_t>(pid), force ? SIGKILL : SIGTERM);
}

bool DesktopWorkspace::processRuns(qint64 pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0;
}
