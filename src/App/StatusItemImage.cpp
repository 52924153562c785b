#include "App/StatusItemImage.h"

#include "App/TrayIconVariant.h"

#include <QGuiApplication>

namespace {

// Drawn light on a dark panel and dark on a light one, as the desktop's palette suggests.
QIcon trayIcon(const QString &resource)
{
    return TrayIconVariant::logo(TrayIconVariant::panelFor(QGuiApplication::palette()), resource);
}

} // namespace

QIcon StatusItemImage::logo()
{
    return trayIcon(QStringLiteral(":/icons/tray-logo.svg"));
}

QIcon StatusItemImage::paused()
{
    return trayIcon(QStringLiteral(":/icons/tray-paused.svg"));
}
