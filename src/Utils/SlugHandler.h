#pragma once

#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>

// Picks the slashtag of a new link: asks the recommendation service according to the
// strategy of the general preferences, for the default domain.
class SlugHandler
{
public:
    using SlashtagCallback = std::function<void(std::optional<QString>)>;

    struct Strategy
    {
        bool random = true;
        bool dash = false;
        bool camelCase = false;
    };

    SlugHandler() = delete;

    // The flags of a "qv-option-slashtag-rebrand" value; absent or unknown: random.
    [[nodiscard]] static Strategy strategyFor(const std::optional<QString> &value);

    // The automatic step: ends in Utils::createAutoLink, with or without a slashtag, unless
    // the default domain has an empty id or full name, or no usable token exists.
    static void chooseSlashtagAndCreate(const QString &url, const QJsonObject &body,
                                        const QString &fallbackTitle,
                                        const std::optional<QString> &suggestedTitle,
                                        const QString &workspaceId);
    // The new-link form's step: ends in `callback` with or without a slashtag.
    static void suggestSlashtagForForm(const QString &url, SlashtagCallback callback);

    // Offline the continuation gets no slashtag at once; otherwise the service is asked.
    static void recommendSlashtag(const QString &url, const Strategy &strategy,
                                  const QString &fullName, SlashtagCallback continuation);
    static void readRecommendation(const std::optional<QJsonObject> &answer,
                                   const SlashtagCallback &completion);
};
