#include "Updater/UpdaterApplication.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Platform/linux/DesktopDatabase.h"
#include "Platform/linux/DesktopWorkspace.h"
#include "Platform/linux/SessionBusName.h"
#include "Update/ArchiveSignature.h"
#include "Update/HealthMark.h"
#include "Update/PrivateFolder.h"
#include "Update/ReadyMark.h"
#include "Update/ZipExtractor.h"
#include "Updater/SchemeRegistration.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>
#include <QUrlQuery>

#include <sodium.h>

namespace {

void log(const QVariantList &items)
{
    Logger::shared().log(items);
}

bool removeAll(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    return info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
}

QString programOf(const QString &bundle)
{
    return bundle + QStringLiteral("/bin/quorvella");
}

// The new bundle's desktop entry names the program where the archive was made; it must name
// the program where the bundle now lies.
void pointDesktopEntryAt(const QString &bundle)
{
    QFile entry(bundle +
                QStringLiteral("/share/applications/com.quorvella.desktop.Quorvella.desktop"));
    if (!entry.open(QIODevice::ReadOnly))
        return;
    QStringList lines = QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n'));
    entry.close();
    for (QString &line : lines) {
        if (line.startsWith(QLatin1String("Exec=")))
            line = QStringLiteral("Exec=") + SchemeRegistration::execLine(programOf(bundle));
    }
    QSaveFile rewritten(entry.fileName());
    if (!rewritten.open(QIODevice::WriteOnly) ||
        rewritten.write(lines.join(QLatin1Char('\n')).toUtf8()) < 0 || !rewritten.commit())
        log({QStringLiteral("can't rewrite ") + entry.fileName()});
}

} // namespace

UpdaterApplication::UpdaterApplication(Timeouts timeouts, QObject *parent)
    : QObject(parent)
    , m_timeouts(timeouts)
{}

std::optional<UpdaterApplication::Request> UpdaterApplication::parseRequest(const QUrl &url)
{
    if (url.scheme() != Costants::Updater::requestScheme || url.host() != QLatin1String("update"))
        return std::nullopt;
    const QUrlQuery query(url);
    Request request{query.queryItemValue(QStringLiteral("pathApp"), QUrl::FullyDecoded),
                    query.queryItemValue(QStringLiteral("pathZip"), QUrl::FullyDecoded),
                    query.queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded)};
    if (!QDir::isAbsolutePath(request.folder) || !QDir::isAbsolutePath(request.archive) ||
        request.token.isEmpty())
        return std::nullopt;
    if (!request.folder.endsWith(QLatin1Char('/')))
        request.folder += QLatin1Char('/');
    return request;
}

void UpdaterApplication::run(const QStringList &arguments)
{
    // One updater at a time works on the install, from the first step to the last.
    m_lock = std::make_unique<QLockFile>(PrivateFolder::base() + QStringLiteral("updater.lock"));
    m_lock->setStaleLockTime(0); // stale only when its owner is gone
    if (!PrivateFolder::base().isEmpty() && m_lock->tryLock(0))
        repairHalfDoneSwap();
    for (const QString &argument : arguments.mid(1)) {
        const QUrl url(argument);
        if (url.scheme() != Costants::Updater::requestScheme)
            continue;
        const std::optional<Request> request = parseRequest(url);
        if (!request || !QFileInfo::exists(request->archive)) {
            log({QStringLiteral("not an update request")});
            return emit finished(2);
        }
        m_request = *request;
        log({QStringLiteral("update request for ") + bundle()});
        if (!authorize() || !takeArchive())
            return emit finished(2);
        return waitForQuit();
    }
    registerScheme();
}

void UpdaterApplication::registerScheme()
{
    // Started by the program without a request: it opens its request once we say the
    // handler is in place.
    const QString program = QCoreApplication::applicationFilePath();
    SchemeRegistration::registerHandler(
        program, m_timeouts.registration, this,
        [this, program](bool registered) { schemeRegistered(program, registered); });
}

void UpdaterApplication::schemeRegistered(const QString &program, bool registered)
{
    if (!registered || !ReadyMark::write(program)) {
        log({QStringLiteral("can't register the URL scheme")});
        return emit finished(3);
    }
    log({QStringLiteral("the URL scheme is registered")});
    emit finished(0);
}

void UpdaterApplication::finish(int status)
{
    // The update is over, done or not: nothing may hand requests to an updater about to go.
    QString error;
    if (!SchemeRegistration::unregisterHandler(&error))
        log({QStringLiteral("can't unregister the URL scheme: ") + error});
    const QString applications =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/applications");
    DesktopDatabase::refresh(applications, m_timeouts.registration, this,
                             [this, status](bool) { emit finished(status); });
}

