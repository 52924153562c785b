#pragma once

#include "Platform/StatusItem.h"

#include <QMenu>
#include <QPointer>

// A tray icon that records what it was given and can be clicked by a test.
class FakeStatusItem : public StatusItem
{
    Q_OBJECT

public:
    using StatusItem::StatusItem;

    void setImage(const QIcon &image) override { m_image = image; }
    void setToolTip(const QString &text) override { m_toolTip = text; }
    void show() override
    {
        m_visible = m_trayAvailable;
        ++m_showCalls;
    }
    [[nodiscard]] bool isVisible() const override { return m_visible; }
    [[nodiscard]] QRect geometry() const override { return m_geometry; }
    void setContextMenu(QMenu *menu) override { m_contextMenu = menu; }

    void click() { emit activated(); }
    void setGeometry(const QRect &geometry) { m_geometry = geometry; }
    void setTrayAvailable(bool available) { m_trayAvailable = available; }
    [[nodiscard]] const QIcon &image() const { return m_image; }
    [[nodiscard]] const QString &toolTip() const { return m_toolTip; }
    [[nodiscard]] int showCalls() const { return m_showCalls; }
    // What a right click on the icon would open.
    [[nodiscard]] QMenu *contextMenu() const { return m_contextMenu; }

private:
    QIcon m_image;
    QString m_toolTip;
    QRect m_geometry;
    bool m_visible = false;
    bool m_trayAvailable = true;
    int m_showCalls = 0;
    QPointer<QMenu> m_contextMenu;
};
