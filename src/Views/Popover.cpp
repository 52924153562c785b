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

namespace {

constexpr int kMargin = 6;

// The light appearance, whatever the desktop's theme: the views are designed for it.
QPalette lightPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0xf6, 0xf6, 0xf6));
    palette.setColor(QPalette::WindowText, QColor(0x1d, 0x1d, 0x1f));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(0xf0, 0xf0, 0xf0));
    palette.setColor(QPalette::Text, QColor(0x1d, 0x1d, 0x1f));
    palette.setColor(QPalette::Button, QColor(0xfa, 0xfa, 0xfa));
    palette.setColor(QPalette::ButtonText, QColor(0x1d, 0x1d, 0x1f));
    palette.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    palette.setColor(QPalette::Highlight, QColor(0x2f, 0x6f, 0xeb));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

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

QPoint Popover::placement(const QSize &size, const QRect &anchor, Edge edge, const QRect &screen,
                          const QPoint &pointer)
{
    const QRect target = anchor.isEmpty() ? QRect(pointer, QSize(1, 1)) : anchor;
    int x = target.center().x() - size.width() / 2;
    // A tray at the bottom of the screen: open upwards.
    const bool upper = edge == Edge::Upper || target.center().y() > screen.center().y();
    int y = upper ? target.top() - kMargin - size.height() : target.bottom() + kMargin;
    x = std::clamp(x, screen.left() + kMargin,
                   std::max(screen.left() + kMargin, screen.right() - kMargin - size.width()));
    y = std::clamp(y, screen.top() + kMargin,
                   std::max(screen.top() + kMargin, screen.bottom() - kMargin - size.height()));
    return {x, y};
}

void Popover::show(const QRect &anchor, Edge edge)
{
    if (m_content)
        m_content->viewWillAppear();
    adjustSize();
    const QPoint pointer = QCursor::pos();
    QScreen *screen = anchor.isEmpty() ? QGuiApplication::screenAt(pointer)
                                       : QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    // Neither the tray nor the pointer tells: the top-right corner, where trays usually are.
    QRect effectiveAnchor = anchor;
    if (anchor.isEmpty() && !area.contains(pointer))
        effectiveAnchor = QRect(area.right() - kMargin, area.top(), 1, 1);
    move(placement(sizeHint(), effectiveAnchor, edge, area, pointer));
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
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(QColor(0, 0, 0, 48));
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
