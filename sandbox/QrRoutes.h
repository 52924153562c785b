#pragma once

#include "RouteTable.h"

#include <QImage>

// The QR service: GET /v1/qrcode?shortUrl=...&size=N renders a real QR code as a PNG of N×N
// pixels; type=svg6 answers an SVG drawing instead.
class QrRoutes
{
public:
    void addTo(RouteTable &table);

    // The code's modules with a quiet zone of four, scaled to exactly size × size pixels.
    [[nodiscard]] static QImage render(const QByteArray &text, int size);
    [[nodiscard]] static QByteArray renderSvg(const QByteArray &text);

private:
    [[nodiscard]] static SandboxReply answer(const SandboxRequest &request);
};
