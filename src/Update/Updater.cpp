#include "Update/Updater.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "Platform/BundleInfo.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/Config.h"
#include "Update/ArchiveSignature.h"
#include "Update/PrivateFolder.h"
#include "Update/UtilsUpdater.h"
#include "Update/ZipExtractor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {
void log(const QVariantList &items)
{
    Logger::shared().log(items);
}
} // namespace

QString Updater::updaterProgram(const QString &applicationPath)
{
    return applicationPath + QStringLiteral("/bin/quorvella-updater");
}

bool Updater::canReplaceBundle(const QString &bundlePath)
{
    const QFileInfo bundle(QDir::cleanPath(bundlePath));
    return bundle.fileName() == QLatin1String("Quorvella.app") && bundle.isDir() &&
           QFileInfo(bundle.path()).isWritable();
}

bool Updater::installUpdater(const QString &downloadFolder)
{
    const QString applications = Platform::current().bundle().applicationsFolder();
    const QString downloaded = downloadFolder + Costants::Updater::updaterZipName;
    const QString application = applications + Costants::Updater::updaterAppName;
    log({QStringLiteral("downloaded zip"), downloaded, QStringLiteral("application"), application});
    UtilsUpdater::removeIfExists(applications + Costants::Updater::updaterZipName);
    UtilsUpdater::removeIfExists(application);
    if (downloadFolder.isEmpty() || !QFile::exists(downloaded)) {
        log({QStringLiteral("download file not found")});
        return false;
    }
    // Extracted from the private download folder into a private folder beside the target:
    // only a complete updater application is moved into the applications folder.
    const std::unique_ptr<QTemporaryDir> staging =
        PrivateFolder::createIn(applications, QStringLiteral(".QuorvellaUpdater.staging"));
    const QString stagingPath = staging ? staging->path() + QLatin1Char('/') : QString();
    const bool installed =
        staging && unzipUpdater(downloaded, stagingPath) &&
        QFileInfo(updaterProgram(stagingPath + Costants::Updater::updaterAppName)).isExecutable() &&
        QDir().rename(stagingPath + Costants::Updater::updaterAppName, application);
    QFile::remove(downloaded);
    QFile::remove(downloaded + QStringLiteral(".sig"));
    if (!installed) {
        log({QStringLiteral("no usable updater in the archive")});
        return false;
    }
    log({QStringLiteral("gonna launch")});
    // The updater checks the new version's signature with the same key as we did.
    const QStringList arguments = ArchiveSignature::isSandbox(Config::current().downloadHost)
                                      ? QStringList{QStringLiteral("--sandbox")}
                                      : QStringList();
    const bool launched =
        Platform::current().workspace().launchApplication(updaterProgram(application), arguments);
    log({QStringLiteral("app launched"), launched, QStringLiteral("app path"), application});
    return launched;
}

bool Updater::unzipUpdater(const QString &archive, const QString &folder)
{
    log({QStringLiteral("gonna unzip")});
    log({QStringLiteral("found path file"), archive, QStringLiteral("to"), folder});
    if (!QFile::exists(archive)) {
        log({QStringLiteral("not existing file path"), archive});
        return false;
    }
    log({QStringLiteral("gonna unzip"), QStringLiteral("Uncompress into:"), folder});
    QString error;
    const bool ok = ZipExtractor::extract(
        archive, folder,
        [](double fraction) { log({QString::number(fraction * 100.0) + QStringLiteral("%")}); },
        &error);
    if (!ok)
        log({QStringLiteral("Something went wrong"), error});
    return ok;
}
