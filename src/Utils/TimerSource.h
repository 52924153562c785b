#pragma once

#include <QMutex>

#include <chrono>
#include <functional>
#include <memory>

class QThread;
class QTimer;

// A repeating timer whose handler runs on a worker thread of its own: a QTimer (precise) in
// the event loop of a dedicated QThread. It is created suspended and fires nothing until
// resumed; after cancel it never fires again. One thread delivers the ticks, so two ticks
// never overlap.
class TimerSource
{
public:
    using Handler = std::function<void()>;

    TimerSource();
    ~TimerSource();
    TimerSource(const TimerSource &) = delete;
    TimerSource &operator=(const TimerSource &) = delete;

    // First tick `deadline` after now, then one every `interval`.
    void schedule(std::chrono::nanoseconds deadline, std::chrono::nanoseconds interval);
    void setEventHandler(Handler handler);
    void resume();
    // Stops the ticks and waits until a tick that is running has finished.
    void cancel();

    [[nodiscard]] bool isCancelled() const;
    // The worker thread that runs the ticks, for checks.
    [[nodiscard]] QThread *thread() const { return m_thread.get(); }

private:
    void fire();

    mutable QMutex m_mutex;
    Handler m_handler;
    std::chrono::steady_clock::time_point m_firstDeadline;
    std::chrono::nanoseconds m_interval{0};
    bool m_resumed = false;
    bool m_cancelled = false;
    std::unique_ptr<QThread> m_thread;
    QTimer *m_timer = nullptr; // lives on m_thread; deleted when the thread ends
};
