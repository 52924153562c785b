// The signed-in program at rest: started again with a stored sign-in, the clipboard watched and
// nothing else to do. Resident memory and its proportional share (PSS) 6 s after the start, then
// the processor time and wake-ups over 30 s. Targets: at most 30 MB resident, under 0.03 % of a
// core. The time comes from the scheduler's nanosecond counters of every thread, since the
// 10 ms ticks of /proc/PID/stat are too coarse for it.
//
//   build/bin/idle_signedin     (needs Xvfb, dbus-daemon, xdotool, xclip, dunst)
#include "App/Costants.h"
#include "EndToEndSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>

#include <cstdio>

namespace {

// A "Name: value kB" field of a /proc file of the process, 0 when it is gone.
qint64 fieldKb(qint64 pid, const QString &file, const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/%1/%2").arg(pid).arg(file));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).simplified().split(' ').value(0).toLongLong();
    }
    return 0;
}

struct Usage
{
    qint64 runNs = 0;   // time on a processor, every thread
    qint64 wakeups = 0; // times a thread was put on a processor
};

Usage usage(qint64 pid)
{
    Usage total;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks + '/' + task + "/schedstat");
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> fields = file.readAll().simplified().split(' ');
        total.runNs += fields.value(0).toLongLong();
        total.wakeups += fields.value(2).toLongLong();
    }
    return total;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    constexpr int kIdleSeconds = 30;
    const QString rule = Costants::Preferences::OptionsRebrand::notification;
    EndToEndSession session;
    if (!session.error().isEmpty() || !session.signIn(rule)) {
        std::fprintf(stderr, "idle_signedin: sign-in failed: %s\n%s\n", qPrintable(session.error()),
                     qPrintable(session.user->output()));
        return 1;
    }
    if (!session.restart(rule)) {
        std::fprintf(stderr, "idle_signedin: restart failed\n%s\n",
                     qPrintable(session.user->output()));
        return 1;
    }
    const qint64 pid = session.user->program().processId();
    QTest::qWait(6000);
    const qint64 rss = fieldKb(pid, QStringLiteral("status"), "VmRSS");
    std::printf("resident 6 s after a signed-in start   %7.1f MB\n", double(rss) / 1024.0);
    std::printf("  proportional (PSS)                   %7.1f MB\n",
                double(fieldKb(pid, QStringLiteral("smaps_rollup"), "Pss")) / 1024.0);
    std::printf("  anonymous / file / shared memory     %5.1f / %4.1f / %4.1f MB\n",
                double(fieldKb(pid, QStringLiteral("status"), "RssAnon")) / 1024.0,
                double(fieldKb(pid, QStringLiteral("status"), "RssFile")) / 1024.0,
                double(fieldKb(pid, QStringLiteral("status"), "RssShmem")) / 1024.0);
    std::fflush(stdout);

    const Usage before = usage(pid);
    QTest::qWait(kIdleSeconds * 1000);
    const Usage after = usage(pid);
    const double percent = double(after.runNs - before.runNs) / (kIdleSeconds * 1e9) * 100.0;
    std::printf("idle over %d s: %.2f ms on a processor, %.4f %% of a core, %.1f wake-ups/s\n",
                kIdleSeconds, double(after.runNs - before.runNs) / 1e6, percent,
                double(after.wakeups - before.wakeups) / kIdleSeconds);
    const bool met = rss <= 30 * 1024 && percent < 0.03;
    std::printf("targets (at most 30 MB, under 0.03 %% of a core): %s\n", met ? "met" : "NOT met");
    return met ? 0 : 2;
}
