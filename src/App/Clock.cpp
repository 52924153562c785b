#include "App/Clock.h"

#include <atomic>

namespace {
std::atomic<Clock *> installedClock{nullptr};
} // namespace

QDateTime Clock::now() const
{
    return QDateTime::currentDateTimeUtc();
}

Clock &Clock::current()
{
    static Clock systemClock;
    Clock *clock = installedClock.load();
    return clock ? *clock : systemClock;
}

void Clock::install(Clock *clock)
{
    installedClock.store(clock);
}
