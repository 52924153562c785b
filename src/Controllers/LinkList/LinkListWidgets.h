#pragma once

#include <QString>

class QToolButton;
class QWidget;

// Small pieces the parts of the link list share, so that they look alike.
namespace LinkListWidgets {

// White whatever palette the popover hands down: the canvas of the design.
void paintWhite(QWidget *widget);

// An icon-only button of the header, named and reached by Tab.
QToolButton *headerButton(const QString &icon, const QString &name);

// Loads a picture into the button as a circle; the last one asked for wins, so a late avatar
// of what was shown before is dropped.
void setAvatar(QToolButton *button, const QString &url);

} // namespace LinkListWidgets
