#include "Utils/NotificationHandler.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Platform/Platform.h"
#include "Utils/RebrandUndo.h"
#include "Utils/Utils.h"
#include "Utils/Validation.h"

using namespace Costants;

namespace {

QVariantMap resultUserInfo(const QString &type)
{
    return {{NotificationInfos::userLoginKey, NotificationInfos::userLogged},
            {NotificationInfos::typeKey, type}};
}

UserNotification resultNotification(const QString &title, const QString &text, const QString &type)
{
    UserNotification notification;
    notification.identifier = NotificationInfos::copiedLinkIdentifier;
    notification.title = title;
    notification.informativeText = text;
    notification.userInfo = resultUserInfo(type);
    return notification;
}

std::optional<QString> stringIn(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

} // namespace

void NotificationHandler::deliverReplacingAll(const UserNotification &notification)
{
    if (!Platform::isInstalled())
        return;
    UserNotificationCenter &center = Platform::current().userNotificationCenter();
    center.removeAllDeliveredNotifications();
    center.deliver(notification);
}

void NotificationHandler::showLinkNotification(const QString &fullShortUrl, bool rebranded,
                                               const QString &linkId, const QString &workspaceId,
                                               bool offerUndo)
{
    logLines({QStringLiteral("copy notification for: ") + fullShortUrl});
    UserNotification notification =
        rebranded ? resultNotification(LocalNotification::linkRebrandedTitle, fullShortUrl,
                                       NotificationInfos::typeBrandedSuccess)
                  : resultNotification(LocalNotification::linkCopiedTitle, fullShortUrl,
                                       NotificationInfos::typeCopied);
    if (rebranded) {
        notification.userInfo.insert(NotificationInfos::idKey, linkId);
        if (!workspaceId.isEmpty())
            notification.userInfo.insert(NotificationInfos::workspaceIdKey, workspaceId);
    }
    if (rebranded && offerUndo)
        notification.additionalActions.append(
            {LocalNotification::undoAction, LocalNotification::undoButton});
    deliverReplacingAll(notification);
}

void NotificationHandler::showUpdatedNotification(const QString &fullShortUrl,
                                                  const QString &linkId, const QString &workspaceId)
{
    logLines({QStringLiteral("copy notification for: ") + fullShortUrl});
    UserNotification notification = resultNotification(
        LocalNotification::linkUpdatedTitle, fullShortUrl, NotificationInfos::typeBrandedSuccess);
    notification.userInfo.insert(NotificationInfos::idKey, linkId);
    if (!workspaceId.isEmpty())
        notification.userInfo.insert(NotificationInfos::workspaceIdKey, workspaceId);
    notification.hasActionButton = true;
    notification.actionButtonTitle = LocalNotification::editButton;
    notification.otherButtonTitle = LocalNotification::closeButton;
    deliverReplacingAll(notification);
}

void NotificationHandler::showDeletedNotification(const QString &informativeText,
                                                  const QString &linkText)
{
    logLines({QStringLiteral("Delete notification for: ") + linkText});
    deliverReplacingAll(resultNotification(LocalNotification::linkDeletedTitle, informativeText,
                                           NotificationInfos::typeCopied));
}

void NotificationHandler::showDuplicatedNotification()
{
    logLines({QStringLiteral("copy notification for: ")});
    deliverReplacingAll(resultNotification(LocalNotification::linkDuplicatedTitle,
                                           LocalNotification::linkDuplicatedText,
                                           NotificationInfos::typeCopied));
}

void NotificationHandler::showErrorNotification(const std::optional<QString> &message)
{
    logLines({QStringLiteral("GENERIC ERROR")});
    deliverReplacingAll(resultNotification(
        LocalNotification::errorTitle,
        message.value_or(LocalNotification::errorDefaultMessage) + LocalNotification::errorTryLater,
        NotificationInfos::typeCopied));
}

void NotificationHandler::showUndoRefusedNotification(const QString &reason)
{
    logLines({QStringLiteral("undo refused notification")});
    deliverReplacingAll(resultNotification(LocalNotification::undoRefusedTitle, reason,
                                           NotificationInfos::typeCopied));
}

void NotificationHandler::storeDestinationURL(const QString &url, qint64 changeCount)
{
    SettingsStore &store = SettingsStore::shared();
    store.setString(Preferences::destinationURL, url);
    store.setInteger(Preferences::lastChange, changeCount);
    store.synchronize();
}

UserNotification NotificationHandler::makeRebrandQuestion(const QString &url, qint64 changeCount,
                                                          const QString &behavior)
{
    UserNotification question;
    question.identifier =
        NotificationInfos::rebrandQuestionIdentifierPrefix + QString::number(changeCount);
    question.title = LocalNotification::rebrandQuestionTitle;
    question.informativeText = url;
    question.userInfo = {{NotificationInfos::userLoginKey, NotificationInfos::userLogged},
                         {NotificationInfos::behaviorKey, behavior}};
    return question;
}

void NotificationHandler::riseStoredDestinationURL()
{
    SettingsStore &store = SettingsStore::shared();
    const std::optional<QString> url = store.stringForKey(Preferences::destinationURL);
    if (!url)
        return;
    const qint64 changeCount = store.integerForKey(Preferences::lastChange);
    store.removeKeys({Preferences::destinationURL, Preferences::lastChange});
    store.synchronize();
    if (store.stringForKey(Preferences::optionActive) == Preferences::OptionsRebrand::doNothing)
        return;
    const QString behavior =
        store.stringForKey(Preferences::optionActive) == Preferences::OptionsRebrand::askEditLink
            ? NotificationInfos::behaviorOpenModal
            : NotificationInfos::behaviorRebrand;
    if (!Validation::isValidUrl(*url) || Validation::isBrandedDomainLink(*url)) {
        logLines({QStringLiteral("destination URL not valid: ") + *url});
        return;
    }
    // The question joins what is on screen rather than replacing it.
    if (Platform::isInstalled())
        Platform::current().userNotificationCenter().deliver(
            makeRebrandQuestion(*url, changeCount, behavior));
}

void NotificationHandler::didActivate(UserNotification notification, const Routes &routes)
{
    logLines({QStringLiteral("NOTIFICATION CLICKED")});
    if (Platform::isInstalled())
        Platform::current().userNotificationCenter().removeDeliveredNotification(
            notification.identifier);
    if (notification.userInfo.isEmpty())
        return;
    logLines({QStringLiteral("UserInfo"), notification.userInfo});
    if (notification.identifier.startsWith(NotificationInfos::rebrandQuestionIdentifierPrefix))
        return activateRebrandQuestion(notification, routes);
    if (notification.identifier != NotificationInfos::copiedLinkIdentifier)
        return;
    logLines({QStringLiteral("notification copied/rebranded link, ignore it")});
    const std::optional<QString> type = stringIn(notification.userInfo, NotificationInfos::typeKey);
    const std::optional<QString> id = stringIn(notification.userInfo, NotificationInfos::idKey);
    if (!type || !id || *type != NotificationInfos::typeBrandedSuccess)
        return;
    if (notification.activatedAction == LocalNotification::undoAction)
        return RebrandUndo::shared().undo(*id);
    logLines({QStringLiteral("Branded notification success")});
    SettingsStore &store = SettingsStore::shared();
    if (!store.dictionaryForKey(Preferences::workspaceObjectMainView))
        return;
    store.setString(Preferences::editLinkId, *id);
    // The link can only be fetched in the workspace it was made in, which the list may not show.
    if (const std::optional<QString> workspace =
            stringIn(notification.userInfo, NotificationInfos::workspaceIdKey))
        store.setString(Preferences::editWorkspaceId, *workspace);
    else
        store.remove(Preferences::editWorkspaceId);
    store.synchronize();
    if (routes.openEditLink)
        routes.openEditLink();
}

void NotificationHandler::activateRebrandQuestion(const UserNotification &notification,
                                                  const Routes &routes)
{
    const std::optional<QString> login =
        stringIn(notification.userInfo, NotificationInfos::userLoginKey);
    if (!login)
        return;
    if (*login != NotificationInfos::userLogged) {
        if (routes.openMain)
            routes.openMain();
        return;
    }
    const QString behavior =
        stringIn(notification.userInfo, NotificationInfos::behaviorKey).value_or(QString());
    const QString url = notification.informativeText;
    SettingsStore &store = SettingsStore::shared();
    if (behavior == NotificationInfos::behaviorOpenModal) {
        store.setString(Preferences::newDestination, url);
        store.synchronize();
        if (routes.openNewLinkExternal)
            routes.openNewLinkExternal();
    } else if (behavior == NotificationInfos::behaviorOpenEditModal) {
        store.setString(Preferences::newDestination, url);
        store.synchronize();
        if (routes.openEditLink)
            routes.openEditLink();
    } else {
        Utils::autoRebrand(url);
    }
}

void NotificationHandler::didDismiss(const UserNotification &notification)
{
    // A dismissal answers nothing and leaves the clipboard as the user left it; some daemons
    // even report a click as one.
    if (notification.identifier.startsWith(NotificationInfos::rebrandQuestionIdentifierPrefix))
        logLines({QStringLiteral("rebrand question dismissed")});
}
