#include "StdinReader.h"

#include <cerrno>
#include <unistd.h>

StdinReader::StdinReader(QObject *parent)
    : QObject(parent)
    , m_notifier(STDIN_FILENO, QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, &StdinReader::onActivated);
}

void StdinReader::onActivated()
{
    char buffer[16384];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count > 0) {
        emit received(QByteArray(buffer, count));
        return;
    }
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    m_notifier.setEnabled(false);
    emit endOfInput();
}
