#include "App/EventMonitor.h"

#include <QGuiApplication>

EventMonitor::EventMonitor(int mask, Handler handler, QObject *parent)
    : QObject(parent)
    , m_mask(mask)
    , m_handler(std::move(handler))
{}

EventMonitor::~EventMonitor()
{
    stop();
}

void EventMonitor::start()
{
    if (m_running)
        return;
    m_running = true;
    if (auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        m_connection = connect(application, &QGuiApplication::applicationStateChanged, this,
                               &EventMonitor::onApplicationStateChanged);
    }
}

void EventMonitor::stop()
{
    if (!m_running)
        return;
    m_running = false;
    disconnect(m_connection);
}

void EventMonitor::onApplicationStateChanged(Qt::ApplicationState state)
{
    if (state == Qt::ApplicationInactive)
        handleOutsideClick();
}

void EventMonitor::handleOutsideClick(QEvent *event)
{
    if (m_running && m_handler)
        m_handler(event);
}
