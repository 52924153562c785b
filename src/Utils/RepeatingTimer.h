#pragma once

#include <functional>
#include <memory>

class TimerSource;

// A repeating timer that runs its event handler on a background thread, every
// `timeInterval` seconds, once resumed. It cannot be suspended again: it runs until it is
// destroyed.
class RepeatingTimer final
{
public:
    enum class State {
        suspended,
        resumed,
    };

    explicit RepeatingTimer(double timeInterval);
    ~RepeatingTimer();
    RepeatingTimer(const RepeatingTimer &) = delete;
    RepeatingTimer &operator=(const RepeatingTimer &) = delete;

    // Set before resume; each tick calls it on the worker thread.
    void setEventHandler(std::function<void()> handler);
    void resume();

    [[nodiscard]] double timeInterval() const { return m_timeInterval; }
    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] bool hasTimer() const { return m_timer != nullptr; }
    [[nodiscard]] bool hasEventHandler() const { return static_cast<bool>(m_eventHandler); }

private:
    TimerSource &timer();

    double m_timeInterval;
    std::function<void()> m_eventHandler;
    std::unique_ptr<TimerSource> m_timer;
    State m_state = State::suspended;
};
