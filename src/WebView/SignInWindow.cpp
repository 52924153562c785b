#include "SignInWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <QWindow>

namespace {
constexpr int barHeight = 28;
} // namespace

SignInWindow::SignInWindow(QWebEnginePage *page, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setWindowTitle(QStringLiteral("Quorvella"));
    setObjectName(QStringLiteral("SignInWindow"));
    resize(460, 640);

    m_bar = new QWidget(this);
    m_bar->setObjectName(QStringLiteral("dragBar"));
    m_bar->setFixedHeight(barHeight);
    m_bar->setCursor(Qt::OpenHandCursor);
    m_bar->installEventFilter(this);
    auto *close = new QToolButton(m_bar);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setText(QStringLiteral("\u2715"));
    close->setToolTip(QStringLiteral("Close"));
    close->setAutoRaise(true);
    close->setCursor(Qt::ArrowCursor);
    connect(close, &QToolButton::clicked, this, &QWidget::close);
    auto *barLayout = new QHBoxLayout(m_bar);
    barLayout->setContentsMargins(8, 2, 4, 2);
    barLayout->addStretch();
    barLayout->addWidget(close);

    m_view = new QWebEngineView(this);
    m_view->setPage(page);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_bar);
    layout->addWidget(m_view, 1);
}

void SignInWindow::closeByProgram()
{
    m_closingByProgram = true;
    close();
}

void SignInWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!m_closingByProgram)
        emit closedByUser();
}

bool SignInWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_bar)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        // The window manager moves the window where it can (X11 and Wayland alike);
        // without one (a bare X server) the window follows the pointer itself.
        if (windowHandle() && windowHandle()->startSystemMove())
            return true;
        m_dragging = true;
        m_dragOffset = mouse->globalPosition().toPoint() - frameGeometry().topLeft();
        return true;
    }
    case QEvent::MouseMove:
        if (m_dragging) {
            move(static_cast<QMouseEvent *>(event)->globalPosition().toPoint() - m_dragOffset);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        m_dragging = false;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
