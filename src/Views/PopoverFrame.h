#pragma once

#include "Views/HeaderTitle.h"

#include <QFrame>
#include <QLabel>
#include <QRectF>
#include <QVBoxLayout>

// The frame of the small popovers: a "workspaceBackView" filling the owner with the header
// title on top. The popover adds its content to the layout returned; `back` is the frame.
inline QVBoxLayout *buildPopoverFrame(QWidget *owner, const QString &title, int spacing,
                                      QWidget **back)
{
    auto *root = new QVBoxLayout(owner);
    root->setContentsMargins(0, 0, 0, 0);
    auto *frame = new QFrame(owner);
    frame->setObjectName(QStringLiteral("workspaceBackView"));
    root->addWidget(frame);
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(spacing);
    auto *label = new QLabel(title, frame);
    setHeaderTitleFont(label);
    layout->addWidget(label);
    *back = frame;
    return layout;
}

// Where a widget stands on screen, for the outside-click rules.
inline QRectF globalRect(const QWidget *widget)
{
    return {QPointF(widget->mapToGlobal(QPoint(0, 0))), QSizeF(widget->size())};
}
