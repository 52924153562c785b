#include "DesktopSession.h"

#include <QDeadlineTimer>

#include <csignal>
#include <sys/prctl.h>

namespace {

// The first line a process writes on its standard output, within the timeout.
QString firstLine(QProcess &process, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!process.canReadLine()) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
            return {};
        process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}

// Dies with the test even when the test is killed: a server left behind would keep the
// e2e lock, which every process started under it inherits.
void tieToTest(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

} // namespace

DesktopSession::DesktopSession()
{
    tieToTest(m_xvfb);
    tieToTest(m_bus);
    // -displayfd 1: Xvfb picks a free display itself and writes its number on stdout.
    m_xvfb.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
    const QString number = firstLine(m_xvfb, 15000);
    if (number.isEmpty()) {
        m_error = "Xvfb did not start: " + QString::fromLocal8Bit(m_xvfb.readAllStandardError());
        return;
    }
    m_display = ':' + number;

    m_bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    m_busAddress = firstLine(m_bus, 10000);
    if (m_busAddress.isEmpty())
        m_error = "dbus-daemon did not start";
}

DesktopSession::~DesktopSession()
{
    stop(m_bus);
    stop(m_xvfb);
}

QProcessEnvironment DesktopSession::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", m_display);
    environment.insert("DBUS_SESSION_BUS_ADDRESS", m_busAddress);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.remove("WAYLAND_DISPLAY");
    if (!m_wayland.isEmpty()) {
        environment.remove("DISPLAY");
        environment.insert("WAYLAND_DISPLAY", m_wayland);
        environment.insert("QT_QPA_PLATFORM", m_qtPlatform);
    }
    return environment;
}

bool DesktopSession::start(QProcess &process, const QString &program,
                           const QStringList &arguments) const
{
    process.setProcessEnvironment(environment());
    tieToTest(process);
    process.start(program, arguments);
    return process.waitForStarted(10000);
}

std::optional<QByteArray> DesktopSession::run(const QString &program, const QStringList &arguments,
                                              int timeoutMs) const
{
    QProcess tool;
    tool.setProcessEnvironment(environment());
    tool.start(program, arguments);
    if (!tool.waitForFinished(timeoutMs) || tool.exitCode() != 0) {
        stop(tool);
        return std::nullopt;
    }
    return tool.readAllStandardOutput();
}

void DesktopSession::stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}
