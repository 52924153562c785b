#include "FaviconRoutes.h"

#include "DemoAccount.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QPainter>

void FaviconRoutes::addTo(RouteTable &table)
{
    table.add("GET", "/s2/favicons", [](const SandboxRequest &request, const auto &) {
        const QString domain = request.queryValue(QStringLiteral("domain"));
        if (domain.isEmpty())
            return SandboxReply::bytes("domain is required", "text/plain", 400);
        if (domain.startsWith(QLatin1String(DemoAccount::noFaviconHostPrefix) + QLatin1Char('.')))
            return SandboxReply::bytes("no icon for this host", "text/plain", 404);
        int size = 16;
        if (request.hasQuery(QStringLiteral("sz")))
            size = std::clamp(request.queryValue(QStringLiteral("sz")).toInt(), 16, 256);
        return SandboxReply::bytes(png(icon(domain, size, false)), "image/png");
    });
    table.add("GET", "/avatars/([A-Za-z0-9_-]+)\\.png",
              [](const SandboxRequest &, const QRegularExpressionMatch &match) {
                  return SandboxReply::bytes(png(icon(match.captured(1), 64, true)), "image/png");
              });
}

QImage FaviconRoutes::icon(const QString &name, int size, bool round)
{
    const QByteArray digest = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Md5);
    const QColor colour(static_cast<uchar>(digest[0]), static_cast<uchar>(digest[1]),
                        static_cast<uchar>(digest[2]));
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    if (round)
        painter.drawEllipse(QRectF(0, 0, size, size));
    else
        painter.drawRoundedRect(QRectF(0, 0, size, size), size / 5.0, size / 5.0);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(size * 0.3, size * 0.3, size * 0.4, size * 0.4));
    return image;
}

QByteArray FaviconRoutes::png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
