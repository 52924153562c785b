#pragma once

#include <QString>

#include <optional>

// The services entry: a text handed over by another program (the session-bus call, or a
// second "quorvella --rebrand TEXT") goes into the rebrand pipeline.
class ContextualMenu
{
public:
    ContextualMenu() = delete;

    // The error text when no text came; a valid destination is handed on unchanged, on the
    // calling thread, without the clipboard's checks; anything else is ignored.
    static std::optional<QString> rebrandText(const std::optional<QString> &text);
};
