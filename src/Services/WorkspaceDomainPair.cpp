#include "Services/WorkspaceDomainPair.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/PropertyList.h"
#include "App/SettingsStore.h"

#include <QVariantMap>

#include <plist/plist.h>

#include <memory>

namespace {

const QString kWorkspace = QStringLiteral("workspace");
const QString kDomain = QStringLiteral("domain");
const QString kAccountId = QStringLiteral("accountId");

struct PlistDeleter
{
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};

void setText(plist_t dict, const QString &key, const QString &value)
{
    plist_dict_set_item(dict, key.toUtf8().constData(),
                        plist_new_string(value.toUtf8().constData()));
}

std::optional<QString> text(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

} // namespace

QByteArray WorkspaceDomainPair::encode(const QList<WorkspaceDomainPair> &pairs)
{
    // Written with libplist directly: a sorted map would put "accountId" first, and the
    // keys keep the order of the fields.
    const std::unique_ptr<void, PlistDeleter> array(plist_new_array());
    for (const WorkspaceDomainPair &pair : pairs) {
        plist_t dict = plist_new_dict();
        setText(dict, kWorkspace, pair.workspace);
        setText(dict, kDomain, pair.domain);
        setText(dict, kAccountId, pair.accountId);
        plist_array_append_item(static_cast<plist_t>(array.get()), dict);
    }
    char *raw = nullptr;
    uint32_t length = 0;
    plist_to_bin(static_cast<plist_t>(array.get()), &raw, &length);
    QByteArray data(raw, static_cast<qsizetype>(length));
    plist_to_bin_free(raw);
    return data;
}

std::optional<QList<WorkspaceDomainPair>> WorkspaceDomainPair::decode(const QByteArray &data)
{
    const std::optional<QVariant> value = PropertyList::decode(data);
    if (!value || value->typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QList<WorkspaceDomainPair> pairs;
    for (const QVariant &element : value->toList()) {
        if (element.typeId() != QMetaType::QVariantMap)
            return std::nullopt;
        const QVariantMap map = element.toMap();
        const auto workspace = text(map, kWorkspace);
        const auto domain = text(map, kDomain);
        const auto accountId = text(map, kAccountId);
        if (!workspace || !domain || !accountId)
            return std::nullopt;
        pairs.append(WorkspaceDomainPair{*workspace, *domain, *accountId});
    }
    return pairs;
}

QList<WorkspaceDomainPair> WorkspaceDomainPair::stored(const SettingsStore &store)
{
    const std::optional<QByteArray> data =
        store.dataForKey(Costants::Preferences::accountWorkspacePairs);
    if (!data)
        return {};
    return decode(*data).value_or(QList<WorkspaceDomainPair>{});
}

std::optional<WorkspaceDomainPair>
WorkspaceDomainPair::find(const QList<WorkspaceDomainPair> &pairs, const QString &accountId,
                          const QString &workspaceId)
{
    for (const WorkspaceDomainPair &pair : pairs) {
        if (pair.accountId == accountId && pair.workspace == workspaceId)
            return pair;
    }
    return std::nullopt;
}

bool WorkspaceDomainPair::save(SettingsStore &store, const QString &domainId,
                               const QString &workspaceId, const QString &accountId)
{
    const WorkspaceDomainPair pair{workspaceId, domainId, accountId};
    QList<WorkspaceDomainPair> pairs;
    // A missing value, a value of another kind or data that does not decode all start a
    // new list: dropping the user's choice would lose it for no gain.
    if (const std::optional<QByteArray> data =
            store.dataForKey(Costants::Preferences::accountWorkspacePairs)) {
        pairs = decode(*data).value_or(QList<WorkspaceDomainPair>{});
    }
    pairs.prepend(pair);
    store.setData(Costants::Preferences::accountWorkspacePairs, encode(pairs));
    const bool synchronized = store.synchronize();
    Logger::shared().log({synchronized ? QStringLiteral("SAVED") : QStringLiteral("NOT SAVED")});
    return synchronized;
}
