#pragma once

#include "Platform/Pasteboard.h"

#include <QMutex>
#include <QThread>

class DataControlConnection;

// The clipboard of a Wayland session whose compositor lets a clipboard tool follow it: a
// Wayland connection of its own on a worker thread sees every new selection, whichever
// platform Qt draws the windows on, and keeps the snapshot the clipboard tick reads.
class DataControlPasteboard : public Pasteboard
{
public:
    explicit DataControlPasteboard(bool useExtManager);
    ~DataControlPasteboard() override;
    DataControlPasteboard(const DataControlPasteboard &) = delete;
    DataControlPasteboard &operator=(const DataControlPasteboard &) = delete;

    [[nodiscard]] qint64 changeCount() const override;
    [[nodiscard]] PasteboardSnapshot snapshot() const override;
    // Accepted when the connection is up; the text is offered from the worker thread.
    [[nodiscard]] bool setString(const QString &text) override;

private:
    void publish(int changes, std::optional<QList<PasteboardItem>> items);

    QThread m_thread;
    DataControlConnection *m_connection;
    mutable QMutex m_mutex;
    qint64 m_changeCount = 0;
    std::optional<QList<PasteboardItem>> m_items;
};
