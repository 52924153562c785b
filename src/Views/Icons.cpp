#include "Views/Icons.h"

#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>

namespace {

// Renders the SVG anew for each size and mode, so the icon stays crisp at any scale.
class TintedIconEngine : public QIconEngine
{
public:
    explicit TintedIconEngine(QString name)
        : m_name(std::move(name))
    {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, Icons::pixmap(m_name, rect.width(), colourFor(mode), ratio));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        return Icons::pixmap(m_name, size.width(), colourFor(mode), 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        return Icons::pixmap(m_name, size.width(), colourFor(mode), scale);
    }

    QIconEngine *clone() const override { return new TintedIconEngine(m_name); }
    QString key() const override { return QStringLiteral("quorvella-tinted"); }

private:
    static QColor colourFor(QIcon::Mode mode)
    {
        switch (mode) {
        case QIcon::Active:
        case QIcon::Selected:
            return Icons::accent;
        case QIcon::Disabled:
            return Icons::disabled;
        case QIcon::Normal:
            break;
        }
        return Icons::normal;
    }

    QString m_name;
};

} // namespace

QIcon Icons::icon(const QString &name)
{
    return QIcon(new TintedIconEngine(name));
}

QPixmap Icons::pixmap(const QString &name, int size, const QColor &colour, qreal devicePixelRatio)
{
    const QString key =
        QStringLiteral("%1/%2/%3/%4").arg(name).arg(size).arg(colour.rgba()).arg(devicePixelRatio);
    static QHash<QString, QPixmap> cache;
    if (const auto found = cache.constFind(key); found != cache.constEnd())
        return *found;
    QSvgRenderer renderer(QStringLiteral(":/icons/%1.svg").arg(name));
    const int pixels = qRound(size * devicePixelRatio);
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        if (!name.endsWith(QLatin1String("-red"))) {
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(image.rect(), colour);
        }
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    cache.insert(key, pixmap);
    return pixmap;
}
