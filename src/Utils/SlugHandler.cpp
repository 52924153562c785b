#include "Utils/SlugHandler.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Services/ApiManager.h"
#include "Services/Domain.h"
#include "Utils/Switcher.h"
#include "Utils/Utils.h"

using namespace Costants;

namespace {

std::optional<Domain> storedDomain()
{
    return Domain::decode(
        SettingsStore::shared().objectForKey(Preferences::domainObjectAutoReplace));
}

SlugHandler::Strategy storedStrategy()
{
    return SlugHandler::strategyFor(
        SettingsStore::shared().stringForKey(Preferences::optionSlashtagRebrand));
}

} // namespace

SlugHandler::Strategy SlugHandler::strategyFor(const std::optional<QString> &value)
{
    using namespace Preferences::OptionsRebrand;
    if (value == slashtagSuggested)
        return {false, false, false};
    if (value == slashtagSuggestedDash)
        return {false, true, false};
    if (value == slashtagSuggestedCamelcase)
        return {false, false, true};
    // "qv-option-slashtag-shortest" asks for the random proposal too: the service makes the
    // shortest free slashtag for the domain whose full name goes with the request.
    return {true, false, false};
}

void SlugHandler::chooseSlashtagAndCreate(const QString &url, const QJsonObject &body,
                                          const QString &fallbackTitle,
                                          const std::optional<QString> &suggestedTitle,
                                          const QString &workspaceId)
{
    const std::optional<Domain> domain = storedDomain();
    if (!domain)
        return Utils::createAutoLink(std::nullopt, body, fallbackTitle, suggestedTitle,
                                     workspaceId);
    if (!domain->isUsable())
        return;
    recommendSlashtag(
        url, storedStrategy(), domain->fullName, [=](const std::optional<QString> &slashtag) {
            Utils::createAutoLink(slashtag, body, fallbackTitle, suggestedTitle, workspaceId);
        });
}

void SlugHandler::suggestSlashtagForForm(const QString &url, SlashtagCallback callback)
{
    const std::optional<Domain> domain = storedDomain();
    if (!domain)
        return callback(std::nullopt);
    if (!domain->isUsable())
        return;
    recommendSlashtag(url, storedStrategy(), domain->fullName, std::move(callback));
}

void SlugHandler::recommendSlashtag(const QString &url, const Strategy &strategy,
                                    const QString &fullName, SlashtagCallback continuation)
{
    ApiManager &api = ApiManager::shared();
    if (api.internetStatus() == InternetStatus::notReachable)
        return continuation(std::nullopt);
    // Without a usable token the client starts a refresh and never calls back: the chain ends.
    api.recommendSlashtag(url, strategy.random, strategy.dash, strategy.camelCase, fullName,
                          [continuation](const std::optional<QJsonObject> &answer) {
                              readRecommendation(answer, continuation);
                          });
}

void SlugHandler::readRecommendation(const std::optional<QJsonObject> &answer,
                                     const SlashtagCallback &completion)
{
    const std::optional<QString> output = Switcher::recommendationOutput(answer);
    if (output)
        logLines({QStringLiteral("OUTPUT: ") + *output});
    completion(output);
}
