#include "Utils/Switcher.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Platform/BundleInfo.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Utils/PercentEncoding.h"

#include <QDir>
#include <QFileInfo>
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

std::optional<QUrl> Switcher::updaterRequest(const QString &bundlePath, const QString &storedZipUrl)
{
    QString folder = QFileInfo(QDir::cleanPath(bundlePath)).path();
    Logger::shared().log({QStringLiteral("for: ") + folder});
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QString zip = QString(storedZipUrl).remove(QStringLiteral("file://"));
    const QString text = Costants::Updater::requestScheme + QStringLiteral("://update?pathApp=") +
                         PercentEncoding::urlQueryAllowed(folder) + QStringLiteral("&pathZip=") +
                         PercentEncoding::urlQueryAllowed(zip);
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

bool Switcher::switchToUpdater()
{
    const QString bundlePath = Platform::current().bundle().bundlePath();
    Logger::shared().log({QStringLiteral("path: ") + bundlePath});
    const std::optional<QString> stored =
        SettingsStore::shared().stringForKey(Costants::Preferences::storedAppZipPath);
    if (!stored)
        return false;
    const std::optional<QUrl> request = updaterRequest(bundlePath, *stored);
    if (!request) {
        Logger::shared().log({QStringLiteral("no URL")});
        return false;
    }
    Logger::shared().log({QStringLiteral("gonna open"), request->toString(QUrl::FullyEncoded)});
    return Platform::current().workspace().openUrl(*request);
}
