#include "Services/WorkspaceDTO.h"

WorkspaceDTO WorkspaceDTO::fromJson(const QJsonObject &object, qint64 index)
{
    WorkspaceDTO workspace;
    workspace.name = object.value(QLatin1String("name")).toString();
    workspace.avatarURL = object.value(QLatin1String("avatarUrl")).toString();
    workspace.id = object.value(QLatin1String("id")).toString();
    workspace.index = index;
    return workspace;
}

bool WorkspaceDTO::isListed(const QJsonObject &object)
{
    const QJsonValue type = object.value(QLatin1String("type"));
    if (type.isUndefined())
        return true;
    return type.isString() && type.toString() == QLatin1String("classic");
}
