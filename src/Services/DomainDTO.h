#pragma once

#include <QJsonObject>
#include <QString>

// One domain of a workspace as the pickers list it.
struct DomainDTO
{
    QString name;
    QString fullName;
    QString id;
    bool active = false;
    qint64 index = 0;

    [[nodiscard]] static DomainDTO fromJson(const QJsonObject &object, qint64 index);
    // Only a domain whose "active" is the boolean true is taken into the lists; a text
    // "true" is not.
    [[nodiscard]] static bool isActive(const QJsonObject &object);
};
