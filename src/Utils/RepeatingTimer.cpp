#include "Utils/RepeatingTimer.h"

#include "Utils/TimerSource.h"

#include <chrono>

RepeatingTimer::RepeatingTimer(double timeInterval)
    : m_timeInterval(timeInterval)
{}

RepeatingTimer::~RepeatingTimer()
{
    // The order matters: no handler can run once the source is cancelled, and a source
    // that was never resumed is resumed only after cancelling, so it fires nothing.
    TimerSource &source = timer();
    source.setEventHandler({});
    source.cancel();
    if (m_state != State::resumed)
        source.resume();
    m_eventHandler = nullptr;
}

void RepeatingTimer::setEventHandler(std::function<void()> handler)
{
    m_eventHandler = std::move(handler);
}

void RepeatingTimer::resume()
{
    if (m_state == State::resumed)
        return;
    m_state = State::resumed;
    timer().resume();
}

TimerSource &RepeatingTimer::timer()
{
    if (m_timer)
        return *m_timer;
    using namespace std::chrono;
    const auto interval = duration_cast<nanoseconds>(duration<double>(m_timeInterval));
    m_timer = std::make_unique<TimerSource>();
    m_timer->schedule(interval, interval);
    // The source refers to its timer without owning it: the timer cancels the source, and
    // waits for a running tick, before it goes away.
    m_timer->setEventHandler([this] {
        if (m_eventHandler)
            m_eventHandler();
    });
    return *m_timer;
}
