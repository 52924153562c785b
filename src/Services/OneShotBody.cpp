#include "Services/OneShotBody.h"

#include <cstring>

OneShotBody::OneShotBody(QByteArray body, QObject *parent)
    : QIODevice(parent)
    , m_body(std::move(body))
{
    open(QIODevice::ReadOnly);
}

qint64 OneShotBody::bytesAvailable() const
{
    return m_body.size() - m_position + QIODevice::bytesAvailable();
}

bool OneShotBody::atEnd() const
{
    return m_position >= m_body.size() && QIODevice::bytesAvailable() == 0;
}

qint64 OneShotBody::readData(char *data, qint64 maxSize)
{
    const qint64 count = std::min<qint64>(maxSize, m_body.size() - m_position);
    if (count <= 0)
        return -1;
    std::memcpy(data, m_body.constData() + m_position, static_cast<size_t>(count));
    m_position += count;
    return count;
}

qint64 OneShotBody::writeData(const char *data, qint64 size)
{
    Q_UNUSED(data)
    Q_UNUSED(size)
    return -1;
}
