#include "Platform/linux/DesktopWorkspace.h"

#include <QDesktopServices>

bool DesktopWorkspace::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
