#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

// The about pane's check: the running version against the plug-in document's
// {"macos": {"version": {"major", "minor"}}}, answered with one of three alerts.
class VersionChecker
{
public:
    VersionChecker() = delete;

    // The completion of getPlugins: the document, or nothing when it could not be fetched.
    static void checkVersion(const std::optional<QJsonObject> &document);

private:
    enum class Verdict { updateNeeded, upToDate, unreadable };
    [[nodiscard]] static Verdict compare(const QString &running,
                                         const std::optional<QJsonObject> &document);
};
