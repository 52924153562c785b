#include "Utils/TimerSource.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

#include <algorithm>

using namespace std::chrono;

TimerSource::TimerSource()
    : m_thread(std::make_unique<QThread>())
    , m_timer(new QTimer)
{
    m_thread->setObjectName(QStringLiteral("quorvella-clipboard-tick"));
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->moveToThread(m_thread.get());
    QObject::connect(m_timer, &QTimer::timeout, m_timer, [this] { fire(); });
    QObject::connect(m_thread.get(), &QThread::finished, m_timer, &QObject::deleteLater);
}

TimerSource::~TimerSource()
{
    cancel();
    // A thread that never ran left its timer behind.
    if (m_timer)
        delete m_timer;
}

void TimerSource::schedule(nanoseconds deadline, nanoseconds interval)
{
    const QMutexLocker locker(&m_mutex);
    m_firstDeadline = steady_clock::now() + deadline;
    m_interval = interval;
}

void TimerSource::setEventHandler(Handler handler)
{
    const QMutexLocker locker(&m_mutex);
    m_handler = std::move(handler);
}

void TimerSource::resume()
{
    const QMutexLocker locker(&m_mutex);
    if (m_resumed || m_cancelled)
        return;
    m_resumed = true;
    const auto untilFirst = duration_cast<milliseconds>(
        std::max(nanoseconds(0), m_firstDeadline - steady_clock::now()));
    const auto interval = duration_cast<milliseconds>(m_interval);
    m_thread->start();
    QTimer *timer = m_timer;
    QMetaObject::invokeMethod(
        timer,
        [timer, untilFirst, interval] {
            // The first shot waits for the deadline; the following ones keep the interval.
            timer->setInterval(untilFirst);
            QObject::connect(
                timer, &QTimer::timeout, timer, [timer, interval] { timer->setInterval(interval); },
                Qt::SingleShotConnection);
            timer->start();
        },
        Qt::QueuedConnection);
}

void TimerSource::cancel()
{
    {
        const QMutexLocker locker(&m_mutex);
        if (m_cancelled)
            return;
        m_cancelled = true;
    }
    if (!m_thread->isRunning() && !m_thread->isFinished()) {
        // Never started: the timer still belongs to a thread that never ran.
        return;
    }
    m_thread->quit();
    // A tick may be waiting for the GUI thread (a clipboard write hops there). When we are
    // that thread, keep serving such calls while we wait, or both would wait for ever.
    const bool onMainThread = QCoreApplication::instance() &&
                              QThread::currentThread() == QCoreApplication::instance()->thread();
    while (!m_thread->wait(QDeadlineTimer(50))) {
        if (onMainThread)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    }
    m_timer = nullptr; // deleted by the thread's finish
}

bool TimerSource::isCancelled() const
{
    const QMutexLocker locker(&m_mutex);
    return m_cancelled;
}

void TimerSource::fire()
{
    Handler handler;
    {
        const QMutexLocker locker(&m_mutex);
        if (m_cancelled)
            return;
        handler = m_handler;
    }
    if (handler)
        handler();
}