void UpdaterApplication::repairHalfDoneSwap()
{
    if (SchemeRegistration::isStale()) {
        QString error;
        log({QStringLiteral("removing a URL handler whose updater is gone: ") +
             (SchemeRegistration::unregisterHandler(&error) ? QStringLiteral("true") : error)});
    }
    // A swap cut between its two renames leaves the old bundle aside and none in place.
    const QString folder = SettingsStore::shared()
                               .stringForKey(Costants::Preferences::updaterInstallFolder)
                               .value_or(QString());
    if (folder.isEmpty())
        return;
    const QString aside = folder + QStringLiteral("/.Quorvella.old");
    const QString installed = folder + QLatin1Char('/') + bundleName;
    const QFileInfo inPlace(installed);
    if (QFileInfo(aside).isDir() && !inPlace.exists() && !inPlace.isSymLink()) {
        const bool repaired = QDir().rename(aside, installed);
        log({QStringLiteral("put back the bundle of a half-done update: ") +
             (repaired ? QStringLiteral("true") : QStringLiteral("false"))});
    }
}

bool UpdaterApplication::authorize()
{
    // Only the program asks for an update: it stored the token of the request, the folder to
    // update and the version it runs just before handing over. Anyone else is refused.
    SettingsStore &store = SettingsStore::shared();
    const QByteArray expected =
        store.stringForKey(Costants::Preferences::updaterToken).value_or(QString()).toLatin1();
    const QByteArray given = m_request.token.toLatin1();
    const QString folder =
        store.stringForKey(Costants::Preferences::updaterInstallFolder).value_or(QString());
    if (expected.isEmpty() || expected.size() != given.size() ||
        sodium_memcmp(expected.constData(), given.constData(), size_t(given.size())) != 0) {
        log({QStringLiteral("refused: the request does not come from Quorvella")});
        return false;
    }
    if (folder.isEmpty() || QDir::cleanPath(folder) != QDir::cleanPath(m_request.folder) ||
        !QFileInfo(programOf(bundle())).isFile()) {
        log({QStringLiteral("refused: not the folder of the running install")});
        return false;
    }
    if (!m_lock->isLocked()) {
        log({QStringLiteral("refused: another update is at work")});
        return false;
    }
    m_installedVersion =
        store.stringForKey(Costants::Preferences::updaterInstalledVersion).value_or(QString());
    store.remove(Costants::Preferences::updaterToken); // good for one request only
    store.synchronize();
    return true;
}

bool UpdaterApplication::isNewer(const QString &installed, const QString &candidate)
{
    const auto numbers = [](const QString &text) {
        QList<qint64> parts;
        for (const QString &piece : text.trimmed().split(QLatin1Char('.'))) {
            bool ok = false;
            parts.append(piece.toLongLong(&ok));
            if (!ok || parts.last() < 0)
                return QList<qint64>();
        }
        return parts.size() == 3 ? parts : QList<qint64>();
    };
    const QList<qint64> from = numbers(installed);
    const QList<qint64> to = numbers(candidate);
    return !from.isEmpty() && !to.isEmpty() && from < to;
}

bool UpdaterApplication::takeArchive()
{
    // Copied before anything else into a folder only we can write: what is verified and
    // extracted later is what was handed, whatever happens to the handed files meanwhile.
    m_work = PrivateFolder::create(QStringLiteral("updater"));
    QString error;
    const bool copied = m_work && PrivateFolder::copyFile(m_request.archive, archive(), &error) &&
                        PrivateFolder::copyFile(m_request.archive + QStringLiteral(".sig"),
                                                archive() + QStringLiteral(".sig"), &error);
    if (!copied) {
        log({QStringLiteral("can't take the new version: ") +
             (m_work ? error : QStringLiteral("no private folder"))});
        return false;
    }
    // The program waits for this before it quits; it then removes its download folder.
    QFile acknowledgement(QFileInfo(m_request.archive).path() + QLatin1Char('/') +
                          Costants::Updater::acknowledgementName);
    if (!PrivateFolder::isInside(m_request.archive) ||
        !acknowledgement.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        log({QStringLiteral("can't acknowledge the request")});
        return false;
    }
    return true;
}

void UpdaterApplication::waitForQuit()
{
    SessionBusName::waitFor(instanceName, false, m_timeouts.quit, this, [this](bool quit) {
        if (!quit) {
            // The old program still runs: replacing it under its feet could break it.
            log({QStringLiteral("Quorvella did not quit; nothing was changed")});
            return finish(1);
        }
        stage();
    });
}

