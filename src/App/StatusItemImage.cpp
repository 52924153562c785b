#include "App/StatusItemImage.h"

#include <QGuiApplication>

namespace {

// Drawn light on a dark panel and dark on a light one.
QIcon trayIcon(const QString &resource, TrayIconVariant::ColorScheme scheme)
{
    return TrayIconVariant::logo(TrayIconVariant::panelFor(QGuiApplication::palette(), scheme),
                                 resource);
}

} // namespace

QIcon StatusItemImage::logo(TrayIconVariant::ColorScheme scheme)
{
    return trayIcon(QStringLiteral(":/icons/tray-logo.svg"), scheme);
}

QIcon StatusItemImage::paused(TrayIconVariant::ColorScheme scheme)
{
    return trayIcon(QStringLiteral(":/icons/tray-paused.svg"), scheme);
}
