#pragma once

#include <QObject>

// The content of a title-less window: it presents itself when the window shows, is dismissed
// when the window closes, and may ask the window to close.
class WindowContentController : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~WindowContentController() override = default;

    virtual void present() = 0;
    // Brings the content back to the front when the window is asked to show again.
    virtual void raise() {}
    virtual void dismiss() = 0;

signals:
    void closeRequested();
};
