#include "Utils/Switcher.h"

#include <QJsonArray>

std::optional<QString> Switcher::fullShortUrl(const QJsonObject &link)
{
    const QJsonValue shortUrl = link.value(QLatin1String("shortUrl"));
    if (!shortUrl.isString())
        return std::nullopt;
    const QJsonValue https = link.value(QLatin1String("https"));
    const bool secure = https.isBool() && https.toBool();
    return (secure ? QStringLiteral("https://") : QStringLiteral("http://")) + shortUrl.toString();
}

std::optional<QString> Switcher::recommendationOutput(const std::optional<QJsonObject> &answer)
{
    if (!answer)
        return std::nullopt;
    const QJsonValue recommendations = answer->value(QLatin1String("recommendations"));
    if (!recommendations.isArray())
        return std::nullopt;
    const QJsonArray list = recommendations.toArray();
    for (const QJsonValue &element : list) {
        if (!element.isObject())
            return std::nullopt;
    }
    if (list.isEmpty())
        return std::nullopt;
    const QJsonValue output = list.first().toObject().value(QLatin1String("output"));
    if (!output.isString())
        return std::nullopt;
    return output.toString();
}

QString Switcher::fallbackTitle(const QString &destination)
{
    if (destination.size() >= 102)
        return destination.first(100) + QStringLiteral("...");
    return destination;
}
