#include "Utils/Utils.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Platform/Platform.h"
#include "Platform/UserNotificationCenter.h"
#include "Services/ApiManager.h"
#include "Services/Domain.h"
#include "Utils/BackgroundTasks.h"
#include "Utils/LinkHandler.h"
#include "Utils/NotificationHandler.h"
#include "Utils/RebrandUndo.h"
#include "Utils/SlugHandler.h"
#include "Utils/Switcher.h"

#include <QCoreApplication>
#include <QThreadPool>

using namespace Costants;

namespace {

bool isOffline()
{
    return ApiManager::shared().internetStatus() == InternetStatus::notReachable;
}

QString autoReplaceWorkspaceId()
{
    const std::optional<QVariantMap> workspace =
        SettingsStore::shared().dictionaryForKey(Preferences::workspaceObjectAutoReplace);
    if (workspace) {
        const QVariant id = workspace->value(QStringLiteral("id"));
        if (id.typeId() == QMetaType::QString)
            return id.toString();
    }
    logLines({QStringLiteral("no wid")});
    return {};
}

// Nothing can be sent: the form keeps what the user typed and the user learns why.
void refuseOffline(const Utils::ErrorCallback &onError)
{
    logLines({QStringLiteral("NOT SENT: offline")});
    NotificationHandler::showErrorNotification(LocalNotification::offlineMessage);
    if (onError)
        onError(QString(), LocalNotification::offlineMessage);
}

// What keeps the form open: a refusal at a field (any property the service names, so that a
// refused title or destination is shown where it belongs), no answer at all, or an answer
// that is no link. The service's answer to a success always carries the link's id.
std::optional<std::pair<QString, QString>> formRefusal(const std::optional<QJsonObject> &answer)
{
    if (!answer)
        return std::pair{QString(), LocalNotification::noAnswerMessage};
    const QJsonValue errors = answer->value(QLatin1String("errors"));
    if (errors.isArray() && !errors.toArray().isEmpty()) {
        logLines({errors.toArray().toVariantList()});
        const QJsonObject first = errors.toArray().first().toObject();
        const QJsonValue property = first.value(QLatin1String("property"));
        const QJsonValue message = first.value(QLatin1String("message"));
        if (property.isString() && message.isString())
            return std::pair{property.toString(), message.toString()};
    }
    if (!errors.isUndefined() || !answer->value(QLatin1String("id")).isString())
        return std::pair{QString(), LocalNotification::errorDefaultMessage};
    return std::nullopt;
}

// Calls the form back with the refusal; true when there was one.
bool refused(const std::optional<QJsonObject> &answer, const Utils::ErrorCallback &onError)
{
    const auto refusal = formRefusal(answer);
    if (!refusal)
        return false;
    // A refusal the form shows at its field needs no generic "Try later" notification too;
    // the client delivered one for the error status before handing the answer on.
    if (!refusal->first.isEmpty() && Platform::isInstalled())
        Platform::current().userNotificationCenter().removeDeliveredNotification(
            NotificationInfos::copiedLinkIdentifier);
    if (onError)
        onError(refusal->first, refusal->second);
    return true;
}

} // namespace

QList<WorkspaceDTO> Utils::prepareWorkspaces(const QJsonArray &list)
{
    SettingsStore &store = SettingsStore::shared();
    const QStringList checked = store.stringArrayForKey(Preferences::workspaceIdsListCheckedDomains)
                                    .value_or(QStringList());
    QStringList toCheck = store.stringArrayForKey(Preferences::workspaceIdsListToCheckDomains)
                              .value_or(QStringList());
    QList<WorkspaceDTO> workspaces;
    for (const QJsonValue &value : list) {
        const QJsonObject workspace = value.toObject();
        if (!WorkspaceDTO::isListed(workspace))
            continue;
        const WorkspaceDTO dto = WorkspaceDTO::fromJson(workspace, workspaces.size());
        workspaces.append(dto);
        if (!checked.contains(dto.id) && !toCheck.contains(dto.id))
            toCheck.append(dto.id);
    }
    store.setStringArray(Preferences::workspaceIdsListToCheckDomains, toCheck);
    store.synchronize();
    if (!toCheck.isEmpty()) {
        logLines({QStringLiteral("gonna check domains workspaces...")});
        BackgroundTasks::run();
    }
    return workspaces;
}

void Utils::autoRebrand(const QString &url)
{
    logLines({QStringLiteral("auto rebrandanding link")});
    const QString title = Switcher::fallbackTitle(url);
    QJsonObject body{{QStringLiteral("destination"), url}, {QStringLiteral("title"), title}};
    const std::optional<Domain> domain =
        Domain::decode(SettingsStore::shared().objectForKey(Preferences::domainObjectAutoReplace));
    if (!domain)
        return;
    logLines({QStringLiteral("DOMAIN ID: ") + domain->id});
    logLines({QStringLiteral("DOMAIN FULLNAME: ") + domain->fullName});
    body.insert(QStringLiteral("domain"), QJsonObject{{QStringLiteral("id"), domain->id}});
    const QString workspaceId = autoReplaceWorkspaceId();
    logLines({QStringLiteral("gonna auto create"), body.toVariantMap()});
    requestTitleSuggestion(url, workspaceId, [=](const std::optional<QString> &suggested) {
        SlugHandler::chooseSlashtagAndCreate(url, body, title, suggested, workspaceId);
    });
}

