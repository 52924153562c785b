#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// The program's monochrome icons (resources/icons/<name>.svg), drawn at the screen's pixel
// ratio: grey in normal mode, the accent colour when hovered, pale when disabled. Icons whose
// name ends in "-red" keep their own colour.
class Icons
{
public:
    Icons() = delete;

    [[nodiscard]] static QIcon icon(const QString &name);
    [[nodiscard]] static QPixmap pixmap(const QString &name, int size, const QColor &colour,
                                        qreal devicePixelRatio);

    static inline const QColor normal{0x44, 0x44, 0x44};
    static inline const QColor accent{0x25, 0x63, 0xEB};
    static inline const QColor disabled{0xBB, 0xBB, 0xBB};
};
