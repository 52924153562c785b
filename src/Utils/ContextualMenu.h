#pragma once

#include <QString>

#include <optional>

// The services entry: a text handed over by another program (the session-bus call, or a
// second "quorvella --rebrand TEXT") goes into the rebrand pipeline.
class ContextualMenu
{
public:
    ContextualMenu() = delete;

    // The error text when no text came; a destination accepted by the clipboard's rules
    // (Validation::destinationFrom) is handed on, on the calling thread; anything else is
    // ignored.
    static std::optional<QString> rebrandText(const std::optional<QString> &text);
};