void Utils::requestTitleSuggestion(const QString &url, const QString &workspaceId,
                                   TitleCompletion completion)
{
    logLines({QStringLiteral("suggesting link title")});
    // Without a usable token the client starts a refresh and never calls back.
    ApiManager::shared().recommendTitle(QJsonObject{{QStringLiteral("url"), url}}, workspaceId,
                                        [completion](const std::optional<QJsonObject> &answer) {
                                            logLines({QStringLiteral("RESPONSE TITLE")});
                                            const std::optional<QString> title =
                                                Switcher::recommendationOutput(answer);
                                            if (title)
                                                logLines({QStringLiteral("OUTPUT: ") + *title});
                                            completion(title);
                                        });
}

void Utils::createAutoLink(const std::optional<QString> &slashtag, QJsonObject body,
                           const QString &fallbackTitle,
                           const std::optional<QString> &suggestedTitle, const QString &workspaceId)
{
    if (slashtag)
        body.insert(QStringLiteral("slashtag"), *slashtag);
    body.insert(QStringLiteral("title"), suggestedTitle.value_or(fallbackTitle));
    if (isOffline())
        return;
    ApiManager::shared().createLink(
        body, workspaceId,
        [workspaceId, destination = body.value(QLatin1String("destination")).toString()](
            const std::optional<QJsonObject> &link) {
            LinkHandler::linkCreated(link, workspaceId, destination);
        });
}

QJsonObject Utils::formBody(const QString &destination, const QString &title,
                            const QString &slashtag, const QString &domainId)
{
    return QJsonObject{{QStringLiteral("destination"), destination},
                       {QStringLiteral("title"), title},
                       {QStringLiteral("slashtag"), slashtag},
                       {QStringLiteral("domainId"), domainId}};
}

void Utils::createLink(const QString &destination, const std::optional<QString> &title,
                       const QString &slashtag, const QString &domainId,
                       const std::optional<QString> &workspaceId, ErrorCallback onError)
{
    logLines({QStringLiteral("rebrandanding link")});
    const QJsonObject body = formBody(
        destination, title.value_or(Switcher::fallbackTitle(destination)), slashtag, domainId);
    logLines({QStringLiteral("gonna create"), body.toVariantMap()});
    postLink(body, workspaceId, std::move(onError));
}

void Utils::postLink(const QJsonObject &body, const std::optional<QString> &workspaceId,
                     ErrorCallback onError)
{
    if (isOffline())
        return refuseOffline(onError);
    ApiManager::shared().createLink(body, workspaceId,
                                    [onError, workspace = workspaceId.value_or(QString())](
                                        const std::optional<QJsonObject> &answer) {
                                        if (!refused(answer, onError))
                                            LinkHandler::linkCreatedFromForm(answer, workspace);
                                    });
}

void Utils::updateLink(const QString &linkId, const QString &destination, const QString &slashtag,
                       const QString &domainId, const QString &title,
                       const std::optional<QString> &workspaceId, ErrorCallback onError)
{
    const QJsonObject body = formBody(destination, title, slashtag, domainId);
    logLines({QStringLiteral("updating link"), body.toVariantMap()});
    if (isOffline())
        return refuseOffline(onError);
    ApiManager::shared().updateLink(linkId, body, workspaceId,
                                    [onError, workspace = workspaceId.value_or(QString())](
                                        const std::optional<QJsonObject> &answer) {
                                        if (!refused(answer, onError))
                                            LinkHandler::linkUpdated(answer, workspace);
                                    });
}

void Utils::replaceLink(const QString &oldLinkId, const QString &destination,
                        const QString &slashtag, const QString &domainId, const QString &title,
                        const std::optional<QString> &workspaceId, ErrorCallback onError)
{
    const QJsonObject body = formBody(destination, title, slashtag, domainId);
    logLines({QStringLiteral("updating link"), body.toVariantMap()});
    if (isOffline())
        return refuseOffline(onError);
    // A replacement always changes the domain or the slashtag, so the new link cannot collide
    // with the old one: it is made first, and the old one, with its history, goes only once
    // the new one exists. A refused creation leaves the user's link untouched.
    ApiManager::shared().createLink(
        body, workspaceId,
        [oldLinkId, onError,
         workspace = workspaceId.value_or(QString())](const std::optional<QJsonObject> &answer) {
            replacementCreated(oldLinkId, workspace, answer, onError);
        });
}

void Utils::replacementCreated(const QString &oldLinkId, const QString &workspaceId,
                               const std::optional<QJsonObject> &answer,
                               const ErrorCallback &onError)
{
    if (refused(answer, onError))
        return;
    logLines({QStringLiteral("link CREATED, deleting ") + oldLinkId});
    RebrandUndo::shared().linkChanged(oldLinkId);
    ApiManager::shared().deleteLink(oldLinkId, [oldLinkId, workspaceId, link = *answer](
                                                   const std::optional<QJsonObject> &deleted) {
        oldLinkDeleted(oldLinkId, workspaceId, link, deleted);
    });
}

void Utils::oldLinkDeleted(const QString &oldLinkId, const QString &workspaceId,
                           const QJsonObject &link, const std::optional<QJsonObject> &deleted)
{
    if (deleted && deleted->value(QLatin1String("id")).toString() == oldLinkId)
        return LinkHandler::linkCreatedFromForm(link, workspaceId);
    // Both links exist now: the list shows them, and the user hears that the old one stayed.
    logLines({QStringLiteral("old link NOT DELETED: ") + oldLinkId});
    NotificationCenter::shared().post(NotificationViews::togglePopover);
    NotificationCenter::shared().post(NotificationViews::resetListLinks);
    NotificationHandler::showErrorNotification(LocalNotification::oldLinkKeptMessage);
}

void Utils::onMainThread(std::function<void()> work)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

void Utils::onBackgroundThread(std::function<void()> work)
{
    QThreadPool::globalInstance()->start(std::move(work));
}
