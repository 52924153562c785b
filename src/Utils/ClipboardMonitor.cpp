#include "Utils/ClipboardMonitor.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Platform/Pasteboard.h"
#include "Platform/Platform.h"
#include "Utils/LinkHandler.h"
#include "Utils/NotificationHandler.h"
#include "Utils/Validation.h"

using namespace Costants;

namespace {

void log(const QVariantList &items)
{
    Logger::shared().log(items);
}

// The text with its first character (a whole code point) lowercased, the rest unchanged.
QString withLowercaseFirstCharacter(const QString &text)
{
    if (text.isEmpty())
        return text;
    const qsizetype first = text.front().isHighSurrogate() && text.size() > 1 ? 2 : 1;
    return text.first(first).toLower() + text.sliced(first);
}

// Whether the link starts with "scheme://" in any letter case.
bool hasScheme(const QString &link)
{
    const qsizetype separator = link.indexOf(QLatin1StringView("://"));
    if (separator <= 0)
        return false;
    for (qsizetype i = 0; i < separator; ++i) {
        const char16_t c = link[i].unicode();
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        const bool other = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
        if (!letter && !(i > 0 && other))
            return false;
    }
    return true;
}

} // namespace

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
    Pasteboard &pasteboard = Platform::current().pasteboard();
    const qint64 changeCount = pasteboard.changeCount();
    if (changeCount == m_lastChange.load())
        return;
    const qint64 previous = m_lastChange.exchange(changeCount);
    if (previous == -1) {
        log({QStringLiteral("first link, ignoring")});
        return;
    }
    const std::optional<QList<PasteboardItem>> items = pasteboard.items();
    if (!items || items->isEmpty())
        return;
    for (const PasteboardItem &item : *items) {
        if (item.plainText)
            examine(*item.plainText);
    }
}

void ClipboardMonitor::examine(const QString &text)
{
    QString candidate = withLowercaseFirstCharacter(text);
    const SettingsStore &store = SettingsStore::shared();
    if (const std::optional<QString> last = store.stringForKey(Preferences::lastBrandedLinkStored);
        last && *last == candidate) {
        log({QStringLiteral("this is the last branded link, ignoring: ") + *last});
        log({QStringLiteral("requested was: ") + candidate});
        return;
    }
    if (!Validation::isValidUrl(candidate))
        return;
    if (Validation::isBrandedDomainLink(candidate))
        return;
    // Only a link without any scheme gets "https://": "HTTP://…" or "ftp://…" would
    // otherwise become "https://hTTP://…".
    if (!hasScheme(candidate))
        candidate.prepend(QLatin1StringView("https://"));
    if (store.stringForKey(Preferences::userId)) {
        log({QStringLiteral("USER LOGGED")});
        LinkHandler::handleCopiedLink(candidate);
    } else {
        log({QStringLiteral("USER NOT LOGGED")});
        // Kept for the question offered after the next sign-in.
        NotificationHandler::storeDestinationURL(candidate, m_lastChange.load());
    }
}

bool ClipboardMonitor::pasteLink(const QString &link, bool store)
{
    log({QStringLiteral("gonna paste: ") + link});
    if (store) {
        log({QStringLiteral("storing: ") + link});
        SettingsStore::shared().setString(Preferences::lastBrandedLinkStored, link);
    }
    return Platform::current().pasteboard().setString(link);
}
