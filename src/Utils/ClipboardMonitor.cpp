#include "Utils/ClipboardMonitor.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Platform/Pasteboard.h"
#include "Platform/Platform.h"
#include "Utils/HostFilter.h"
#include "Utils/LinkHandler.h"
#include "Utils/NotificationHandler.h"
#include "Utils/Validation.h"
#include "Utils/WatchPause.h"

using namespace Costants;

ClipboardMonitor::ClipboardMonitor() = default;

// The timer is a member: its tear-down waits for a running tick before the monitor goes.
ClipboardMonitor::~ClipboardMonitor() = default;

void ClipboardMonitor::start()
{
    m_repeatingTimer.setEventHandler([this] { periodicCheck(); });
    m_repeatingTimer.resume();
}

void ClipboardMonitor::periodicCheck()
{
    // One read: a copy landing between a count read and an items read would pair the old
    // count with the new text, and the next tick would hand that text on again.
    const PasteboardSnapshot snapshot = Platform::current().pasteboard().snapshot();
    if (snapshot.changeCount == m_lastChange.load())
        return;
    const qint64 previous = m_lastChange.exchange(snapshot.changeCount);
    if (previous == -1) {
        logLines({QStringLiteral("first link, ignoring")});
        return;
    }
    // The change is counted above even while paused, so a copy made during the pause is
    // never handed on, also not once the pause is over.
    if (WatchPause::pausedUntil()) {
        logLines({QStringLiteral("watching paused, copy not handed on")});
        return;
    }
    if (!snapshot.items || snapshot.items->isEmpty())
        return;
    for (const PasteboardItem &item : *snapshot.items) {
        if (item.plainText)
            examine(*item.plainText);
    }
}

void ClipboardMonitor::examine(const QString &text)
{
    const QString candidate = Validation::withLowercaseFirstCharacter(text);
    const SettingsStore &store = SettingsStore::shared();
    if (const std::optional<QString> last = store.stringForKey(Preferences::lastBrandedLinkStored);
        last && *last == candidate) {
        logLines({QStringLiteral("this is the last branded link, ignoring: ") + *last});
        logLines({QStringLiteral("requested was: ") + candidate});
        return;
    }
    const std::optional<QString> destination = Validation::destinationFrom(candidate);
    if (!destination)
        return;
    // Never the path or query: an intranet address can say more than its host.
    if (const std::optional<QString> reason = HostFilter::refusal(*destination)) {
        logLines({QStringLiteral("not rebranding an address of ") +
                  Validation::hostOf(*destination).value_or(QString()) + QStringLiteral(": ") +
                  *reason});
        return;
    }
    if (store.stringForKey(Preferences::userId)) {
        logLines({QStringLiteral("USER LOGGED")});
        LinkHandler::handleCopiedLink(*destination);
    } else {
        logLines({QStringLiteral("USER NOT LOGGED")});
        // Kept for the question offered after the next sign-in.
        NotificationHandler::storeDestinationURL(*destination, m_lastChange.load());
    }
}

bool ClipboardMonitor::pasteLink(const QString &link, bool store)
{
    logLines({QStringLiteral("gonna paste: ") + link});
    if (store) {
        logLines({QStringLiteral("storing: ") + link});
        SettingsStore::shared().setString(Preferences::lastBrandedLinkStored, link);
    }
    return Platform::current().pasteboard().setString(link);
}
