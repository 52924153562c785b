#pragma once

#include <QIcon>

// The program's black monochrome logo for the tray, drawn from its vector resource.
class StatusItemImage
{
public:
    StatusItemImage() = delete;
    [[nodiscard]] static QIcon logo();
    // The logo with pause bars in place of the link: watching the clipboard is paused.
    [[nodiscard]] static QIcon paused();
};
