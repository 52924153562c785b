#include "Utils/ContextualMenu.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "Utils/LinkHandler.h"
#include "Utils/Validation.h"

std::optional<QString> ContextualMenu::rebrandText(const std::optional<QString> &text)
{
    if (!text || text->isEmpty())
        return Costants::ServicesEntry::noTextError;
    // The same rules as a copied link: a scheme-less address gets one, the user's own short
    // links and links carrying a password are not handed on.
    if (const std::optional<QString> destination = Validation::destinationFrom(*text))
        LinkHandler::handleCopiedLink(*destination);
    else
        logLines({QStringLiteral("services text is no link, ignoring")});
    return std::nullopt;
}
