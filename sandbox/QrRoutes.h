#pragma once

#include "RouteTable.h"
#include "SandboxState.h"

#include <QImage>

// The QR service: GET /v1/qrcode?shortUrl=...&size=N renders a real QR code as a PNG of N×N
// pixels; type=svg6 answers an SVG drawing instead. A short URL without scheme is drawn as the
// full link: "http://" on a domain of the account without https, "https://" otherwise.
class QrRoutes
{
public:
    explicit QrRoutes(const SandboxState &state)
        : m_state(state)
    {}
    void addTo(RouteTable &table);

    // The code's modules with a quiet zone of four, scaled to exactly size × size pixels.
    [[nodiscard]] static QImage render(const QByteArray &text, int size);
    [[nodiscard]] static QByteArray renderSvg(const QByteArray &text);

private:
    [[nodiscard]] SandboxReply answer(const SandboxRequest &request) const;
    [[nodiscard]] QByteArray fullLink(const QString &shortUrl) const;

    const SandboxState &m_state;
};
