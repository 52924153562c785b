#pragma once

#include "RouteTable.h"

#include <QImage>

// The public favicon service (/s2/favicons?domain=HOST[&sz=N]) and the avatar images the
// account and workspace objects point at (/avatars/NAME.png): small real PNG images whose
// colour is derived from the name, so different hosts look different.
class FaviconRoutes
{
public:
    void addTo(RouteTable &table);

    [[nodiscard]] static QImage icon(const QString &name, int size, bool round);
    [[nodiscard]] static QByteArray png(const QImage &image);
};
