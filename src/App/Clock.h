#pragma once

#include <QDateTime>

// The time source of everything that measures time: token expiry, single-flight windows,
// update stamps. Tests install a clock they can move.
class Clock
{
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual QDateTime now() const;

    static Clock &current();
    // Installs a clock for the whole program (tests); nullptr restores the system clock.
    static void install(Clock *clock);
};

// A clock that stands still until moved.
class ManualClock : public Clock
{
public:
    explicit ManualClock(QDateTime start = QDateTime::currentDateTimeUtc())
        : m_now(start)
    {}
    [[nodiscard]] QDateTime now() const override { return m_now; }
    void advance(qint64 msecs) { m_now = m_now.addMSecs(msecs); }
    void set(const QDateTime &now) { m_now = now; }

private:
    QDateTime m_now;
};
