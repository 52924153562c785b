#include "QrRoutes.h"

#include <QBuffer>
#include <memory>
#include <qrencode.h>

namespace {

constexpr int quietZone = 4;

struct QrCodeDeleter
{
    void operator()(QRcode *code) const { QRcode_free(code); }
};
using QrCodePointer = std::unique_ptr<QRcode, QrCodeDeleter>;

QrCodePointer encode(const QByteArray &text)
{
    return QrCodePointer(QRcode_encodeString8bit(text.constData(), 0, QR_ECLEVEL_M));
}

bool dark(const QRcode &code, int row, int column)
{
    // Bit 0 of each module byte tells dark from light.
    return (code.data[row * code.width + column] & 1) != 0;
}

} // namespace

void QrRoutes::addTo(RouteTable &table)
{
    table.add("GET", "/v1/qrcode",
              [this](const SandboxRequest &request, const auto &) { return answer(request); });
}

QByteArray QrRoutes::fullLink(const QString &shortUrl) const
{
    if (shortUrl.isEmpty() || shortUrl.contains(QLatin1String("://")))
        return shortUrl.toUtf8();
    const QString host = shortUrl.section(QLatin1Char('/'), 0, 0);
    bool https = true;
    for (const QJsonValue &domain : m_state.accountDomains()) {
        if (domain[QStringLiteral("fullName")].toString() == host)
            https = domain[QStringLiteral("https")].toBool();
    }
    return ((https ? QStringLiteral("https://") : QStringLiteral("http://")) + shortUrl).toUtf8();
}

SandboxReply QrRoutes::answer(const SandboxRequest &request) const
{
    const QByteArray text = fullLink(request.queryValue(QStringLiteral("shortUrl")));
    if (text.isEmpty())
        return SandboxReply::fieldError(400, QStringLiteral("shortUrl"),
                                        QStringLiteral("shortUrl is required"));
    const QString type = request.queryValue(QStringLiteral("type"));
    if (type.startsWith(QLatin1String("svg"))) {
        const QByteArray svg = renderSvg(text);
        if (svg.isEmpty())
            return SandboxReply::fieldError(400, QStringLiteral("shortUrl"),
                                            QStringLiteral("too long for a QR code"));
        return SandboxReply::bytes(svg, "image/svg+xml");
    }
    int size = 256;
    if (request.hasQuery(QStringLiteral("size"))) {
        bool ok = false;
        size = request.queryValue(QStringLiteral("size")).toInt(&ok);
        if (!ok || size < 16 || size > 2048)
            return SandboxReply::fieldError(400, QStringLiteral("size"),
                                            QStringLiteral("size must be from 16 to 2048"));
    }
    const QImage image = render(text, size);
    if (image.isNull())
        return SandboxReply::fieldError(400, QStringLiteral("shortUrl"),
                                        QStringLiteral("too long for a QR code"));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return SandboxReply::bytes(png, "image/png");
}

QImage QrRoutes::render(const QByteArray &text, int size)
{
    const QrCodePointer code = encode(text);
    if (!code)
        return {};
    const int modules = code->width + 2 * quietZone;
    QImage image(size, size, QImage::Format_Grayscale8);
    image.fill(255);
    // Nearest-module sampling gives exactly the asked size even when it is no multiple of
    // the module count; scanners cope with modules of uneven width.
    for (int y = 0; y < size; ++y) {
        uchar *line = image.scanLine(y);
        const int row = y * modules / size - quietZone;
        if (row < 0 || row >= code->width)
            continue;
        for (int x = 0; x < size; ++x) {
            const int column = x * modules / size - quietZone;
            if (column >= 0 && column < code->width && dark(*code, row, column))
                line[x] = 0;
        }
    }
    return image;
}

QByteArray QrRoutes::renderSvg(const QByteArray &text)
{
    const QrCodePointer code = encode(text);
    if (!code)
        return {};
    const int modules = code->width + 2 * quietZone;
    QByteArray path;
    for (int row = 0; row < code->width; ++row) {
        for (int column = 0; column < code->width; ++column) {
            if (dark(*code, row, column))
                path += "M" + QByteArray::number(column + quietZone) + "," +
                        QByteArray::number(row + quietZone) + "h1v1h-1z";
        }
    }
    const QByteArray extent = QByteArray::number(modules);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" viewBox=\"0 0 " +
           extent + " " + extent + "\" width=\"" + extent + "mm\" height=\"" + extent +
           "mm\" shape-rendering=\"crispEdges\">"
           "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>"
           "<path fill=\"#000000\" d=\"" +
           path + "\"/></svg>\n";
}
