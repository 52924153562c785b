#include "App/TrayIconVariant.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

TrayIconVariant::Panel TrayIconVariant::panelFor(const QPalette &palette, ColorScheme scheme)
{
    if (scheme == 1u)
        return Panel::dark;
    if (scheme == 2u)
        return Panel::light;
    // Panels take the window colour of the theme; its text colour breaks a tie of greys.
    const int window = palette.color(QPalette::Window).lightness();
    const int text = palette.color(QPalette::WindowText).lightness();
    if (window == text)
        return window < 128 ? Panel::dark : Panel::light;
    return window < text ? Panel::dark : Panel::light;
}

QColor TrayIconVariant::logoColour(Panel panel)
{
    return panel == Panel::dark ? QColor(0xF5, 0xF5, 0xF5) : QColor(0x1D, 0x1D, 0x1F);
}

QIcon TrayIconVariant::logo(Panel panel, const QString &resource)
{
    QSvgRenderer renderer(resource);
    const QColor colour = logoColour(panel);
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), colour);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}
