#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

// Watches the kernel's memory pressure information (/proc/pressure/memory) and reports each
// rise to a higher level. Where the kernel offers no such file, it stays silent.
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

    // False when the kernel offers no pressure information.
    bool start();
    void stop();

    [[nodiscard]] static std::optional<Reading> parse(const QByteArray &text);
    [[nodiscard]] static Level levelOf(const Reading &reading);
    [[nodiscard]] static QString levelName(Level level);

    // Reads once and reports a rise; also what the timer calls.
    void poll();

signals:
    void pressureRaised(MemoryPressureMonitor::Level level,
                        const MemoryPressureMonitor::Reading &reading);

private:
    QString m_path;
    QTimer m_timer;
    Level m_level = Level::Normal;
};
