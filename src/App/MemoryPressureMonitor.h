#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

#include <optional>

// Watches the kernel's memory pressure information (/proc/pressure/memory) and reports each
// rise to a higher level. Where the kernel lets us, it sleeps until the kernel wakes it (a
// pressure trigger) and reads the file periodically only until the pressure eases; else it
// reads the file periodically. Where the kernel offers no such file, it stays silent.
class MemoryPressureMonitor : public QObject
{
    Q_OBJECT

public:
    enum class Level { Normal, Warning, Critical };
    Q_ENUM(Level)

    struct Reading
    {
        double someAvg10 = 0; // % of time some task stalled on memory, last 10 s
        double fullAvg10 = 0; // % of time all tasks stalled on memory, last 10 s
    };

    explicit MemoryPressureMonitor(QString path = QStringLiteral("/proc/pressure/memory"),
                                   int intervalMs = 5000, QObject *parent = nullptr);
    ~MemoryPressureMonitor() override;

    // False when the kernel offers no pressure information.
    bool start();
    void stop();

    [[nodiscard]] static std::optional<Reading> parse(const QByteArray &text);
    [[nodiscard]] static Level levelOf(const Reading &reading);
    [[nodiscard]] static QString levelName(Level level);

    // Reads once and reports a rise; also what the timer calls.
    void poll();
    // Whether it reads the file periodically now (not when the kernel wakes it and all is calm).
    [[nodiscard]] bool isPolling() const { return m_timer.isActive(); }

signals:
    void pressureRaised(MemoryPressureMonitor::Level level,
                        const MemoryPressureMonitor::Reading &reading);

private:
    bool armTriggers();
    void disarmTriggers();

    QString m_path;
    QTimer m_timer;
    QList<QSocketNotifier *> m_triggers; // each owns a file descriptor with one trigger
    Level m_level = Level::Normal;
};
