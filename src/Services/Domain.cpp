#include "Services/Domain.h"

#include "App/PropertyList.h"

#include <QVariantMap>

namespace {
const QString kFullName = QStringLiteral("fullName");
const QString kId = QStringLiteral("id");
} // namespace

Domain Domain::fromJson(const QJsonObject &object)
{
    return Domain{object.value(kFullName).toString(), object.value(kId).toString()};
}

QByteArray Domain::encoded() const
{
    // A sorted map writes "fullName" before "id", the order of the fields.
    return PropertyList::encode(QVariantMap{{kFullName, fullName}, {kId, id}});
}

std::optional<Domain> Domain::decode(const QVariant &stored)
{
    if (stored.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return decode(stored.toByteArray());
}

std::optional<Domain> Domain::decode(const QByteArray &data)
{
    const std::optional<QVariant> value = PropertyList::decode(data);
    if (!value || value->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = value->toMap();
    const QVariant fullName = map.value(kFullName);
    const QVariant id = map.value(kId);
    // Both keys are required and must be texts, as a keyed decoder demands.
    if (fullName.typeId() != QMetaType::QString || id.typeId() != QMetaType::QString)
        return std::nullopt;
    return Domain{fullName.toString(), id.toString()};
}
