#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>

#include <optional>

// Which logo the tray shows: a dark one on a light panel, a light one on a dark panel. The
// panel's colour is not known to the program; the desktop's palette is the best sign of it,
// unless the desktop says outright which scheme the user prefers.
class TrayIconVariant
{
public:
    enum class Panel { light, dark };

    // The desktop's "color-scheme" preference: 0 no preference, 1 prefers dark, 2 prefers
    // light (the values of the appearance settings portal).
    using ColorScheme = std::optional<uint>;

    TrayIconVariant() = delete;

    [[nodiscard]] static Panel panelFor(const QPalette &palette, ColorScheme scheme = {});
    [[nodiscard]] static QColor logoColour(Panel panel);
    // The logo (or another tray drawing) in the colour of the panel's variant, at the usual
    // tray sizes.
    [[nodiscard]] static QIcon
    logo(Panel panel, const QString &resource = QStringLiteral(":/icons/tray-logo.svg"));
};
