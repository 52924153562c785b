#include "Platform/linux/DataControlPasteboard.h"

#include "Platform/linux/DataControlConnection.h"

#include <QMutexLocker>

DataControlPasteboard::DataControlPasteboard(bool useExtManager)
    : m_connection(new DataControlConnection(
          useExtManager, [this](int changes, std::optional<QList<PasteboardItem>> items) {
              publish(changes, std::move(items));
          }))
{
    m_thread.setObjectName(QStringLiteral("wayland-clipboard"));
    m_connection->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_connection, &QObject::deleteLater);
    m_thread.start();
    QMetaObject::invokeMethod(m_connection, &DataControlConnection::open, Qt::QueuedConnection);
}

DataControlPasteboard::~DataControlPasteboard()
{
    m_thread.quit();
    m_thread.wait();
}

qint64 DataControlPasteboard::changeCount() const
{
    const QMutexLocker locker(&m_mutex);
    return m_changeCount;
}

PasteboardSnapshot DataControlPasteboard::snapshot() const
{
    const QMutexLocker locker(&m_mutex);
    return {m_changeCount, m_items};
}

bool DataControlPasteboard::setString(const QString &text)
{
    if (!m_connection->isOpen())
        return false;
    QMetaObject::invokeMethod(
        m_connection,
        [connection = m_connection, utf8 = text.toUtf8()] { connection->offerText(utf8); },
        Qt::QueuedConnection);
    return true;
}

void DataControlPasteboard::publish(int changes, std::optional<QList<PasteboardItem>> items)
{
    // Count and items change together, so a tick never pairs a new count with old items.
    const QMutexLocker locker(&m_mutex);
    m_changeCount += changes;
    m_items = std::move(items);
}
