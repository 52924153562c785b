#pragma once

#include <QIcon>

// The program's monochrome logo for the tray, drawn from its vector resource in the colour
// that stands out on the desktop's panel.
class StatusItemImage
{
public:
    StatusItemImage() = delete;
    [[nodiscard]] static QIcon logo();
    // The logo with pause bars in place of the link: watching the clipboard is paused.
    [[nodiscard]] static QIcon paused();
};
