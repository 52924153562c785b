#include "App/LocalEventMonitor.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWindow>

LocalEventMonitor::LocalEventMonitor(Handler handler, QObject *parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installEventFilter(this);
}

LocalEventMonitor::~LocalEventMonitor()
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

bool LocalEventMonitor::eventFilter(QObject *watched, QEvent *event)
{
    // A click reaches its window first and then travels through the widgets; the window
    // stands for the click, so it is seen once.
    if (event->type() == QEvent::MouseButtonPress && watched->isWindowType()) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        // A copy: the handler may end the life of this monitor's owner.
        const Handler handler = m_handler;
        if ((mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton) && handler)
            handler(mouse->globalPosition());
    }
    return false;
}