void UpdaterApplication::stage()
{
    QFile signature(archive() + QStringLiteral(".sig"));
    // Our private copy, verified right before it is extracted.
    if (!signature.open(QIODevice::ReadOnly) ||
        !ArchiveSignature::verify(archive(), signature.read(256))) {
        log({QStringLiteral("the new version is not signed by Quorvella; nothing was changed")});
        return restartOld(1);
    }
    // Beside the install, so that the swap is a rename on one file system.
    m_staging = PrivateFolder::createIn(m_request.folder, QStringLiteral(".Quorvella.staging"));
    QString error = m_staging ? QString() : QStringLiteral("no private staging folder");
    const bool extracted = m_staging && ZipExtractor::extract(archive(), staging(), {}, &error);
    if (!extracted ||
        !QFileInfo(programOf(staging() + QLatin1Char('/') + bundleName)).isExecutable()) {
        log({QStringLiteral("the new version can't be staged: ") +
             (error.isEmpty() ? QStringLiteral("no program in the archive") : error)});
        m_staging.reset();
        return restartOld(1);
    }
    // The version comes from the signed archive: an older release, validly signed, is refused.
    QFile versionFile(staging() + QLatin1Char('/') + bundleName + QStringLiteral("/") +
                      versionFileName);
    const QString version =
        versionFile.open(QIODevice::ReadOnly) ? QString::fromUtf8(versionFile.read(64)) : QString();
    if (!isNewer(m_installedVersion, version)) {
        log({QStringLiteral("refused: the new version (") + version.trimmed() +
             QStringLiteral(") is not newer than ") + m_installedVersion});
        m_staging.reset();
        return restartOld(1);
    }
    swap();
}

void UpdaterApplication::swap()
{
    removeAll(old());
    const bool hadBundle = QFileInfo::exists(bundle());
    if (hadBundle && !QDir().rename(bundle(), old())) {
        log({QStringLiteral("can't move the installed version aside")});
        m_staging.reset();
        return restartOld(1);
    }
    if (!QDir().rename(staging() + QLatin1Char('/') + bundleName, bundle())) {
        log({QStringLiteral("can't move the new version in")});
        if (hadBundle)
            QDir().rename(old(), bundle());
        m_staging.reset();
        return restartOld(1);
    }
    m_staging.reset();
    pointDesktopEntryAt(bundle());
    startNew();
}

void UpdaterApplication::startNew()
{
    log({QStringLiteral("starting ") + programOf(bundle())});
    HealthMark::clear();
    if (!DesktopWorkspace::launch(programOf(bundle()), {}, &m_newPid))
        return rollBack();
    m_sinceStart.start();
    waitForHealth();
}

void UpdaterApplication::waitForHealth()
{
    // Running is not enough: the old bundle goes only once the new version says it works,
    // after its start-up and some seconds up.
    if (HealthMark::isWritten())
        return newStarted();
    if (!DesktopWorkspace::processRuns(m_newPid)) {
        log({QStringLiteral("the new version ended")});
        return rollBack();
    }
    if (m_sinceStart.hasExpired(m_timeouts.start))
        return endNew(false);
    QTimer::singleShot(200, this, &UpdaterApplication::waitForHealth);
}

void UpdaterApplication::endNew(bool force)
{
    if (!DesktopWorkspace::processRuns(m_newPid))
        return rollBack();
    log({QStringLiteral("the new version does not answer; ending it")});
    DesktopWorkspace::endProcess(m_newPid, force);
    // Two seconds to end by itself, then it is made to.
    QTimer::singleShot(force ? 500 : 2000, this, [this] {
        if (!DesktopWorkspace::processRuns(m_newPid))
            return rollBack();
        endNew(true);
    });
}

void UpdaterApplication::newStarted()
{
    log({QStringLiteral("the new version runs")});
    removeAll(old());
    m_work.reset();
    finish(0);
}

void UpdaterApplication::rollBack()
{
    log({QStringLiteral("the new version did not start; putting the old one back")});
    if (QFileInfo::exists(old())) {
        removeAll(bundle());
        QDir().rename(old(), bundle());
    }
    restartOld(1);
}

void UpdaterApplication::restartOld(int status)
{
    // The old version must not greet the user as if the update had worked.
    SettingsStore &store = SettingsStore::shared();
    store.remove(Costants::Preferences::updaterUpdating);
    store.synchronize();
    m_work.reset();
    const bool started = DesktopWorkspace().launchApplication(programOf(bundle()), {});
    log({QStringLiteral("restarted the installed version: ") +
         (started ? QStringLiteral("true") : QStringLiteral("false"))});
    finish(status);
}
