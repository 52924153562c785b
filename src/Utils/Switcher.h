#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

// Reads the service's answers that the link pipeline acts on.
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
};
