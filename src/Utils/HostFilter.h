#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Which copied addresses are never rebranded on their own: hosts that only make sense inside
// the user's machine or network (loopback, private and link-local addresses, ".local",
// ".internal", ".localhost", single labels), and hosts on the user's own list of patterns.
// A pattern "example.com" covers the host and its subdomains; a pattern with '*' is matched
// whole, '*' standing for any run of characters ("*.corp.example").
class HostFilter
{
public:
    HostFilter() = delete;

    // Why the link must not be rebranded unasked ("private address", "on the user's list", …),
    // or nothing when it may be.
    [[nodiscard]] static std::optional<QString> refusal(const QString &link,
                                                        const QStringList &patterns);
    // The same with the patterns stored under "qv-preferences-never-rebrand-hosts".
    [[nodiscard]] static std::optional<QString> refusal(const QString &link);
    // The reason a host alone is refused for, without the user's list.
    [[nodiscard]] static std::optional<QString> hostRefusal(const QString &host);
    [[nodiscard]] static bool matches(const QString &host, const QString &pattern);
    // A pattern as the list keeps it (trimmed, lower case, no trailing dot), or nothing when
    // the text cannot be one (empty, a lone '*', or holding blanks, '/', '?', '#' or '@').
    [[nodiscard]] static std::optional<QString> normalisedPattern(const QString &text);
};
