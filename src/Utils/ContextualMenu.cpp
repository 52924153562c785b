#include "Utils/ContextualMenu.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "Utils/LinkHandler.h"
#include "Utils/Validation.h"

std::optional<QString> ContextualMenu::rebrandText(const std::optional<QString> &text)
{
    if (!text || text->isEmpty())
        return Costants::ServicesEntry::noTextError;
    if (Validation::isValidUrl(*text))
        LinkHandler::handleCopiedLink(*text);
    else
        logLines({QStringLiteral("services text is no link, ignoring")});
    return std::nullopt;
}
