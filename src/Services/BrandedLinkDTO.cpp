#include "Services/BrandedLinkDTO.h"

namespace {
bool flag(const QJsonObject &object, QLatin1String key)
{
    const QJsonValue value = object.value(key);
    return value.isBool() && value.toBool();
}
} // namespace

BrandedLinkDTO BrandedLinkDTO::fromJson(const QJsonObject &object)
{
    BrandedLinkDTO link;
    link.id = object.value(QLatin1String("id")).toString();
    const QJsonValue clicks = object.value(QLatin1String("clicks"));
    if (clicks.isDouble())
        link.clicks = clicks.toInteger();
    link.shortUrl = object.value(QLatin1String("shortUrl")).toString();
    link.title = object.value(QLatin1String("title")).toString();
    link.slashtag = object.value(QLatin1String("slashtag")).toString();
    link.createdAt = object.value(QLatin1String("createdAt")).toString();
    link.favourite = flag(object, QLatin1String("favourite"));
    link.isHttps = flag(object, QLatin1String("https"));
    link.destination = object.value(QLatin1String("destination")).toString();
    return link;
}

QString BrandedLinkDTO::fullShortUrl() const
{
    return (isHttps ? QStringLiteral("https://") : QStringLiteral("http://")) + shortUrl;
}
