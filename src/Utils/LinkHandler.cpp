#include "Utils/LinkHandler.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Platform/AlertPresenter.h"
#include "Platform/Platform.h"
#include "Services/ApiManager.h"
#include "Utils/AlertManager.h"
#include "Utils/ClipboardMonitor.h"
#include "Utils/NotificationHandler.h"
#include "Utils/PercentEncoding.h"
#include "Utils/RebrandUndo.h"
#include "Utils/Switcher.h"
#include "Utils/Utils.h"

using namespace Costants;

namespace {

std::optional<QString> defaultWorkspaceId()
{
    const std::optional<QVariantMap> workspace =
        SettingsStore::shared().dictionaryForKey(Preferences::workspaceObjectAutoReplace);
    if (!workspace)
        return std::nullopt;
    const QVariant id = workspace->value(QStringLiteral("id"));
    if (id.typeId() != QMetaType::QString)
        return std::nullopt;
    return id.toString();
}

int runAlert(const QString &message, const QString &informativeText, const QStringList &buttons)
{
    // There is no application to bring to the front: the dialogue is a top-level window.
    return Platform::current().alerts().runModal(
        Alert{message, informativeText, Alert::Style::Warning, buttons});
}

void copyExisting(const QString &existing)
{
    [[maybe_unused]] const bool pasted = ClipboardMonitor::pasteLink(existing, false);
}

void copyCreated(const QString &fullUrl)
{
    [[maybe_unused]] const bool pasted = ClipboardMonitor::pasteLink(fullUrl, true);
}

} // namespace

void LinkHandler::handleCopiedLink(const QString &url)
{
    logLines({QStringLiteral("copied link handed on: ") + url});
    const std::optional<QString> active =
        SettingsStore::shared().stringForKey(Preferences::optionActive);
    if (!active)
        return;
    using namespace Preferences::OptionsRebrand;
    Option option;
    if (*active == autoRebrand) {
        option = Option::autoRebrand;
    } else if (*active == askEditLink) {
        logLines({QStringLiteral("open edit link replaced")});
        option = Option::form;
    } else if (*active == dialogueBox) {
        logLines({QStringLiteral("open edit link")});
        option = Option::form;
    } else if (*active == notification) {
        option = Option::notification;
    } else {
        if (*active == doNothing)
            logLines({QStringLiteral("do nothing")});
        return;
    }
    if (SettingsStore::shared().boolForKey(Preferences::skipDuplicateCheck))
        dispatchWithoutCheck(option, url);
    else
        checkDuplicate(option, url);
}

void LinkHandler::dispatchWithoutCheck(Option option, const QString &url)
{
    switch (option) {
    case Option::autoRebrand:
        return Utils::autoRebrand(url);
    case Option::notification:
        return Utils::onMainThread([url] { askRebrand(url); });
    case Option::form:
        return Utils::onBackgroundThread([url] { openNewLinkForm(url); });
    }
}

void LinkHandler::checkDuplicate(Option option, const QString &url)
{
    const std::optional<QString> workspaceId = defaultWorkspaceId();
    logLines({QStringLiteral("WORKSPACE"), workspaceId.value_or(QStringLiteral("no wid"))});
    ApiManager::shared().searchLinksByDestination(PercentEncoding::urlHostAllowed(url), workspaceId,
                                                  [=](const std::optional<QJsonArray> &links) {
                                                      duplicateResult(option, url, workspaceId,
                                                                      links);
                                                  });
}

void LinkHandler::duplicateResult(Option option, const QString &url,
                                  const std::optional<QString> &workspaceId,
                                  const std::optional<QJsonArray> &links)
{
    std::optional<QJsonObject> first;
    std::optional<QString> existing;
    if (links && !links->isEmpty()) {
        logLines({QStringLiteral("DUPLICATED"), links->toVariantList()});
        first = links->first().toObject();
        existing = Switcher::fullShortUrl(*first);
        logLines({QStringLiteral("SHORT URL: ") + existing.value_or(QString())});
    } else if (links) {
        logLines({QStringLiteral("NOT DUPLICATED")});
    }
    // A found link without a short URL cannot be offered; it counts as no duplicate.
    const bool duplicate = first && existing;
    switch (option) {
    case Option::autoRebrand:
        // No list at all (the search failed) counts as no duplicate.
        if (!duplicate)
            return Utils::autoRebrand(url);
        return Utils::onMainThread([url, link = *existing] { askAutoRebrandDuplicate(url, link); });
    case Option::form:
        if (!duplicate)
            return openNewLinkForm(url);
        storeDuplicate(*first, workspaceId);
        return Utils::onMainThread([url, link = *existing] { askFormDuplicate(url, link); });
    case Option::notification:
        if (!duplicate)
            return Utils::onMainThread([url] { askRebrand(url); });
        storeDuplicate(*first, workspaceId);
        SettingsStore::shared().synchronize();
        logLines({QStringLiteral("Edit link ID: ") + first->value(QLatin1String("id")).toString()});
        return Utils::onMainThread(
            [url, link = *existing] { askNotificationDuplicate(url, link); });
    }
}

void LinkHandler::storeDuplicate(const QJsonObject &link, const std::optional<QString> &workspaceId)
{
    SettingsStore &store = SettingsStore::shared();
    store.setString(Preferences::editLinkId, link.value(QLatin1String("id")).toString());
    store.setString(Preferences::oldUrl, link.value(QLatin1String("shortUrl")).toString());
    if (workspaceId)
        store.setString(Preferences::editWorkspaceId, *workspaceId);
    else
        store.remove(Preferences::editWorkspaceId);
}

