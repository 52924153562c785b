#pragma once

#include <QString>

#include <optional>

// The API client's view of the network.
enum class InternetStatus { reachable, notReachable };

// The text form carried in the user-info of "qv-change-internet-reachability".
[[nodiscard]] inline QString internetStatusText(InternetStatus status)
{
    return status == InternetStatus::reachable ? QStringLiteral("reachable")
                                               : QStringLiteral("notReachable");
}

[[nodiscard]] inline std::optional<InternetStatus> internetStatusFromText(const QString &text)
{
    if (text == QLatin1String("reachable"))
        return InternetStatus::reachable;
    if (text == QLatin1String("notReachable"))
        return InternetStatus::notReachable;
    return std::nullopt;
}
