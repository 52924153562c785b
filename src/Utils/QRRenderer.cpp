#include "Utils/QRRenderer.h"

#include <memory>
#include <qrencode.h>

namespace {

constexpr int kQuietZone = 4;

struct CodeDeleter
{
    void operator()(QRcode *code) const { QRcode_free(code); }
};
using Code = std::unique_ptr<QRcode, CodeDeleter>;

Code encode(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty())
        return nullptr;
    return Code(QRcode_encodeData(static_cast<int>(bytes.size()),
                                  reinterpret_cast<const unsigned char *>(bytes.constData()), 0,
                                  QR_ECLEVEL_M));
}

bool isDark(const QRcode &code, int row, int column)
{
    // Bit 0 of a module's byte is its colour.
    return (code.data[row * code.width + column] & 1) != 0;
}

} // namespace

QImage QRRenderer::render(const QString &text, int size)
{
    const Code code = encode(text);
    if (!code || size <= 0)
        return {};
    const int modules = code->width + 2 * kQuietZone;
    QImage image(size, size, QImage::Format_Grayscale8);
    image.fill(255);
    // Each pixel takes the module under its centre, so any size works, also one smaller
    // than a whole number of pixels per module.
    for (int y = 0; y < size; ++y) {
        const int row = (2 * y + 1) * modules / (2 * size) - kQuietZone;
        if (row < 0 || row >= code->width)
            continue;
        uchar *line = image.scanLine(y);
        for (int x = 0; x < size; ++x) {
            const int column = (2 * x + 1) * modules / (2 * size) - kQuietZone;
            if (column >= 0 && column < code->width && isDark(*code, row, column))
                line[x] = 0;
        }
    }
    return image;
}

QByteArray QRRenderer::renderSvg(const QString &text)
{
    const Code code = encode(text);
    if (!code)
        return {};
    QByteArray path;
    for (int row = 0; row < code->width; ++row) {
        for (int column = 0; column < code->width; ++column) {
            if (isDark(*code, row, column))
                path += 'M' + QByteArray::number(column + kQuietZone) + ',' +
                        QByteArray::number(row + kQuietZone) + "h1v1h-1z";
        }
    }
    const QByteArray extent = QByteArray::number(code->width + 2 * kQuietZone);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" viewBox=\"0 0 " +
           extent + ' ' + extent + "\" width=\"" + extent + "mm\" height=\"" + extent +
           "mm\" shape-rendering=\"crispEdges\">"
           "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>"
           "<path fill=\"#000000\" d=\"" +
           path + "\"/></svg>\n";
}
