#include "Platform/linux/DesktopWorkspace.h"

#include <QDesktopServices>
#include <QProcess>

bool DesktopWorkspace::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

bool DesktopWorkspace::launchApplication(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}
