#pragma once

#include "App/TrayIconVariant.h"

#include <QIcon>

// The program's monochrome logo for the tray, drawn from its vector resource in the colour
// that stands out on the desktop's panel: from the desktop's colour-scheme preference when it
// has one, else from the palette.
class StatusItemImage
{
public:
    StatusItemImage() = delete;
    [[nodiscard]] static QIcon logo(TrayIconVariant::ColorScheme scheme = {});
    // The logo with pause bars in place of the link: watching the clipboard is paused.
    [[nodiscard]] static QIcon paused(TrayIconVariant::ColorScheme scheme = {});
};
