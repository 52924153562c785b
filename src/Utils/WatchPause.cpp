#include "Utils/WatchPause.h"

#include "App/Clock.h"
#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"

#include <QLocale>

using namespace Costants;

std::optional<QDateTime> WatchPause::pausedUntil()
{
    const std::optional<QDateTime> end =
        SettingsStore::shared().dateForKey(Preferences::watchingPausedUntil);
    if (!end || *end <= Clock::current().now())
        return std::nullopt;
    return end;
}

void WatchPause::pauseFor(int minutes)
{
    pauseUntil(Clock::current().now().addSecs(qint64(qBound(1, minutes, maxMinutes)) * 60));
}

void WatchPause::pauseUntilTomorrow()
{
    pauseUntil(startOfNextDay(Clock::current().now()));
}

QDateTime WatchPause::startOfNextDay(const QDateTime &now)
{
    return now.toLocalTime().date().addDays(1).startOfDay().toUTC();
}

void WatchPause::pauseUntil(const QDateTime &end)
{
    SettingsStore &store = SettingsStore::shared();
    store.setDate(Preferences::watchingPausedUntil, end.toUTC());
    store.synchronize();
    logLines({QStringLiteral("watching paused until ") + end.toUTC().toString(Qt::ISODate)});
    announce();
}

void WatchPause::resume()
{
    SettingsStore &store = SettingsStore::shared();
    const bool wasPaused = pausedUntil().has_value();
    store.remove(Preferences::watchingPausedUntil);
    store.synchronize();
    if (wasPaused)
        logLines({QStringLiteral("watching resumed")});
    announce();
}

void WatchPause::announce()
{
    NotificationCenter::shared().post(NotificationViews::watchingPauseChanged);
}

QString WatchPause::toolTip()
{
    const std::optional<QDateTime> end = pausedUntil();
    if (!end)
        return QStringLiteral("Quorvella");
    const QDateTime local = end->toLocalTime();
    const QLocale locale;
    // Minutes are enough; some locales' short format shows seconds too.
    const QString time = locale.toString(local.time(), shortTimeFormat());
    // The day is named only when the pause does not end today.
    const QString when = local.date() == Clock::current().now().toLocalTime().date()
                             ? time
                             : locale.toString(local, QStringLiteral("ddd ")) + time;
    return QStringLiteral("Quorvella: watching paused until %1").arg(when);
}

QString WatchPause::shortTimeFormat()
{
    return QLocale().timeFormat(QLocale::ShortFormat).remove(QStringLiteral(":ss"));
}
