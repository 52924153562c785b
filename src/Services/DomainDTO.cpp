#include "Services/DomainDTO.h"

DomainDTO DomainDTO::fromJson(const QJsonObject &object, qint64 index)
{
    DomainDTO domain;
    domain.fullName = object.value(QLatin1String("fullName")).toString();
    domain.id = object.value(QLatin1String("id")).toString();
    domain.active = isActive(object);
    domain.index = index;
    return domain;
}

bool DomainDTO::isActive(const QJsonObject &object)
{
    const QJsonValue active = object.value(QLatin1String("active"));
    return active.isBool() && active.toBool();
}
