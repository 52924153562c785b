#include "Update/Updater.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "Platform/BundleInfo.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/Config.h"
#include "Update/ArchiveSignature.h"
#include "Update/UtilsUpdater.h"
#include "Update/ZipExtractor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

bool Updater::installUpdater()
{
    const QString applications = Platform::current().bundle().applicationsFolder();
    const QString downloaded = UtilsUpdater::temporaryFolder() + Costants::Updater::updaterZipName;
    const QString application = applications + Costants::Updater::updaterAppName;
    // The archive is copied and extracted in a folder of its own: only a complete updater
    // application is moved into the applications folder, nothing else of the archive.
    const QString staging = applications + QStringLiteral(".QuorvellaUpdater.staging/");
    const QString applicationZip = staging + Costants::Updater::updaterZipName;
    log({QStringLiteral("downloaded zip"), downloaded, QStringLiteral("application"), application,
         QStringLiteral("application zip"), applicationZip});
    UtilsUpdater::removeIfExists(applications + Costants::Updater::updaterZipName);
    UtilsUpdater::removeIfExists(staging);
    UtilsUpdater::removeIfExists(application);
    if (!QFile::exists(downloaded)) {
        log({QStringLiteral("download file not found")});
        return false;
    }
    log({QStringLiteral("\ngonna copy zip"), downloaded, QStringLiteral("to"), applicationZip});
    QFile source(downloaded);
    if (!QDir().mkpath(staging) || !source.copy(applicationZip)) {
        log({QStringLiteral("ERROR"), source.errorString()});
        UtilsUpdater::removeIfExists(staging);
        return false;
    }
    log({QStringLiteral("copied")});
    const bool installed =
        unzipUpdater(staging) &&
        QFileInfo(updaterProgram(staging + Costants::Updater::updaterAppName)).isExecutable() &&
        QDir().rename(staging + Costants::Updater::updaterAppName, application);
    UtilsUpdater::removeIfExists(staging);
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

bool Updater::unzipUpdater(const QString &folder)
{
    log({QStringLiteral("gonna unzip")});
    const QString archive = folder + Costants::Updater::updaterZipName;
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
