#include "Utils/Switcher.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Platform/BundleInfo.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTextBoundaryFinder>
#include <QUrlQuery>

#include <array>

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

std::optional<QUrl> Switcher::updaterRequest(const QString &bundlePath, const QString &storedZipUrl,
                                             const QString &token)
{
    QString folder = QFileInfo(QDir::cleanPath(bundlePath)).path();
    Logger::shared().log({QStringLiteral("for: ") + folder});
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QUrl zipUrl(storedZipUrl, QUrl::StrictMode);
    const QString zip = zipUrl.isLocalFile() ? zipUrl.toLocalFile() : QString();
    if (zip.isEmpty() || token.isEmpty())
        return std::nullopt;
    // Every byte but the unreserved ones and "/" is escaped, "&", "=", "+", "#" and "%" among
    // them, so the updater reads back exactly these paths.
    const auto encoded = [](const QString &text) {
        return QString::fromLatin1(QUrl::toPercentEncoding(text, "/"));
    };
    QUrl url;
    url.setScheme(Costants::Updater::requestScheme);
    url.setHost(QStringLiteral("update"));
    url.setQuery(QStringLiteral("pathApp=") + encoded(folder) + QStringLiteral("&pathZip=") +
                     encoded(zip) + QStringLiteral("&token=") + encoded(token),
                 QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

bool Switcher::switchToUpdater(const QString &runningVersion)
{
    const QString bundlePath = Platform::current().bundle().bundlePath();
    Logger::shared().log({QStringLiteral("path: ") + bundlePath});
    SettingsStore &store = SettingsStore::shared();
    const std::optional<QString> stored =
        store.stringForKey(Costants::Preferences::storedAppZipPath);
    if (!stored)
        return false;
    // Only a request with this token, for this folder, is obeyed, and only once.
    std::array<quint32, 8> random{};
    QRandomGenerator::system()->fillRange(random.data(), random.size());
    const QString token = QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(random.data()), sizeof random).toHex());
    const std::optional<QUrl> request = updaterRequest(bundlePath, *stored, token);
    if (!request) {
        Logger::shared().log({QStringLiteral("no URL")});
        return false;
    }
    store.setString(Costants::Preferences::updaterToken, token);
    store.setString(Costants::Preferences::updaterInstallFolder,
                    QFileInfo(QDir::cleanPath(bundlePath)).path());
    store.setString(Costants::Preferences::updaterInstalledVersion, runningVersion);
    store.synchronize();
    // The token is a secret: the log shows the request without it.
    QUrl shown = *request;
    QUrlQuery query(shown);
    query.removeAllQueryItems(QStringLiteral("token"));
    shown.setQuery(query);
    Logger::shared().log({QStringLiteral("gonna open"), shown.toString(QUrl::FullyEncoded)});
    if (Platform::current().workspace().openUrl(*request))
        return true;
    store.remove(Costants::Preferences::updaterToken);
    store.synchronize();
    return false;
}
