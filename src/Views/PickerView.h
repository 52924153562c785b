#pragma once

#include "Views/ViewController.h"

#include <QKeyEvent>
#include <QPushButton>

// A popover of rows to choose from: the arrows walk the rows (and a search field above them),
// Return chooses the focused one.
class PickerView : public ViewController
{
public:
    using ViewController::ViewController;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        switch (event->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up:
            focusNextPrevChild(event->key() == Qt::Key_Down);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (auto *button = qobject_cast<QPushButton *>(focusWidget())) {
                button->click();
                return;
            }
            break;
        default:
            break;
        }
        ViewController::keyPressEvent(event);
    }
};
