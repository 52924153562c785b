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
#include <QFutureWatcher>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>

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

void Updater::installUpdater(const QString &downloadFolder, QObject *context,
                             std::function<void(bool launched)> done)
{
    const QString applications = Platform::current().bundle().applicationsFolder();
    const QString downloaded = downloadFolder + Costants::Updater::updaterZipName;
    const QString application = applications + Costants::Updater::updaterAppName;
    log({QStringLiteral("downloaded zip"), downloaded, QStringLiteral("application"), application});
    UtilsUpdater::removeIfExists(applications + Costants::Updater::updaterZipName);
    UtilsUpdater::removeIfExists(application);
    QFile signatureFile(downloaded + QStringLiteral(".sig"));
    if (downloadFolder.isEmpty() || !signatureFile.open(QIODevice::ReadOnly)) {
        log({QStringLiteral("download file not found")});
        return done(false);
    }
    const QByteArray signature = signatureFile.read(1024);
    // Extracted from the private download folder into a private folder beside the target:
    // only a complete updater application is moved into the applications folder.
    const std::shared_ptr<QTemporaryDir> staging =
        PrivateFolder::createIn(applications, QStringLiteral(".QuorvellaUpdater.staging"));
    if (!staging)
        return done(false);
    const QString stagingPath = staging->path() + QLatin1Char('/');
    log({QStringLiteral("gonna unzip"), QStringLiteral("Uncompress into:"), stagingPath});
    // The bytes extracted are the bytes verified, right before, off the GUI thread.
    auto *watcher = new QFutureWatcher<QString>(context);
    QObject::connect(watcher, &QFutureWatcher<QString>::finished, context, [=] {
        watcher->deleteLater();
        const QString error = watcher->result();
        QFile::remove(downloaded);
        QFile::remove(downloaded + QStringLiteral(".sig"));
        const bool installed =
            error.isEmpty() &&
            QFileInfo(updaterProgram(stagingPath + Costants::Updater::updaterAppName))
                .isExecutable() &&
            QDir().rename(stagingPath + Costants::Updater::updaterAppName, application);
        staging->remove();
        if (!installed) {
            log({QStringLiteral("Something went wrong"), error});
            log({QStringLiteral("no usable updater in the archive")});
            return done(false);
        }
        done(launch(application));
    });
    // The worker holds the staging folder too: it goes only once nobody writes in it.
    watcher->setFuture(QtConcurrent::run([downloaded, signature, staging, stagingPath] {
        if (!ArchiveSignature::verify(downloaded, signature))
            return QStringLiteral("the updater is not signed by Quorvella");
        QString error;
        return ZipExtractor::extract(downloaded, stagingPath, {}, &error)
                   ? QString()
                   : (error.isEmpty() ? QStringLiteral("can't extract") : error);
    }));
}

bool Updater::launch(const QString &application)
{
    log({QStringLiteral("gonna launch")});
    const bool launched =
        Platform::current().workspace().launchApplication(updaterProgram(application), {});
    log({QStringLiteral("app launched"), launched, QStringLiteral("app path"), application});
    return launched;
}
