#include "Update/VersionChecker.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "Platform/AlertPresenter.h"
#include "Platform/BundleInfo.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/Config.h"

#include <QJsonDocument>

#include <cmath>

using namespace Costants;

namespace {

// A piece of the running version counts only when all of it is a number.
std::optional<double> numberOf(const QString &piece)
{
    bool ok = false;
    const double value = piece.toDouble(&ok);
    if (!ok || piece.trimmed() != piece || !std::isfinite(value))
        return std::nullopt;
    return value;
}

int showAlert(const QString &message)
{
    const Alert alert{message,
                      Version::thanksInformative,
                      Alert::Style::Warning,
                      {QStringLiteral("OK"), QStringLiteral("Cancel")}};
    return Platform::current().alerts().runModal(alert);
}

} // namespace

VersionChecker::Verdict VersionChecker::compare(const QString &running,
                                                const std::optional<QJsonObject> &document)
{
    const QStringList pieces = running.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (pieces.size() < 2 || !document)
        return Verdict::unreadable;
    const QJsonValue version =
        document->value(QStringLiteral("macos")).toObject().value(QStringLiteral("version"));
    const QJsonValue major = version.toObject().value(QStringLiteral("major"));
    const QJsonValue minor = version.toObject().value(QStringLiteral("minor"));
    if (!major.isDouble() || !minor.isDouble())
        return Verdict::unreadable;
    const std::optional<double> runningMajor = numberOf(pieces.at(0));
    const std::optional<double> runningMinor = numberOf(pieces.at(1));
    if (!runningMajor || !runningMinor)
        return Verdict::unreadable;
    const bool newer = major.toDouble() > *runningMajor ||
                       (major.toDouble() == *runningMajor && minor.toDouble() > *runningMinor);
    return newer ? Verdict::updateNeeded : Verdict::upToDate;
}

void VersionChecker::checkVersion(const std::optional<QJsonObject> &document)
{
    const QString running = Platform::current().bundle().shortVersion();
    logLines({QStringLiteral("version: ") + running, document ? QVariant(*document) : QVariant()});
    switch (compare(running, document)) {
    case Verdict::updateNeeded:
        logLines({QStringLiteral("to update")});
        if (showAlert(Version::needUpdateMessage) == AlertPresenter::FirstButton)
            Platform::current().workspace().openUrl(Config::current().downloadPage);
        break;
    case Verdict::upToDate:
        logLines({QStringLiteral("no updates!")});
        showAlert(Version::appUpToDatePrefix + running);
        break;
    case Verdict::unreadable:
        showAlert(Version::appUpToDatePrefix + Version::fallbackVersion);
        break;
    }
}
