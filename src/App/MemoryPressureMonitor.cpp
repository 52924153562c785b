#include "App/MemoryPressureMonitor.h"

#include <QFile>
#include <QList>
#include <QSocketNotifier>

#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace {

// Stall shares (in % of the last 10 s) from which memory counts as tight.
constexpr double kWarningSome = 10.0;
constexpr double kCriticalFull = 10.0;
// The same 10 % over the same 10 s window, as kernel triggers: 1 s of stall within 10 s.
constexpr const char *kTriggers[] = {"some 1000000 10000000", "full 1000000 10000000"};

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

MemoryPressureMonitor::~MemoryPressureMonitor()
{
    disarmTriggers();
}

bool MemoryPressureMonitor::start()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (m_triggers.isEmpty() && armTriggers())
        poll(); // already under pressure: follow it until it eases
    else if (m_triggers.isEmpty())
        m_timer.start();
    return true;
}

void MemoryPressureMonitor::stop()
{
    m_timer.stop();
    disarmTriggers();
}

bool MemoryPressureMonitor::armTriggers()
{
    const QByteArray path = QFile::encodeName(m_path);
    for (const char *trigger : kTriggers) {
        const int fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            disarmTriggers();
            return false;
        }
        // Only the kernel's own files take triggers; a write to any other file would just
        // change it.
        struct statfs filesystem = {};
        const bool kernelFile =
            ::fstatfs(fd, &filesystem) == 0 &&
            (filesystem.f_type == PROC_SUPER_MAGIC || filesystem.f_type == CGROUP2_SUPER_MAGIC);
        if (!kernelFile || ::write(fd, trigger, std::strlen(trigger) + 1) < 0) {
            ::close(fd);
            disarmTriggers();
            return false;
        }
        auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Exception, this);
        connect(notifier, &QSocketNotifier::activated, this, &MemoryPressureMonitor::poll);
        m_triggers.append(notifier);
    }
    return true;
}

void MemoryPressureMonitor::disarmTriggers()
{
    for (QSocketNotifier *notifier : std::as_const(m_triggers)) {
        const auto fd = notifier->socket();
        delete notifier;
        ::close(static_cast<int>(fd));
    }
    m_triggers.clear();
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
    // Woken by the kernel: read on while the pressure lasts, then sleep again.
    if (!m_triggers.isEmpty()) {
        if (level == Level::Normal)
            m_timer.stop();
        else if (!m_timer.isActive())
            m_timer.start();
    }
}