void LinkHandler::askAutoRebrandDuplicate(const QString &url, const QString &existing)
{
    const int answer = runAlert(Alerts::alreadyRebranded, QString(),
                                {Alerts::copyExistingLink, Alerts::rebrandAgain});
    if (answer == AlertPresenter::SecondButton)
        Utils::autoRebrand(url);
    else if (answer == AlertPresenter::FirstButton)
        copyExisting(existing);
}

void LinkHandler::askFormDuplicate(const QString &url, const QString &existing)
{
    const int answer = runAlert(Alerts::alreadyRebranded, QString(),
                                {Alerts::copyExistingLink, Alerts::rebrandAgain});
    if (answer == AlertPresenter::SecondButton)
        openNewLinkForm(url);
    else if (answer == AlertPresenter::FirstButton)
        copyExisting(existing);
}

void LinkHandler::askNotificationDuplicate(const QString &url, const QString &existing)
{
    switch (AlertManager::showAlert(Alerts::alreadyRebranded, QString(), Alerts::copyExistingLink,
                                    Alerts::rebrandAgain, Alerts::cancel)) {
    case 1:
        return copyExisting(existing);
    case 2:
        return Utils::autoRebrand(url);
    default:
        logLines({QStringLiteral("do nothing")});
    }
}

void LinkHandler::askRebrand(const QString &url)
{
    if (runAlert(Alerts::rebrandQuestion, url, {Alerts::rebrand, Alerts::cancel}) ==
        AlertPresenter::FirstButton)
        Utils::autoRebrand(url);
}

void LinkHandler::openNewLinkForm(const QString &url)
{
    logLines({QStringLiteral("createLink: ") + url});
    SettingsStore::shared().setString(Preferences::newDestination, url);
    Utils::onMainThread(
        [] { NotificationCenter::shared().post(NotificationViews::newLinkPopoverExternal); });
}

void LinkHandler::afterLink(const std::optional<QJsonObject> &link, bool fromForm, bool updated,
                            const QString &workspaceId, const QString &destination)
{
    if (!link)
        return;
    NotificationCenter::shared().post(NotificationViews::resetListLinks);
    const QString id = link->value(QLatin1String("id")).toString();
    if (updated)
        RebrandUndo::shared().linkChanged(id);
    const std::optional<QString> fullUrl = Switcher::fullShortUrl(*link);
    if (!fullUrl)
        return;
    if (!fromForm && !updated)
        RebrandUndo::shared().remember(id, destination, *fullUrl);
    const bool offerUndo = !fromForm && !updated && RebrandUndo::shared().canUndo(id);
    const SettingsStore &store = SettingsStore::shared();
    const bool copy = store.boolForKey(Preferences::automaticCopy);
    const auto announce = [&] {
        if (updated)
            NotificationHandler::showUpdatedNotification(*fullUrl, id, workspaceId);
        else
            NotificationHandler::showLinkNotification(*fullUrl, true, id, workspaceId, offerUndo);
    };
    if (store.boolForKey(Preferences::notificationBrandedLink)) {
        logLines({QStringLiteral("show notification")});
        announce();
        if (copy)
            copyCreated(*fullUrl);
        return;
    }
    if (!copy)
        return;
    logLines({QStringLiteral("copying to clipboard")});
    copyCreated(*fullUrl);
    if (updated)
        NotificationHandler::showUpdatedNotification(*fullUrl, id, workspaceId);
    else if (fromForm)
        NotificationHandler::showLinkNotification(*fullUrl, false, id);
}

void LinkHandler::linkCreated(const std::optional<QJsonObject> &link, const QString &workspaceId,
                              const QString &destination)
{
    logLines({QStringLiteral("link CREATED")});
    afterLink(link, false, false, workspaceId, destination);
}

void LinkHandler::linkCreatedFromForm(const std::optional<QJsonObject> &link,
                                      const QString &workspaceId)
{
    logLines({QStringLiteral("link CREATED")});
    NotificationCenter::shared().post(NotificationViews::togglePopover);
    afterLink(link, true, false, workspaceId, QString());
}

void LinkHandler::linkUpdated(const std::optional<QJsonObject> &link, const QString &workspaceId)
{
    logLines({QStringLiteral("link UPDATED")});
    NotificationCenter::shared().post(NotificationViews::togglePopover);
    afterLink(link, false, true, workspaceId, QString());
}

void LinkHandler::handleLinkResponse(const std::optional<QJsonObject> &answer,
                                     const ErrorCallback &onError, SuccessHandler onSuccess)
{
    if (!answer || !answer->contains(QLatin1String("errors")))
        return onSuccess(answer);
    const QJsonValue errors = answer->value(QLatin1String("errors"));
    if (!errors.isArray() || errors.toArray().isEmpty())
        return;
    const QJsonArray list = errors.toArray();
    for (const QJsonValue &error : list) {
        if (!error.isObject())
            return;
    }
    const QJsonObject first = list.first().toObject();
    const QJsonValue property = first.value(QLatin1String("property"));
    const QJsonValue message = first.value(QLatin1String("message"));
    if (!property.isString() || !message.isString())
        return;
    logLines({list.toVariantList()});
    if (property.toString() == QLatin1String("slashtag")) {
        if (onError)
            onError(message.toString());
        return;
    }
    onSuccess(answer);
}
