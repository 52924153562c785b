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

    // The host of a link as written (letter case kept, no brackets around IPv6), or nothing.
    // A link without a scheme is read as if "https://" stood in front of it.
    [[nodiscard]] static std::optional<QString> hostOf(const QString &link);
};
