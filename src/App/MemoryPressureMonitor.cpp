#include "App/MemoryPressureMonitor.h"

#include <QFile>
#include <QList>

namespace {

// Stall shares (in % of the last 10 s) from which memory counts as tight.
constexpr double kWarningSome = 10.0;
constexpr double kCriticalFull = 10.0;

std::optional<double> fieldValue(const QByteArray &line, const QByteArray &name)
{
    for (const QByteArray &field : line.split(' ')) {
        if (field.startsWith(name + '=')) {
            bool ok = false;
            const double value = field.mid(name.size() + 1).toDouble(&ok);
            if (ok)
                return value;
        }
    }
    return std::nullopt;
}

} // namespace

MemoryPressureMonitor::MemoryPressureMonitor(QString path, int intervalMs, QObject *parent)
    : QObject(parent)
    , m_path(std::move(path))
{
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &MemoryPressureMonitor::poll);
}

bool MemoryPressureMonitor::start()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    m_timer.start();
    return true;
}

void MemoryPressureMonitor::stop()
{
    m_timer.stop();
}

std::optional<MemoryPressureMonitor::Reading> MemoryPressureMonitor::parse(const QByteArray &text)
{
    std::optional<double> some;
    std::optional<double> full;
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith("some "))
            some = fieldValue(line, "avg10");
        else if (line.startsWith("full "))
            full = fieldValue(line, "avg10");
    }
    if (!some)
        return std::nullopt;
    return Reading{*some, full.value_or(0)};
}

MemoryPressureMonitor::Level MemoryPressureMonitor::levelOf(const Reading &reading)
{
    if (reading.fullAvg10 >= kCriticalFull)
        return Level::Critical;
    if (reading.someAvg10 >= kWarningSome)
        return Level::Warning;
    return Level::Normal;
}

QString MemoryPressureMonitor::levelName(Level level)
{
    switch (level) {
    case Level::Critical:
        return QStringLiteral("critical");
    case Level::Warning:
        return QStringLiteral("warning");
    case Level::Normal:
        break;
    }
    return QStringLiteral("normal");
}

void MemoryPressureMonitor::poll()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const std::optional<Reading> reading = parse(file.readAll());
    if (!reading)
        return;
    const Level level = levelOf(*reading);
    // Only a rise is an event; staying high or easing off is not reported again.
    if (level > m_level)
        emit pressureRaised(level, *reading);
    m_level = level;
}
