#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVariant>

#include <optional>

// The persisted form of a domain: the default domain for automatic creation is stored as
// the binary property list of one Domain, a dictionary with exactly "fullName" and "id".
struct Domain
{
    QString fullName;
    QString id;

    [[nodiscard]] static Domain fromJson(const QJsonObject &object);

    [[nodiscard]] QByteArray encoded() const;
    // A stored value that is not data, or data that does not decode as a Domain, is none.
    [[nodiscard]] static std::optional<Domain> decode(const QVariant &stored);
    [[nodiscard]] static std::optional<Domain> decode(const QByteArray &data);

    // A decoded domain with an empty id or full name cannot be used to create links.
    [[nodiscard]] bool isUsable() const { return !id.isEmpty() && !fullName.isEmpty(); }
};
