#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// The user's pause of clipboard watching: while it lasts, copied addresses are not handed on.
// Its end lives in the settings store, so it outlasts a restart; time comes from the clock.
class WatchPause
{
public:
    WatchPause() = delete;

    // The longest pause the command line accepts: thirty days.
    static constexpr int maxMinutes = 30 * 24 * 60;
    static constexpr int oneHour = 60;

    // When the pause ends, or nothing while watching (also once a stored end has passed).
    [[nodiscard]] static std::optional<QDateTime> pausedUntil();
    static void pauseFor(int minutes);
    // Until the start of the next day, local time.
    static void pauseUntilTomorrow();
    static void resume();

    [[nodiscard]] static QDateTime startOfNextDay(const QDateTime &now);
    // Hours and minutes in the user's locale.
    [[nodiscard]] static QString shortTimeFormat();
    // The tray icon's tooltip for the current state.
    [[nodiscard]] static QString toolTip();

private:
    static void pauseUntil(const QDateTime &end);
    static void announce();
};
