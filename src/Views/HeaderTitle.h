#pragma once

#include <QFont>
#include <QWidget>

// The title of every popover and window header: the desktop's font, 1.15 times, semibold.
inline void setHeaderTitleFont(QWidget *widget)
{
    QFont font = widget->font();
    font.setPointSizeF(font.pointSizeF() * 1.15);
    font.setWeight(QFont::DemiBold);
    widget->setFont(font);
}
