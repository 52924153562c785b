#include "Services/RateLimit.h"

#include "App/Clock.h"

#include <QLocale>
#include <QTimeZone>

#include <algorithm>

namespace {

std::optional<QDateTime> httpDate(const QByteArray &value)
{
    const QString text = QString::fromLatin1(value).simplified();
    const QLocale c = QLocale::c();
    // The preferred form, then the obsolete RFC 850 and asctime forms every recipient reads.
    QDateTime parsed = c.toDateTime(text, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
    if (!parsed.isValid())
        parsed = c.toDateTime(text, QStringLiteral("ddd MMM d hh:mm:ss yyyy"));
    if (!parsed.isValid()) {
        // Without its day name: read as 19yy, the weekday would not match the date.
        parsed = c.toDateTime(text.section(QStringLiteral(", "), 1),
                              QStringLiteral("dd-MMM-yy hh:mm:ss 'GMT'"));
        if (parsed.isValid() && parsed.date().year() < 1970)
            parsed = parsed.addYears(100);
    }
    if (!parsed.isValid())
        return std::nullopt;
    parsed.setTimeZone(QTimeZone::utc());
    return parsed;
}

} // namespace

std::optional<qint64> RateLimit::retryAfterSeconds(const QByteArray &value, const QDateTime &now)
{
    const QByteArray trimmed = value.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    if (std::all_of(trimmed.begin(), trimmed.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        bool ok = false;
        const qint64 seconds = trimmed.toLongLong(&ok);
        // Too many digits for a number is a very long wait, not an unreadable one.
        return ok ? seconds : longestWaitSeconds;
    }
    const std::optional<QDateTime> at = httpDate(trimmed);
    if (!at)
        return std::nullopt;
    // A date already past asks for no wait at all.
    return std::max<qint64>(0, (now.msecsTo(*at) + 999) / 1000);
}

std::optional<qint64> RateLimit::hold(const QByteArray &retryAfter)
{
    const QDateTime now = Clock::current().now();
    const qint64 asked = retryAfterSeconds(retryAfter, now).value_or(defaultWaitSeconds);
    // At least a second: a 429 that asks for none must still not be answered by a new request
    // in the same instant.
    const qint64 seconds = std::clamp<qint64>(asked, 1, longestWaitSeconds);
    const QMutexLocker locker(&m_mutex);
    const bool running = m_until.isValid() && now < m_until;
    const QDateTime until = now.addSecs(seconds);
    if (!running || until > m_until)
        m_until = until;
    if (running)
        return std::nullopt;
    return seconds;
}

bool RateLimit::isHolding() const
{
    const QMutexLocker locker(&m_mutex);
    return m_until.isValid() && Clock::current().now() < m_until;
}

qint64 RateLimit::secondsLeft() const
{
    const QMutexLocker locker(&m_mutex);
    if (!m_until.isValid())
        return 0;
    return std::max<qint64>(0, (Clock::current().now().msecsTo(m_until) + 999) / 1000);
}
