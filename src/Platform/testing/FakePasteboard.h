#pragma once

#include "Platform/Pasteboard.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QThread>

// A clipboard driven by the test: it sets the items, bumps the change count as another
// program would, and can make writes fail. Safe from any thread, like the real one.
class FakePasteboard : public Pasteboard
{
public:
    [[nodiscard]] qint64 changeCount() const override
    {
        qint64 count = 0;
        {
            const QMutexLocker locker(&m_mutex);
            count = m_changeCount;
        }
        runAfterRead();
        return count;
    }

    [[nodiscard]] PasteboardSnapshot snapshot() const override
    {
        PasteboardSnapshot snapshot;
        {
            const QMutexLocker locker(&m_mutex);
            ++m_snapshotReads;
            m_lastReader = QThread::currentThread();
            snapshot = {m_changeCount, m_items};
        }
        runAfterRead();
        return snapshot;
    }

    // Another program copies these texts right after the next read of the clipboard, as a
    // copy landing in the middle of a tick would.
    void copyAfterNextRead(const QStringList &texts)
    {
        const QMutexLocker locker(&m_mutex);
        m_copyAfterRead = texts;
    }

    [[nodiscard]] bool setString(const QString &text) override
    {
        const QMutexLocker locker(&m_mutex);
        m_writes.append(text);
        if (m_failWrites)
            return false;
        m_items = QList<PasteboardItem>{PasteboardItem{text}};
        ++m_changeCount;
        return true;
    }

    // Another program copies these texts as one change, one item each.
    void copyTexts(const QStringList &texts)
    {
        QList<PasteboardItem> items;
        for (const QString &text : texts)
            items.append(PasteboardItem{text});
        setItems(items);
    }

    // Another program replaces the contents as one change; nothing means "no data at all".
    void setItems(const std::optional<QList<PasteboardItem>> &items)
    {
        const QMutexLocker locker(&m_mutex);
        m_items = items;
        ++m_changeCount;
    }

    // A change that leaves the items as they are (the same text copied again).
    void bumpChangeCount()
    {
        const QMutexLocker locker(&m_mutex);
        ++m_changeCount;
    }

    void setFailWrites(bool fail)
    {
        const QMutexLocker locker(&m_mutex);
        m_failWrites = fail;
    }

    [[nodiscard]] QStringList writes() const
    {
        const QMutexLocker locker(&m_mutex);
        return m_writes;
    }

    [[nodiscard]] int snapshotReads() const
    {
        const QMutexLocker locker(&m_mutex);
        return m_snapshotReads;
    }

    // The thread of the last read: the clipboard tick's thread.
    [[nodiscard]] QThread *lastReader() const
    {
        const QMutexLocker locker(&m_mutex);
        return m_lastReader;
    }

private:
    void runAfterRead() const
    {
        std::optional<QStringList> texts;
        {
            const QMutexLocker locker(&m_mutex);
            texts.swap(m_copyAfterRead);
        }
        if (texts)
            const_cast<FakePasteboard *>(this)->copyTexts(*texts);
    }

    mutable QMutex m_mutex;
    qint64 m_changeCount = 0;
    std::optional<QList<PasteboardItem>> m_items;
    QStringList m_writes;
    bool m_failWrites = false;
    mutable int m_snapshotReads = 0;
    mutable std::optional<QStringList> m_copyAfterRead;
    mutable QThread *m_lastReader = nullptr;
};
