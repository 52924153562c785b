#include "Views/Popover.h"

#include "Views/ViewController.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

#include <optional>

namespace {

constexpr int kMargin = 6;

// The light appearance, whatever the desktop's theme: the views are designed for it. White
// canvas, pale grey secondary panels, the accent for selections.
QPalette lightPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, QColor(0x1d, 0x1d, 0x1f));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(0xf6, 0xf7, 0xf9));
    palette.setColor(QPalette::Text, QColor(0x1d, 0x1d, 0x1f));
    palette.setColor(QPalette::Button, Qt::white);
    palette.setColor(QPalette::ButtonText, QColor(0x1d, 0x1d, 0x1f));
    palette.setColor(QPalette::PlaceholderText, QColor(0x6b, 0x6b, 0x6b));
    palette.setColor(QPalette::Highlight, QColor(0x25, 0x63, 0xeb));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x25, 0x63, 0xeb));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xbb, 0xbb, 0xbb));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0xbb, 0xbb, 0xbb));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0xbb, 0xbb, 0xbb));
    return palette;
}

// The 1 px border around every popover.
const QColor kBorder(0xdd, 0xdd, 0xdd);

} // namespace

Popover::Popover(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setPalette(lightPalette());
    setAutoFillBackground(false);
    setAttribute(Qt::WA_ShowWithoutActivating, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    m_releaseSurface.setSingleShot(true);
    m_releaseSurface.setInterval(keepSurfaceMs);
    connect(&m_releaseSurface, &QTimer::timeout, this, &Popover::releaseSurface);
}

Popover::~Popover() = default;

void Popover::setContentViewController(std::unique_ptr<ViewController> controller)
{
    removeContentViewController();
    m_content = std::move(controller);
    if (m_content) {
        m_content->setParent(this);
        m_content->setPalette(palette());
        layout()->addWidget(m_content.get());
        adjustSize();
    }
}

void Popover::removeContentViewController()
{
    if (!m_content)
        return;
    layout()->removeWidget(m_content.get());
    m_content->hide();
    // Later: the view may be what asked for its own removal (sign-out from its settings menu,
    // whose loop is still running).
    m_content.release()->deleteLater();
}

QPoint Popover::placement(const QSize &size, const QRect &anchor, Edge edge,
                          const QList<Screen> &screens, const QPoint &pointer)
{
    // The area left free on the screen that shows this point.
    const auto areaAt = [&screens](const QPoint &point) -> std::optional<QRect> {
        for (const Screen &screen : screens) {
            if (screen.geometry.contains(point))
                return screen.available;
        }
        return std::nullopt;
    };
    const std::optional<QRect> anchored = anchor.isEmpty() ? std::nullopt : areaAt(anchor.center());
    const QRect fallback = screens.isEmpty() ? QRect(0, 0, 1280, 800) : screens.first().available;
    const QRect area = anchored.value_or(areaAt(pointer).value_or(fallback));
    int x = 0;
    int y = 0;
    if (anchored) {
        x = anchor.center().x() - size.width() / 2;
        // A tray at the bottom of the screen: open upwards.
        const bool upper = edge == Edge::Upper || anchor.center().y() > area.center().y();
        y = upper ? anchor.top() - kMargin - size.height() : anchor.bottom() + kMargin;
    } else {
        // Where trays usually are.
        x = area.right() - kMargin - size.width();
        y = area.top() + kMargin;
    }
    x = std::clamp(x, area.left() + kMargin,
                   std::max(area.left() + kMargin, area.right() - kMargin - size.width()));
    y = std::clamp(y, area.top() + kMargin,
                   std::max(area.top() + kMargin, area.bottom() - kMargin - size.height()));
    return {x, y};
}

void Popover::show(const QRect &anchor, Edge edge)
{
    if (m_content)
        m_content->viewWillAppear();
    adjustSize();
    QList<Screen> screens;
    QList<QScreen *> all = QGuiApplication::screens();
    if (QScreen *primary = QGuiApplication::primaryScreen()) {
        all.removeAll(primary);
        all.prepend(primary);
    }
    for (QScreen *screen : all)
        screens.append({screen->geometry(), screen->availableGeometry()});
    move(placement(sizeHint(), anchor, edge, screens, QCursor::pos()));
    // A Wayland window cannot place itself (the move above is ignored there): a window of
    // one fixed size is one the compositor floats and places on screen, where a tiling
    // compositor would otherwise stretch it over the whole output.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        setFixedSize(sizeHint());
    QWidget::show();
    raise();
    // Activation lets a click in another program be noticed as our window losing focus.
    activateWindow();
}

void Popover::performClose(QObject *sender)
{
    Q_UNUSED(sender)
    if (!isVisible())
        return;
    hide();
    emit didClose();
}

void Popover::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(kBorder);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void Popover::setTransient(QWidget *keeper)
{
    m_transient = true;
    m_keeper = keeper;
}

bool Popover::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const QPoint at = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
        const bool onKeeper =
            m_keeper && QRect(m_keeper->mapToGlobal(QPoint(0, 0)), m_keeper->size()).contains(at);
        // A dialogue this popover opened (a save panel) is not outside it.
        const auto *target = qobject_cast<QWidget *>(watched);
        const bool inDialog = target && (target->window()->windowType() == Qt::Dialog);
        if (target && !frameGeometry().contains(at) && !onKeeper && !inDialog)
            performClose();
        break;
    }
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && watched->isWidgetType() &&
            static_cast<QWidget *>(watched)->window() == this) {
            performClose();
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

void Popover::showEvent(QShowEvent *event)
{
    if (m_transient)
        qApp->installEventFilter(this);
    m_releaseSurface.stop();
    QWidget::showEvent(event);
}

void Popover::hideEvent(QHideEvent *event)
{
    if (m_transient)
        qApp->removeEventFilter(this);
    QWidget::hideEvent(event);
    m_releaseSurface.start();
}

void Popover::releaseSurface()
{
    // The next show creates the window again; the widgets and their state stay as they are.
    if (!isVisible() && testAttribute(Qt::WA_WState_Created))
        destroy();
}
