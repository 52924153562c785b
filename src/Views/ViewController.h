#pragma once

#include <QString>
#include <QWidget>

// The content of a popover or window, created by identifier from the layout resources.
class ViewController : public QWidget
{
    Q_OBJECT

public:
    explicit ViewController(QWidget *parent = nullptr)
        : QWidget(parent)
    {}

    // Called each time the popover that holds it is shown.
    virtual void viewWillAppear() {}
};
