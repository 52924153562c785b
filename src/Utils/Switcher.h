#pragma once

#include <QJsonObject>
#include <QString>
#include <QUrl>

#include <optional>

// Reads the service's answers that the link pipeline acts on, and hands the downloaded
// update to the updater application.
class Switcher
{
public:
    Switcher() = delete;

    // "https://" + "shortUrl" when "https" is true, else "http://" + "shortUrl" (also when
    // "https" is absent); nothing without a string "shortUrl".
    [[nodiscard]] static std::optional<QString> fullShortUrl(const QJsonObject &link);
    // The first recommendation's "output", when the answer holds one as a string.
    [[nodiscard]] static std::optional<QString>
    recommendationOutput(const std::optional<QJsonObject> &answer);
    // A title of at most 103 characters: a destination of 102 characters or more is cut to
    // its first 100 and "..." is added. Characters are what the user sees as one.
    [[nodiscard]] static QString fallbackTitle(const QString &destination);

    // Opens the updater request for the stored archive through the desktop; false when it
    // cannot be built or nothing handles it. What the updater must find (token, folder and
    // `runningVersion`) is stored first.
    [[nodiscard]] static bool switchToUpdater(const QString &runningVersion);
    // "quorvella-updater://update?pathApp=FOLDER/&pathZip=ZIP&token=TOKEN", each encoded for
    // a query: FOLDER holds the bundle, ZIP is the local file of the stored archive URL.
    [[nodiscard]] static std::optional<QUrl>
    updaterRequest(const QString &bundlePath, const QString &storedZipUrl, const QString &token);
};
