#pragma once

#include "Platform/UserNotificationCenter.h"

#include <QString>

#include <functional>
#include <optional>

// The desktop notifications about finished actions, each replacing the earlier ones, and
// the rebrand question for a link copied while signed out.
class NotificationHandler
{
public:
    // What a click may ask of the popovers; the application delegate fills them in.
    struct Routes
    {
        std::function<void()> openEditLink;
        std::function<void()> openNewLinkExternal;
        std::function<void()> openMain;
    };

    NotificationHandler() = delete;

    // workspaceId: where the link was made; empty when the list's workspace was used. With
    // `offerUndo`, a rebranded link's notification also offers "Undo".
    static void showLinkNotification(const QString &fullShortUrl, bool rebranded,
                                     const QString &linkId, const QString &workspaceId = {},
                                     bool offerUndo = false);
    static void showUpdatedNotification(const QString &fullShortUrl, const QString &linkId,
                                        const QString &workspaceId = {});
    static void showDeletedNotification(const QString &informativeText, const QString &linkText);
    static void showDuplicatedNotification();
    static void showErrorNotification(const std::optional<QString> &message = std::nullopt);
    // Why an undo of a rebrand did nothing.
    static void showUndoRefusedNotification(const QString &reason);

    // Keeps a URL copied while signed out, with its change number, for the question.
    static void storeDestinationURL(const QString &url, qint64 changeCount);
    // After sign-in: offers the kept URL, if any, with the rebrand question.
    static void riseStoredDestinationURL();
    [[nodiscard]] static UserNotification
    makeRebrandQuestion(const QString &url, qint64 changeCount, const QString &behavior);

    // The delegate's callbacks, on the GUI thread. They take copies: removing the delivered
    // notification may free what the caller's reference points at.
    static void didActivate(UserNotification notification, const Routes &routes);
    static void didDismiss(const UserNotification &notification);

private:
    static void deliverReplacingAll(const UserNotification &notification);
    static void activateRebrandQuestion(const UserNotification &notification, const Routes &routes);
};
