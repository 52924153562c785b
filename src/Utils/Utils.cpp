#include "Utils/Utils.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Services/ApiManager.h"
#include "Services/Domain.h"
#include "Utils/BackgroundTasks.h"
#include "Utils/LinkHandler.h"
#include "Utils/NotificationHandler.h"
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

// The pipeline's handler knows only the slashtag's refusals.
LinkHandler::ErrorCallback slashtagErrors(const Utils::ErrorCallback &onError)
{
    if (!onError)
        return {};
    return [onError](const QString &message) {
        onError(QStringLiteral("slashtag"), message);
    };
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
    ApiManager::shared().createLink(body, workspaceId, [](const std::optional<QJsonObject> &link) {
        LinkHandler::linkCreated(link);
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
    ApiManager::shared().createLink(
        body, workspaceId, [onError](const std::optional<QJsonObject> &answer) {
            LinkHandler::handleLinkResponse(answer, slashtagErrors(onError),
                                            &LinkHandler::linkCreatedFromForm);
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
    ApiManager::shared().updateLink(
        linkId, body, workspaceId, [onError](const std::optional<QJsonObject> &answer) {
            LinkHandler::handleLinkResponse(answer, slashtagErrors(onError),
                                            &LinkHandler::linkUpdated);
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
    // The new link is posted whatever the deletion answered.
    ApiManager::shared().deleteLink(oldLinkId, [=](const std::optional<QJsonObject> &) {
        postLink(body, workspaceId, onError);
    });
}

void Utils::onMainThread(std::function<void()> work)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

void Utils::onBackgroundThread(std::function<void()> work)
{
    QThreadPool::globalInstance()->start(std::move(work));
}
