#pragma once

#include "Utils/RepeatingTimer.h"

#include <QString>
#include <QtGlobal>

#include <atomic>

// Looks at the clipboard once a second and hands each newly copied web address on to the
// rebrand pipeline, unless it is the link this program last put there, not a valid
// destination, or already a link on one of the user's branded domains.
class ClipboardMonitor
{
public:
    ClipboardMonitor();
    ~ClipboardMonitor();
    ClipboardMonitor(const ClipboardMonitor &) = delete;
    ClipboardMonitor &operator=(const ClipboardMonitor &) = delete;

    // Makes every tick run periodicCheck, then resumes the timer.
    void start();
    // One look at the clipboard.
    void periodicCheck();

    // Puts `link` on the clipboard as plain text; with `store`, also records it as the last
    // branded link so that the next tick ignores it. Tells whether the clipboard took it.
    static bool pasteLink(const QString &link, bool store);

    // The change count seen at the last tick; -1 until the first tick.
    [[nodiscard]] qint64 lastChange() const { return m_lastChange.load(); }
    [[nodiscard]] RepeatingTimer &repeatingTimer() { return m_repeatingTimer; }

private:
    void examine(const QString &text);

    // Written only by the ticks, which never overlap; atomic for readers on other threads.
    std::atomic<qint64> m_lastChange{-1};
    RepeatingTimer m_repeatingTimer{1.0};
};
