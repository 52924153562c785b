#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

// One link found in a text, with its range in UTF-16 units (QString indices).
struct LinkMatch
{
    enum class Kind {
        WebAddress, // with or without a scheme
        EmailAddress,
    };
    qsizetype start = 0;
    qsizetype length = 0;
    Kind kind = Kind::WebAddress;

    friend bool operator==(const LinkMatch &, const LinkMatch &) = default;
};

// Finds web addresses (with or without a scheme) and e-mail addresses in a text, in one
// left-to-right pass that never backtracks: every character is looked at a bounded number of
// times, so a text of several megabytes costs linear time. Without a scheme, a host counts when
// its top-level domain is on the public suffix list or when it starts with "www.".
// Matches come in text order and never overlap.
class LinkDetector
{
public:
    // Called for each match in order; returning false stops the scan.
    using Visitor = std::function<bool(const LinkMatch &)>;

    [[nodiscard]] static QList<LinkMatch> matches(QStringView text);
    static void forEachMatch(QStringView text, const Visitor &visit);
    // The match that begins at the text's first character, if any: the first match of the
    // text when it starts there. Costs only the length of that match.
    [[nodiscard]] static std::optional<LinkMatch> matchAtStart(QStringView text);

    // Whether a label (any letter case, Unicode or "xn--" form) is a top-level domain.
    [[nodiscard]] static bool isKnownTopLevelDomain(QStringView label);
};
