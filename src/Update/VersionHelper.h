#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

// A version as three optional numbers. A field is absent, not zero, when its text is missing
// or no whole number; every comparison that reads an absent field is false.
class VersionHelper
{
public:
    // The running version, from the bundle's short version text.
    VersionHelper();
    VersionHelper(std::optional<qint64> majorNumber, std::optional<qint64> minorNumber,
                  std::optional<qint64> patchNumber);

    // The running version's text. In a build for testing only (QUORVELLA_TEST_TRUST), a
    // bundle the sandbox made may carry the version its manifest announced in this file, so
    // that an update to a newer version can be played through with this very build.
    [[nodiscard]] static QString runningText();
    static inline const QString sandboxVersionFile = QStringLiteral("share/quorvella/version");

    // "1.4" gives 1, 4 and no patch; "1.x.3" gives 1, no minor and 3.
    [[nodiscard]] static VersionHelper fromText(const QString &text);
    // For log lines: "major: 1, minor: 4, patch: 0", with 0 for an absent field.
    [[nodiscard]] QString description() const;

    [[nodiscard]] static bool isOlder(const VersionHelper &current, const VersionHelper &newest);
    [[nodiscard]] static bool isOlderMajorMinor(const VersionHelper &current,
                                                const VersionHelper &newest);

    std::optional<qint64> major;
    std::optional<qint64> minor;
    std::optional<qint64> patch;
};

// What an update manifest says about the running program.
enum class ManifestVerdict {
    unreadable, // no manifest, no entry for us, or an entry that is not all whole numbers
    incomplete, // "major", "minor" or "patch" missing
    mandatory,  // ahead in major or minor
    optional,   // ahead in patch only
    current,
};

[[nodiscard]] ManifestVerdict evaluateVersions(const std::optional<QJsonObject> &manifest,
                                               const VersionHelper &running);
