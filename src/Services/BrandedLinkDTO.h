#pragma once

#include <QJsonObject>
#include <QString>

// One link as the link list shows it. A new record has empty texts, zero numbers and both
// flags false; fields the answer lacks, or holds with another kind, keep those values.
struct BrandedLinkDTO
{
    QString id;
    qint64 clicks = 0;
    QString shortUrl;
    QString title;
    QString slashtag;
    QString multilineTitle;
    QString createdAt;
    bool favourite = false;
    bool isHttps = false;
    qint64 creationMinutes = 0;
    qint64 creationHours = 0;
    qint64 creationDays = 0;
    qint64 creationMonths = 0;
    qint64 creationYears = 0;
    QString destination;

    [[nodiscard]] static BrandedLinkDTO fromJson(const QJsonObject &object);
    // "https://" or "http://" followed by the short URL.
    [[nodiscard]] QString fullShortUrl() const;
};
