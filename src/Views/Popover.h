#pragma once

#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <memory>

class ViewController;

// A frameless, light-themed panel anchored to the tray icon. It holds one view controller
// and never takes more of the user's attention than a popup needs.
class Popover : public QWidget
{
    Q_OBJECT

public:
    enum class Edge { Lower, Upper };

    // How long a hidden popover keeps its window and drawing surface: a tray program stays
    // small all day, and a later opening only has to draw it afresh.
    static constexpr int keepSurfaceMs = 10000;

    explicit Popover(QWidget *parent = nullptr);
    ~Popover() override;

    void setContentViewController(std::unique_ptr<ViewController> controller);
    [[nodiscard]] ViewController *contentViewController() const { return m_content.get(); }
    // Drops the view controller, deleted once control is back in the event loop; the next
    // show creates a new one.
    void removeContentViewController();

    // Shows the popover below (or, at the bottom of the screen, above) the anchor. An empty
    // anchor means the tray did not tell where the icon is: see placement().
    void show(const QRect &anchor, Edge edge = Edge::Lower);
    void performClose(QObject *sender = nullptr);
    [[nodiscard]] bool isShown() const { return isVisible(); }
    // Closes at Esc and at a press outside it in the program (the list closes it with itself
    // when another program is clicked); a press on the keeper (the button that toggles it) is
    // left to that button.
    void setTransient(QWidget *keeper);
    // Gives the window and its drawing surface back while hidden (done by itself a while
    // after each close); the next show creates them again.
    void releaseSurface();

    // A screen: all of it, and what panels leave free.
    struct Screen
    {
        QRect geometry;
        QRect available;
    };

    // Where a popover of this size goes (pure, for tests). Under an anchor that lies on one
    // of the screens (the primary first); otherwise in the top-right corner of the screen with
    // the pointer, where the list would open: never at the pointer itself, which is anywhere
    // when the opening came from the keyboard or a notification. Always within what the
    // chosen screen's panels leave free.
    [[nodiscard]] static QPoint placement(const QSize &size, const QRect &anchor, Edge edge,
                                          const QList<Screen> &screens, const QPoint &pointer);

signals:
    void didClose();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_transient = false;
    QPointer<QWidget> m_keeper;
    std::unique_ptr<ViewController> m_content;
    QTimer m_releaseSurface;
};
