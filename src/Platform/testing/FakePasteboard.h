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
        const QMutexLocker locker(&m_mutex);
        ++m_changeCountReads;
        m_lastReader = QThread::currentThread();
        return m_changeCount;
    }

    [[nodiscard]] std::optional<QList<PasteboardItem>> items() const override
    {
        const QMutexLocker locker(&m_mutex);
        ++m_itemReads;
        return m_items;
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

    [[nodiscard]] int changeCountReads() const
    {
        const QMutexLocker locker(&m_mutex);
        return m_changeCountReads;
    }

    // The thread of the last change-count read: the clipboard tick's thread.
    [[nodiscard]] QThread *lastReader() const
    {
        const QMutexLocker locker(&m_mutex);
        return m_lastReader;
    }

    [[nodiscard]] int itemReads() const
    {
        const QMutexLocker locker(&m_mutex);
        return m_itemReads;
    }

private:
    mutable QMutex m_mutex;
    qint64 m_changeCount = 0;
    std::optional<QList<PasteboardItem>> m_items;
    QStringList m_writes;
    bool m_failWrites = false;
    mutable int m_changeCountReads = 0;
    mutable int m_itemReads = 0;
    mutable QThread *m_lastReader = nullptr;
};
