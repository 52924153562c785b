#include "App/PropertyList.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <QUrl>

#include <plist/plist.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

// Seconds between the Unix epoch and the property-list epoch, 2001-01-01 00:00:00 UTC.
constexpr qint64 kPlistEpochOffset = 978307200;

struct PlistDeleter
{
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

struct MallocDeleter
{
    void operator()(void *p) const { std::free(p); }
};

plist_t toNode(const QVariant &value);

plist_t dictionaryNode(const QVariantMap &map)
{
    plist_t dict = plist_new_dict();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (plist_t item = toNode(it.value()))
            plist_dict_set_item(dict, it.key().toUtf8().constData(), item);
    }
    return dict;
}

plist_t arrayNode(const QVariantList &list)
{
    plist_t array = plist_new_array();
    for (const QVariant &element : list) {
        if (plist_t item = toNode(element))
            plist_array_append_item(array, item);
    }
    return array;
}

plist_t dateNode(const QDateTime &date)
{
    const qint64 msecs = date.toMSecsSinceEpoch() - kPlistEpochOffset * 1000;
    const qint64 seconds = msecs >= 0 ? msecs / 1000 : -((-msecs + 999) / 1000);
    const qint64 micros = (msecs - seconds * 1000) * 1000;
    return plist_new_date(static_cast<int32_t>(seconds), static_cast<int32_t>(micros));
}

plist_t toNode(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        // Negative values keep their two's complement form; readers see them as signed.
        return plist_new_uint(static_cast<uint64_t>(value.toLongLong()));
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return plist_new_uint(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
        const double real = value.toDouble();
        return std::isfinite(real) ? plist_new_real(real) : nullptr;
    }
    case QMetaType::QString:
        return plist_new_string(value.toString().toUtf8().constData());
    case QMetaType::QUrl:
        return plist_new_string(value.toUrl().toString().toUtf8().constData());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), static_cast<uint64_t>(bytes.size()));
    }
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        return date.isValid() ? dateNode(date) : nullptr;
    }
    case QMetaType::QVariantMap:
        return dictionaryNode(value.toMap());
    case QMetaType::QVariantHash: {
        QVariantMap map;
        const QVariantHash hash = value.toHash();
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            map.insert(it.key(), it.value());
        return dictionaryNode(map);
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return arrayNode(value.toList());
    default:
        return nullptr;
    }
}

QString takeString(char *raw)
{
    std::unique_ptr<char, MallocDeleter> owned(raw);
    return raw ? QString::fromUtf8(raw) : QString();
}

QVariant fromNode(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t flag = 0;
        plist_get_bool_val(node, &flag);
        return QVariant(flag != 0);
    }
    case PLIST_UINT: {
        uint64_t number = 0;
        plist_get_uint_val(node, &number);
        return QVariant(static_cast<qint64>(number));
    }
    case PLIST_REAL: {
        double real = 0;
        plist_get_real_val(node, &real);
        return QVariant(real);
    }
    case PLIST_STRING: {
        char *raw = nullptr;
        plist_get_string_val(node, &raw);
        return QVariant(takeString(raw));
    }
    case PLIST_DATA: {
        char *raw = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &raw, &length);
        std::unique_ptr<char, MallocDeleter> owned(raw);
        return QVariant(QByteArray(raw, static_cast<qsizetype>(length)));
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t micros = 0;
        plist_get_date_val(node, &seconds, &micros);
        const qint64 msecs = (qint64(seconds) + kPlistEpochOffset) * 1000 + micros / 1000;
        return QVariant(QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::utc()));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t size = plist_array_get_size(node);
        for (uint32_t i = 0; i < size; ++i) {
            const QVariant element = fromNode(plist_array_get_item(node, i));
            if (element.isValid())
                list.append(element);
        }
        return QVariant(list);
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        std::unique_ptr<void, MallocDeleter> ownedIter(iter);
        for (;;) {
            char *rawKey = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iter, &rawKey, &item);
            if (!item) {
                std::free(rawKey);
                break;
            }
            const QString key = takeString(rawKey);
            const QVariant element = fromNode(item);
            if (element.isValid())
                map.insert(key, element);
        }
        return QVariant(map);
    }
    default:
        return QVariant();
    }
}

} // namespace

bool PropertyList::isStorable(const QVariant &value)
{
    PlistPtr node(toNode(value));
    return node != nullptr;
}

QByteArray PropertyList::encode(const QVariant &value)
{
    PlistPtr node(toNode(value));
    if (!node)
        return {};
    char *raw = nullptr;
    uint32_t length = 0;
    plist_to_bin(static_cast<plist_t>(node.get()), &raw, &length);
    QByteArray bytes(raw, static_cast<qsizetype>(length));
    plist_to_bin_free(raw);
    return bytes;
}

std::optional<QVariant> PropertyList::decode(const QByteArray &data)
{
    if (data.size() < 8 || !data.startsWith("bplist00"))
        return std::nullopt;
    plist_t raw = nullptr;
    plist_from_bin(data.constData(), static_cast<uint32_t>(data.size()), &raw);
    if (!raw)
        return std::nullopt;
    PlistPtr node(raw);
    QVariant value = fromNode(raw);
    if (!value.isValid())
        return std::nullopt;
    return value;
}
