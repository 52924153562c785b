#pragma once

#include <QByteArray>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// Binary property lists ("bplist00") through libplist. Values keep their kinds: bool, integer,
// real, text, date, data, array and dictionary. Values with no property-list form (null,
// invalid) are left out of their container instead of failing the whole document.
class PropertyList
{
public:
    PropertyList() = delete;

    [[nodiscard]] static QByteArray encode(const QVariant &value);
    [[nodiscard]] static std::optional<QVariant> decode(const QByteArray &data);

    // A value with no property-list form: null, invalid, or a type we do not map.
    [[nodiscard]] static bool isStorable(const QVariant &value);
};
