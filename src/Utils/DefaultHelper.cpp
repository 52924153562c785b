#include "Utils/DefaultHelper.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Services/Config.h"
#include "Services/Domain.h"
#include "Services/WorkspaceDomainPair.h"

#include <QJsonObject>

using namespace Costants;

namespace {

QString stringOf(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

void storeDomain(const QJsonObject &domain)
{
    SettingsStore &store = SettingsStore::shared();
    store.setData(Preferences::domainObjectAutoReplace, Domain::fromJson(domain).encoded());
    store.synchronize();
}

} // namespace

int DefaultHelper::chooseDefaultWorkspace(const QJsonArray &list, const QString &key)
{
    SettingsStore &store = SettingsStore::shared();
    if (const std::optional<QVariantMap> stored = store.dictionaryForKey(key)) {
        const QVariant storedId = stored->value(QStringLiteral("id"));
        if (storedId.typeId() == QMetaType::QString) {
            for (qsizetype i = 0; i < list.size(); ++i) {
                const QJsonObject workspace = list.at(i).toObject();
                if (workspace.value(QLatin1String("id")) == storedId.toString()) {
                    store.setDictionary(key, workspace.toVariantMap());
                    store.synchronize();
                    return static_cast<int>(i);
                }
            }
        }
    }
    if (list.isEmpty())
        return -1;
    qsizetype chosen = 0;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QJsonValue isDefault = list.at(i).toObject().value(QLatin1String("default"));
        if (isDefault.isBool() && isDefault.toBool()) {
            chosen = i;
            break;
        }
    }
    store.setDictionary(key, list.at(chosen).toObject().toVariantMap());
    store.synchronize();
    return static_cast<int>(chosen);
}

int DefaultHelper::checkDefaultDomain(const QJsonArray &list)
{
    updateDomainNames(list);
    if (list.isEmpty())
        return -1;
    const std::optional<Domain> stored =
        Domain::decode(SettingsStore::shared().objectForKey(Preferences::domainObjectAutoReplace));
    if (!stored) {
        storeDomain(list.first().toObject());
        return 0;
    }
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QJsonObject domain = list.at(i).toObject();
        if (stringOf(domain, "id") == stored->id) {
            // Rewritten even when equal: a full name changed on the service is picked up here.
            storeDomain(domain);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void DefaultHelper::updateDomainNames(const QJsonArray &list)
{
    SettingsStore &store = SettingsStore::shared();
    QStringList names = store.stringArrayForKey(Preferences::domainNames).value_or(QStringList());
    bool changed = false;
    const QString shared = Config::current().sharedShortDomain;
    if (!shared.isEmpty() && !names.contains(shared)) {
        names.append(shared);
        changed = true;
    }
    for (const QJsonValue &value : list) {
        const QJsonValue fullName = value.toObject().value(QLatin1String("fullName"));
        if (!fullName.isString() || names.contains(fullName.toString()))
            continue;
        names.append(fullName.toString());
        changed = true;
    }
    if (!changed)
        return;
    logLines({QStringLiteral("updated")});
    store.setStringArray(Preferences::domainNames, names);
    store.synchronize();
}

void DefaultHelper::saveWorkspaceDomainPair(const QString &domainId, const QString &workspaceId,
                                            const QString &accountId)
{
    SettingsStore &store = SettingsStore::shared();
    WorkspaceDomainPair::save(store, domainId, workspaceId, accountId);
    store.synchronize();
}

void DefaultHelper::accountDomainsFetched(const QJsonArray &list)
{
    QJsonArray active;
    for (const QJsonValue &value : list) {
        const QJsonValue isActive = value.toObject().value(QLatin1String("active"));
        // As in every list of domains: only the boolean true makes a domain active, so the
        // default chosen here is always one the lists show.
        if (value.isObject() && isActive.isBool() && isActive.toBool())
            active.append(value);
    }
    checkDefaultDomain(active);
}

void DefaultHelper::accountWorkspacesFetched(const QJsonArray &list)
{
    chooseDefaultWorkspace(list, Preferences::workspaceObjectAutoReplace);
}
