#include "Utils/LinkHandler.h"

#include "App/Logger.h"

void LinkHandler::handleCopiedLink(const QString &url)
{
    // The rebrand pipeline joins here later; until then the hand-off is only logged.
    Logger::shared().log({QStringLiteral("copied link handed on: ") + url});
}
