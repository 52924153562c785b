#include "App/CrashHandler.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <atomic>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t kTextSize = 512;

// Everything the handler needs is prepared here beforehand: it may not allocate or lock.
char reportPath[PATH_MAX];
char releaseText[kTextSize];
char userText[kTextSize];
std::atomic<bool> installed{false};
char alternateStack[64 * 1024];

void copyText(char *target, const QByteArray &source)
{
    const size_t length = std::min(static_cast<size_t>(source.size()), kTextSize - 1);
    std::memcpy(target, source.constData(), length);
    target[length] = '\0';
}

void writeAll(int fd, const char *text, size_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(fd, text, length);
        if (written <= 0)
            return;
        text += written;
        length -= static_cast<size_t>(written);
    }
}

void writeText(int fd, const char *text)
{
    writeAll(fd, text, std::strlen(text));
}

void writeNumber(int fd, long long number)
{
    char digits[24];
    size_t at = sizeof digits;
    const bool negative = number < 0;
    unsigned long long value = negative ? 0ULL - static_cast<unsigned long long>(number)
                                        : static_cast<unsigned long long>(number);
    do {
        digits[--at] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && at > 1);
    if (negative)
        digits[--at] = '-';
    writeAll(fd, digits + at, sizeof digits - at);
}

void onFatalSignal(int signal)
{
    const int fd = ::open(reportPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        writeText(fd, "signal=");
        writeNumber(fd, signal);
        writeText(fd, "\ntime=");
        writeNumber(fd, now.tv_sec);
        writeText(fd, "\nrelease=");
        writeText(fd, releaseText);
        writeText(fd, "\nuser=");
        writeText(fd, userText);
        writeText(fd, "\n");
        ::close(fd);
    }
    // Back to the default action and raise again, so the program ends as it would have
    // (core dump, exit status) and a debugger still sees the real fault.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

} // namespace

bool CrashHandler::install(const QString &reportDirectory, const QString &release, QString *error)
{
    if (!QDir().mkpath(reportDirectory)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(reportDirectory);
        return false;
    }
    const QByteArray path = QFile::encodeName(
        QDir(reportDirectory).filePath(QStringLiteral("%1.crash").arg(qint64(::getpid()))));
    if (static_cast<size_t>(path.size()) >= sizeof reportPath) {
        if (error)
            *error = QStringLiteral("the report path is too long");
        return false;
    }
    std::memcpy(reportPath, path.constData(), static_cast<size_t>(path.size()) + 1);
    copyText(releaseText, release.toUtf8());

    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    // A stack overflow leaves no room for the handler on the normal stack.
    ::sigaltstack(&stack, nullptr);

    struct sigaction action
    {};
    action.sa_handler = onFatalSignal;
    action.sa_flags = SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : kFatalSignals) {
        if (::sigaction(signal, &action, nullptr) != 0) {
            if (error)
                *error = QStringLiteral("cannot install the handler of %1").arg(signalName(signal));
            return false;
        }
    }
    installed.store(true);
    return true;
}

bool CrashHandler::isInstalled()
{
    return installed.load();
}

void CrashHandler::setUserId(const QString &id)
{
    // Written before a crash can need it; a torn read would only garble the id in a report.
    copyText(userText, id.toUtf8());
}

QString CrashHandler::defaultReportDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Quorvella/crashes");
}

std::optional<CrashHandler::Report> CrashHandler::parseReport(const QByteArray &text)
{
    Report report;
    bool hasSignal = false;
    for (const QByteArray &line : text.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray key = line.left(equals);
        const QByteArray value = line.mid(equals + 1);
        if (key == "signal") {
            report.signal = value.toInt(&hasSignal);
        } else if (key == "time") {
            report.timestamp = value.toLongLong();
        } else if (key == "release") {
            report.release = QString::fromUtf8(value);
        } else if (key == "user") {
            report.userId = QString::fromUtf8(value);
        }
    }
    if (!hasSignal || report.signal <= 0)
        return std::nullopt;
    return report;
}

QString CrashHandler::signalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return QStringLiteral("SIGSEGV");
    case SIGBUS:
        return QStringLiteral("SIGBUS");
    case SIGFPE:
        return QStringLiteral("SIGFPE");
    case SIGILL:
        return QStringLiteral("SIGILL");
    case SIGABRT:
        return QStringLiteral("SIGABRT");
    default:
        return QStringLiteral("signal %1").arg(signal);
    }
}
