#include "App/StatusItemImage.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace {

QIcon trayIcon(const QString &resource)
{
    QSvgRenderer renderer(resource);
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    // A template image: desktops that tint tray icons may recolour it for dark panels.
    icon.setIsMask(true);
    return icon;
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
