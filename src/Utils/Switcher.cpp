#include "Utils/Switcher.h"

#include <QJsonArray>
#include <QTextBoundaryFinder>

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
    // Counted and cut in whole characters (grapheme clusters), never inside a surrogate pair
    // or between a letter and its accent.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, destination);
    qsizetype characters = 0;
    qsizetype cut = 0;
    while (finder.toNextBoundary() >= 0) {
        ++characters;
        if (characters == 100)
            cut = finder.position();
        if (characters == 102)
            return destination.first(cut) + QStringLiteral("...");
    }
    return destination;
}
