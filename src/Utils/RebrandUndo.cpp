#include "Utils/RebrandUndo.h"

#include "App/Clock.h"
#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Services/ApiManager.h"
#include "Utils/ClipboardMonitor.h"
#include "Utils/NotificationHandler.h"

using namespace Costants;

RebrandUndo &RebrandUndo::shared()
{
    static RebrandUndo undo;
    return undo;
}

RebrandUndo::RebrandUndo() = default;

void RebrandUndo::setDeleter(Deleter deleter)
{
    m_deleter = std::move(deleter);
}

void RebrandUndo::remember(const QString &linkId, const QString &destination,
                           const QString &fullShortUrl)
{
    const std::optional<QString> userId = SettingsStore::shared().stringForKey(Preferences::userId);
    if (linkId.isEmpty() || destination.isEmpty() || !userId) {
        m_last.reset();
        return;
    }
    m_last = Rebrand{linkId, destination, fullShortUrl, *userId, Clock::current().now(), false};
}

void RebrandUndo::linkChanged(const QString &linkId)
{
    if (m_last && m_last->linkId == linkId)
        m_last->edited = true;
}

void RebrandUndo::forget()
{
    m_last.reset();
}

bool RebrandUndo::canUndo() const
{
    return m_last && !refusal(m_last->linkId);
}

bool RebrandUndo::canUndo(const QString &linkId) const
{
    return !refusal(linkId);
}

std::optional<QString> RebrandUndo::refusal(const QString &linkId) const
{
    // A link of an earlier rebrand counts as out of time: only the last one can be undone.
    if (!m_last || m_last->linkId != linkId ||
        m_last->madeAt.msecsTo(Clock::current().now()) >= windowMs)
        return LocalNotification::undoExpiredText;
    if (SettingsStore::shared().stringForKey(Preferences::userId) != m_last->userId)
        return LocalNotification::undoSignedOutText;
    if (m_last->edited)
        return LocalNotification::undoEditedText;
    return std::nullopt;
}

void RebrandUndo::undoLast()
{
    undo(m_last ? m_last->linkId : QString());
}

void RebrandUndo::undo(const QString &linkId)
{
    if (const std::optional<QString> why = refusal(linkId)) {
        logLines({QStringLiteral("rebrand not undone: ") + *why});
        return NotificationHandler::showUndoRefusedNotification(*why);
    }
    logLines({QStringLiteral("undoing rebrand of ") + linkId});
    DeleteCompletion completion = [this, linkId](const std::optional<QJsonObject> &answer) {
        deleteAnswered(linkId, answer);
    };
    if (m_deleter)
        m_deleter(linkId, std::move(completion));
    else
        ApiManager::shared().deleteLink(linkId, std::move(completion));
}

void RebrandUndo::deleteAnswered(const QString &linkId, const std::optional<QJsonObject> &answer)
{
    // The same test as a row's delete: only the service's echo of the link counts.
    const bool deleted = answer && !answer->contains(QLatin1String("errors")) &&
                         answer->value(QLatin1String("id")).toString() == linkId;
    // A second undo sent while the first was under way finds the rebrand already undone.
    if (!m_last || m_last->linkId != linkId)
        return;
    if (!deleted) {
        logLines({QStringLiteral("rebrand NOT undone, the link stays: ") + linkId});
        // The short URL stays on the clipboard; the undo may be tried again in its window.
        return NotificationHandler::showErrorNotification(
            LocalNotification::undoDeleteFailedMessage);
    }
    const Rebrand undone = *m_last;
    m_last.reset();
    logLines({QStringLiteral("rebrand undone: ") + linkId});
    // Stored as our own paste, so the next tick does not rebrand the address again.
    [[maybe_unused]] const bool pasted = ClipboardMonitor::pasteLink(undone.destination, true);
    NotificationHandler::showDeletedNotification(undone.fullShortUrl, linkId);
    NotificationCenter::shared().post(NotificationViews::resetListLinks);
}
