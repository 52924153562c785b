#include "Controllers/LinkList/AutoReplaceDomainsRefresh.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "Services/ApiManager.h"
#include "Services/WorkspaceDTO.h"
#include "Utils/DefaultHelper.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>

using namespace Costants;

namespace {

void domainsLoaded(const std::optional<QJsonArray> &domains)
{
    QJsonArray active;
    for (const QJsonValue &value : domains.value_or(QJsonArray())) {
        const QJsonObject domain = value.toObject();
        const QJsonValue fullName = domain.value(QLatin1String("fullName"));
        logLines({fullName.isString() ? fullName.toString() : QStringLiteral("domain fullname")});
        const QJsonValue isActive = domain.value(QLatin1String("active"));
        if (isActive.isBool() && isActive.toBool())
            active.append(domain);
    }
    [[maybe_unused]] const int chosen = DefaultHelper::checkDefaultDomain(active);
}

void workspacesLoaded(const QPointer<QObject> &context, const std::optional<QJsonArray> &list)
{
    if (!context || !list)
        return;
    QJsonArray listed;
    for (const QJsonValue &value : *list) {
        if (WorkspaceDTO::isListed(value.toObject()))
            listed.append(value);
    }
    const int index =
        DefaultHelper::chooseDefaultWorkspace(listed, Preferences::workspaceObjectAutoReplace);
    if (index < 0)
        return;
    const QString id = listed.at(index).toObject().value(QLatin1String("id")).toString();
    if (ApiManager::shared().internetStatus() != InternetStatus::reachable) {
        domainsLoaded(QJsonArray());
        return;
    }
    ApiManager::shared().getDomains(id, [context](const std::optional<QJsonArray> &domains, int) {
        if (context)
            domainsLoaded(domains);
    });
}

} // namespace

void AutoReplaceDomainsRefresh::start(QObject *context)
{
    if (ApiManager::shared().internetStatus() != InternetStatus::reachable)
        return;
    ApiManager::shared().getWorkspaces(
        [guard = QPointer(context)](const std::optional<QJsonArray> &list) {
            workspacesLoaded(guard, list);
        });
}
