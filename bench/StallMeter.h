#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <utility>

// The longest gap between the ticks of a 5 ms timer: how long the GUI thread was busy. An
// optional call at each tick samples something else at the same pace.
class StallMeter : public QObject
{
public:
    explicit StallMeter(std::function<void()> onTick = {})
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this, onTick = std::move(onTick)] {
            if (onTick)
                onTick();
            if (m_clock.isValid())
                m_worst = std::max(m_worst, m_clock.restart() - 5);
            else
                m_clock.start();
        });
        m_timer.start();
    }
    [[nodiscard]] qint64 worst() const { return m_worst; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_worst = 0;
};
