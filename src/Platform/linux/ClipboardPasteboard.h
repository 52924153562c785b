#pragma once

#include "Platform/Pasteboard.h"

#include <QMutex>
#include <QObject>
#include <QStringList>

class QMimeData;

// The clipboard of the desktop session over QClipboard. QClipboard may only be used on the
// GUI thread, and the clipboard tick runs on its own thread: so the GUI thread keeps a locked
// snapshot (change count and plain-text items), refreshed on every change by any program,
// and writes from other threads hop to the GUI thread.
class ClipboardPasteboard : public QObject, public Pasteboard
{
    Q_OBJECT

public:
    // Needs a QGuiApplication; the object lives on the GUI thread whoever creates it.
    ClipboardPasteboard();
    ~ClipboardPasteboard() override;

    [[nodiscard]] qint64 changeCount() const override;
    [[nodiscard]] PasteboardSnapshot snapshot() const override;
    [[nodiscard]] bool setString(const QString &text) override;

    // Content that a password manager marks as secret (its formats given); its text is
    // never read.
    [[nodiscard]] static bool isMarkedSecret(const QMimeData &data, const QStringList &formats);

private:
    void scheduleRefresh();
    void refresh();
    bool writeOnGuiThread(const QString &text);

    mutable QMutex m_mutex;
    qint64 m_changeCount = 0;
    std::optional<QList<PasteboardItem>> m_items;
    // Changes seen since the last refresh; a burst of changes costs one read.
    int m_pendingChanges = 0;
};
