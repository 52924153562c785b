#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMutex>

#include <optional>

// The service's "slow down" (a 429 answer): until the time its Retry-After names, nothing more
// is sent to it. Times come from Clock, so tests move them instead of waiting.
class RateLimit
{
public:
    // Used when the answer names no time, or one that cannot be read.
    static constexpr qint64 defaultWaitSeconds = 60;
    // A longer wait would leave the program useless until restarted; the service is asked
    // again after this at the latest.
    static constexpr qint64 longestWaitSeconds = 3600;

    // The seconds a Retry-After value asks for at `now`: delta seconds, or an HTTP date in any
    // of its three forms. Nothing when the value is none of these.
    [[nodiscard]] static std::optional<qint64> retryAfterSeconds(const QByteArray &value,
                                                                 const QDateTime &now);

    // Records a 429 with its Retry-After value. Returns the seconds to wait when this begins a
    // new pause (the user is told then, once), nothing when one was already running.
    [[nodiscard]] std::optional<qint64> hold(const QByteArray &retryAfter);
    [[nodiscard]] bool isHolding() const;
    // Whole seconds until sending is allowed again, rounded up; 0 when it is now.
    [[nodiscard]] qint64 secondsLeft() const;

private:
    mutable QMutex m_mutex;
    QDateTime m_until;
};
