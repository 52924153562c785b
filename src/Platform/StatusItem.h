#pragma once

#include <QIcon>
#include <QObject>
#include <QRect>

class QMenu;

// The program's icon in the desktop's tray: its one permanent piece of user interface.
class StatusItem : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~StatusItem() override = default;

    virtual void setImage(const QIcon &image) = 0;
    virtual void setToolTip(const QString &text) = 0;
    // Shows the icon; without a tray host the program keeps running without it.
    virtual void show() = 0;
    [[nodiscard]] virtual bool isVisible() const = 0;
    // Where the icon is on screen; empty when the tray does not tell.
    [[nodiscard]] virtual QRect geometry() const = 0;
    // The menu of a right click on the icon; it stays the caller's, who refills it on its
    // aboutToShow.
    virtual void setContextMenu(QMenu *menu) = 0;

signals:
    // A click on the icon (double activations already merged).
    void activated();
};
