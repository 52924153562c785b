#pragma once

#include <QString>

#include <optional>

// The destination checks: whether a text is one web link, and whether it already points at
// one of the user's branded domains ("domainNames" in the shared settings store).
class Validation
{
public:
    Validation() = delete;

    // The whole text is one link found by LinkDetector, and not an e-mail address.
    [[nodiscard]] static bool isValidUrl(const QString &text);
    // A valid link whose host, as written, is one of "domainNames" (case-sensitive).
    [[nodiscard]] static bool isBrandedDomainLink(const QString &text);

    // What a copied or handed-over text becomes before the pipeline gets it: its first
    // character (a whole code point) lowercased; then nothing when it is no valid destination,
    // already on a branded domain, or carries a password; otherwise it gets "https://" when it
    // has no scheme. The clipboard monitor and the services entry share these rules.
    [[nodiscard]] static std::optional<QString> destinationFrom(const QString &text);
    [[nodiscard]] static QString withLowercaseFirstCharacter(const QString &text);
    // Whether the user-info of the link holds a password ("user:secret@host").
    [[nodiscard]] static bool hasPassword(const QString &link);

    // The host of a link as written (letter case kept, no brackets around IPv6), or nothing.
    // A link without a scheme is read as if "https://" stood in front of it.
    [[nodiscard]] static std::optional<QString> hostOf(const QString &link);
};
