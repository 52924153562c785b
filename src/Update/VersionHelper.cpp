#include "Update/VersionHelper.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "Platform/BundleInfo.h"
#include "Platform/Platform.h"
#include "Services/Config.h"
#include "Update/ArchiveSignature.h"

#include <QFile>

#include <QJsonValue>

#include <cmath>

namespace {

std::optional<qint64> wholeNumber(const QString &text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

// JSON has only one number kind: a whole number within range counts as an integer.
std::optional<qint64> integerValue(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (std::trunc(number) != number || std::fabs(number) > 9.0e15)
        return std::nullopt;
    return static_cast<qint64>(number);
}

} // namespace

QString VersionHelper::runningText()
{
    const BundleInfo &bundle = Platform::current().bundle();
#ifdef QUORVELLA_TEST_TRUST
    QFile file(bundle.bundlePath() + QLatin1Char('/') + sandboxVersionFile);
    const QString text =
        file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.read(64)).trimmed() : QString();
    return text.isEmpty() ? bundle.shortVersion() : text;
#else
    return bundle.shortVersion();
#endif
}

VersionHelper::VersionHelper()
{
    const QString text = runningText();
    Logger::shared().log({QStringLiteral("version: ") + text});
    *this = fromText(text);
}

VersionHelper::VersionHelper(std::optional<qint64> majorNumber, std::optional<qint64> minorNumber,
                             std::optional<qint64> patchNumber)
    : major(majorNumber)
    , minor(minorNumber)
    , patch(patchNumber)
{}

VersionHelper VersionHelper::fromText(const QString &text)
{
    const QStringList pieces = text.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    const auto piece = [&pieces](qsizetype index) {
        return index < pieces.size() ? wholeNumber(pieces.at(index)) : std::nullopt;
    };
    return VersionHelper(piece(0), piece(1), piece(2));
}

QString VersionHelper::description() const
{
    return QStringLiteral("major: %1, minor: %2, patch: %3")
        .arg(major.value_or(0))
        .arg(minor.value_or(0))
        .arg(patch.value_or(0));
}

bool VersionHelper::isOlder(const VersionHelper &current, const VersionHelper &newest)
{
    if (!current.major || !newest.major)
        return false;
    if (*current.major != *newest.major)
        return *current.major < *newest.major;
    if (!current.minor || !newest.minor)
        return false;
    if (*current.minor != *newest.minor)
        return *current.minor < *newest.minor;
    if (!current.patch || !newest.patch)
        return false;
    return *current.patch < *newest.patch;
}

bool VersionHelper::isOlderMajorMinor(const VersionHelper &current, const VersionHelper &newest)
{
    if (!current.major || !newest.major)
        return false;
    if (*current.major != *newest.major)
        return *current.major < *newest.major;
    if (!current.minor || !newest.minor)
        return false;
    return *current.minor < *newest.minor;
}

ManifestVerdict evaluateVersions(const std::optional<QJsonObject> &manifest,
                                 const VersionHelper &running)
{
    if (!manifest)
        return ManifestVerdict::unreadable;
    const QJsonValue entryValue = manifest->value(Costants::Updater::bundleIdentifier);
    if (!entryValue.isObject())
        return ManifestVerdict::unreadable;
    const QJsonObject entry = entryValue.toObject();
    for (auto it = entry.begin(); it != entry.end(); ++it) {
        if (!integerValue(it.value()))
            return ManifestVerdict::unreadable;
    }
    const std::optional<qint64> major = integerValue(entry.value(QStringLiteral("major")));
    const std::optional<qint64> minor = integerValue(entry.value(QStringLiteral("minor")));
    const std::optional<qint64> patch = integerValue(entry.value(QStringLiteral("patch")));
    if (!major || !minor || !patch)
        return ManifestVerdict::incomplete;
    const VersionHelper newest(major, minor, patch);
    Logger::shared().log({running.description(), newest.description()});
    if (VersionHelper::isOlderMajorMinor(running, newest))
        return ManifestVerdict::mandatory;
    if (VersionHelper::isOlder(running, newest))
        return ManifestVerdict::optional;
    return ManifestVerdict::current;
}
