#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Draws a QR code on this machine, for when the QR service cannot: the same text gives a code
// that any scanner reads back. Error correction M, a quiet zone of four modules.
class QRRenderer
{
public:
    QRRenderer() = delete;

    // size × size pixels; a null image when the text is too long for a QR code.
    [[nodiscard]] static QImage render(const QString &text, int size);
    // An SVG drawing of the code; empty when the text is too long for a QR code.
    [[nodiscard]] static QByteArray renderSvg(const QString &text);
};
