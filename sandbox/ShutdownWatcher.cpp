#include "ShutdownWatcher.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// The signal handler may only write to a descriptor; the event loop reads the other end.
int signalPipe[2] = {-1, -1};
} // namespace

ShutdownWatcher::ShutdownWatcher(bool watchStdin, QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        m_signalNotifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
        connect(m_signalNotifier, &QSocketNotifier::activated, this, &ShutdownWatcher::readSignal);
        struct sigaction action
        {};
        action.sa_handler = &ShutdownWatcher::onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGINT, &action, nullptr);
    }
    if (watchStdin) {
        m_stdinNotifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(m_stdinNotifier, &QSocketNotifier::activated, this, &ShutdownWatcher::readStdin);
    }
}

ShutdownWatcher::~ShutdownWatcher()
{
    struct sigaction action
    {};
    action.sa_handler = SIG_DFL;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    for (int &end : signalPipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

void ShutdownWatcher::onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

void ShutdownWatcher::readSignal()
{
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(signalPipe[1], &byte, 1);
    emit shutdownRequested();
}

void ShutdownWatcher::readStdin()
{
    char buffer[256];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    // Whatever is written to us is ignored; only the end (or a broken descriptor) counts.
    if (got <= 0) {
        m_stdinNotifier->setEnabled(false);
        emit shutdownRequested();
    }
}
