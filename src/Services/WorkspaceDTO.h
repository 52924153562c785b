#pragma once

#include <QJsonObject>
#include <QString>

// One workspace as the pickers and the link list show it.
struct WorkspaceDTO
{
    QString name;
    QString avatarURL;
    QString id;
    qint64 index = 0;

    // Missing or mistyped texts stay empty.
    [[nodiscard]] static WorkspaceDTO fromJson(const QJsonObject &object, qint64 index);
    // Only workspaces without a "type", or of the type "classic", are listed.
    [[nodiscard]] static bool isListed(const QJsonObject &object);
};
