#include "Controllers/Update/UpdateController.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Platform/BundleInfo.h"
#include "Platform/Platform.h"
#include "Services/ApiManager.h"
#include "Services/Config.h"
#include "Update/Checker.h"
#include "Update/Downloader.h"
#include "Update/ReadyMark.h"
#include "Update/Updater.h"
#include "Update/UtilsUpdater.h"
#include "Update/VersionHelper.h"
#include "Utils/Switcher.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Costants;

namespace {

std::function<void()> &terminator()
{
    static std::function<void()> function = [] {
        QCoreApplication::quit();
    };
    return function;
}

int &updaterTimeout()
{
    static int milliseconds = 10000;
    return milliseconds;
}

void log(const QVariantList &items)
{
    Logger::shared().log(items);
}

const QString kCancel = QStringLiteral("Cancel");
const QString kDownloadTitle = QStringLiteral("Download in progress");
const QString kDownloadText = QStringLiteral("Please wait while we download the latest version\n");

} // namespace

UpdateController::UpdateController(QWidget *parent)
    : QWidget(parent)
    , titleWindow(new QLabel(this))
    , descriptionWindow(new QLabel(this))
    , spinnerWindow(new QProgressBar(this))
    , positiveButton(new QPushButton(this))
    , negativeButton(new QPushButton(this))
    , m_downloader(new Downloader(this))
{
    QFont titleFont = titleWindow->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleWindow->setFont(titleFont);
    descriptionWindow->setWordWrap(true);
    spinnerWindow->setRange(0, 100);
    spinnerWindow->setTextVisible(false);
    positiveButton->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(negativeButton);
    buttons->addWidget(positiveButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->addWidget(titleWindow);
    layout->addWidget(descriptionWindow);
    layout->addWidget(spinnerWindow);
    layout->addStretch();
    layout->addLayout(buttons);
    setMinimumWidth(420);
    connect(positiveButton, &QPushButton::clicked, this, &UpdateController::positiveChoice);
    connect(negativeButton, &QPushButton::clicked, this, &UpdateController::negativeChoice);
}

UpdateController::~UpdateController() = default;

void UpdateController::setTerminator(std::function<void()> function)
{
    terminator() = std::move(function);
}

void UpdateController::terminate()
{
    if (terminator())
        terminator()();
}

void UpdateController::setUpdaterTimeout(int milliseconds)
{
    updaterTimeout() = milliseconds;
}

void UpdateController::viewDidLoad()
{
    startCheck();
}

void UpdateController::setScreen(const QString &title, const QString &description,
                                 bool spinnerShown, bool negativeShown,
                                 const QString &negativeTitle, const QString &positiveTitle)
{
    titleWindow->setText(title);
    descriptionWindow->setText(description);
    spinnerWindow->setVisible(spinnerShown);
    negativeButton->setVisible(negativeShown);
    if (!negativeTitle.isEmpty())
        negativeButton->setText(negativeTitle);
    positiveButton->setVisible(true);
    positiveButton->setText(positiveTitle);
}

void UpdateController::closeWindow()
{
    if (QWidget *window = this->window(); window != this)
        window->close();
}

void UpdateController::startCheck()
{
    m_status = StatusUpdater::checking;
    setScreen(QStringLiteral("Checking for updates"), {}, true, false, kCancel, kCancel);
    // Indeterminate: the bar runs until the answer comes.
    spinnerWindow->setRange(0, 0);
    const QPointer<UpdateController> self(this);
    ApiManager::shared().getVersions([self](const std::optional<QJsonObject> &manifest) {
        if (self && self->m_status == StatusUpdater::checking)
            self->applyManifest(manifest);
    });
}

void UpdateController::applyManifest(const std::optional<QJsonObject> &manifest)
{
    if (manifest) {
        const QJsonObject entry = manifest->value(Costants::Updater::bundleIdentifier).toObject();
        m_announced = QStringLiteral("%1.%2.%3")
                          .arg(entry.value(QLatin1String("major")).toInteger())
                          .arg(entry.value(QLatin1String("minor")).toInteger())
                          .arg(entry.value(QLatin1String("patch")).toInteger());
        m_downloader->setManifestArchives(manifest->value(QLatin1String("archives")).toObject(),
                                          m_announced);
    }
    switch (evaluateVersions(manifest, VersionHelper())) {
    case ManifestVerdict::unreadable:
        Checker::setMandatory(false);
        return showUpToDate();
    case ManifestVerdict::incomplete:
        return showUpToDate();
    case ManifestVerdict::mandatory:
        Checker::setMandatory(true);
        return showMandatory();
    case ManifestVerdict::optional:
        Checker::setMandatory(false);
        return showOptional();
    case ManifestVerdict::current:
        Checker::setMandatory(false);
        return showUpToDate();
    }
}

void UpdateController::showOptional()
{
    m_status = StatusUpdater::optionalUpdate;
    setScreen(QStringLiteral("Update available"),
              QStringLiteral("A new version of Quorvella is ready to download"), false, true, {},
              QStringLiteral("Update"));
}

void UpdateController::showMandatory()
{
    m_status = StatusUpdater::mandatoryUpdate;
    setScreen(QStringLiteral("Update required"),
              QStringLiteral("Update the Quorvella app in order to keep using it"), false, true,
              QStringLiteral("Quit application"), QStringLiteral("Update"));
}

void UpdateController::showUpToDate()
{
    m_status = StatusUpdater::alreadyUpdated;
    setScreen(Version::upToDateMessage, Version::upToDateInformative, false, false, {},
              QStringLiteral("OK"));
}

void UpdateController::showError(ErrorKind kind)
{
    m_status = StatusUpdater::error;
    m_downloader->endAttempt();
    QString description = QStringLiteral("We\u2019re unable to verify if updates are available, "
                                         "please check your network connection");
    if (kind == ErrorKind::signature)
        description = QStringLiteral("The downloaded update is not signed by Quorvella and was "
                                     "not installed");
    else if (kind == ErrorKind::install)
        description = QStringLiteral("This copy of Quorvella can\u2019t replace itself: install "
                                     "the new version the way you installed this one");
    setScreen(QStringLiteral("An error occurred!"), description, false, false, {},
              QStringLiteral("Retry"));
    // The hand-off may fail after the window was hidden: the user must see the error.
    if (QWidget *window = this->window(); window->isHidden())
        window->show();
}

void UpdateController::positiveChoice()
{
    switch (m_status) {
    case StatusUpdater::optionalUpdate:
    case StatusUpdater::mandatoryUpdate:
        return downloadUpdater();
    case StatusUpdater::error:
        return startCheck();
    case StatusUpdater::downloaded:
        return installAndHandOff();
    case StatusUpdater::checking:
    case StatusUpdater::alreadyUpdated:
    case StatusUpdater::downloadingUpdater:
    case StatusUpdater::downloadingNewVersion:
        m_quitted = true;
        return closeWindow();
    }
}

void UpdateController::negativeChoice()
{
    // Closing applies the window's closing rule, which ends the program for a mandatory update.
    m_quitted = true;
    closeWindow();
}

void UpdateController::downloadUpdater()
{
    log({QStringLiteral("Downloading updater")});
    m_status = StatusUpdater::downloadingUpdater;
    setScreen(kDownloadTitle, kDownloadText + QStringLiteral("Step 1 of 2"), true, false, kCancel,
              kCancel);
    spinnerWindow->setRange(0, 100);
    spinnerWindow->setValue(0);
    if (!m_downloader->startAttempt())
        return showError();
    m_downloader->setSpinner(spinnerWindow);
    const QUrl source(Config::current().downloadHost.toString(QUrl::StripTrailingSlash) +
                      Costants::Updater::updaterArchivePath);
    const QPointer<UpdateController> self(this);
    m_downloader->download(
        source, Costants::Updater::updaterZipName, [self](Downloader::Result result) {
            QMetaObject::invokeMethod(
                self,
                [self, result] {
                    if (self && !self->m_quitted)
                        self->afterStep(result, &UpdateController::downloadNewVersion);
                },
                Qt::QueuedConnection);
        });
}

void UpdateController::downloadNewVersion()
{
    if (m_quitted)
        return;
    log({QStringLiteral("Downloading new version")});
    m_status = StatusUpdater::downloadingNewVersion;
    setScreen(kDownloadTitle, kDownloadText + QStringLiteral("Step 2 of 2"), true, false, {},
              kCancel);
    spinnerWindow->setValue(0);
    const QPointer<UpdateController> self(this);
    m_downloader->downloadNewVersionArchive(spinnerWindow, [self](Downloader::Result result) {
        QMetaObject::invokeMethod(
            self,
            [self, result] {
                if (self && !self->m_quitted)
                    self->afterStep(result, &UpdateController::afterDownload);
            },
            Qt::QueuedConnection);
    });
}

void UpdateController::afterStep(Downloader::Result result, void (UpdateController::*next)())
{
    switch (result) {
    case Downloader::Result::ok:
        return (this->*next)();
    case Downloader::Result::failed:
        return showError();
    case Downloader::Result::badSignature:
        return showError(ErrorKind::signature);
    }
}

void UpdateController::afterDownload()
{
    if (m_quitted)
        return;
    log({QStringLiteral("downloaded updater and new version")});
    m_status = StatusUpdater::downloaded;
    installAndHandOff();
}

void UpdateController::installAndHandOff()
{
    log({QStringLiteral("gonna restart and install")});
    if (!::Updater::canReplaceBundle(Platform::current().bundle().bundlePath())) {
        log({QStringLiteral("the updater can't replace ") +
             Platform::current().bundle().bundlePath()});
        return showError(ErrorKind::install);
    }
    if (m_installing)
        return;
    m_installing = true;
    // Only a mark the updater about to start writes counts.
    ReadyMark::clear();
    ::Updater::installUpdater(m_downloader->folder(), this,
                              [this](bool launched) { updaterInstalled(launched); });
}

void UpdateController::updaterInstalled(bool launched)
{
    m_installing = false;
    log({QStringLiteral("app launched:"), launched});
    if (!launched)
        return showError();
    // Hidden, not closed: the window comes back with the error screen if the hand-off fails.
    window()->hide();
    // The request is opened once the updater says its handler is in place, not on a guess.
    const QString updater = ::Updater::updaterProgram(
        Platform::current().bundle().applicationsFolder() + Costants::Updater::updaterAppName);
    ReadyMark::waitFor(QFileInfo(updater).canonicalFilePath(), updaterTimeout(), this,
                       [this](bool ready) { updaterReady(ready); });
}

void UpdateController::updaterReady(bool ready)
{
    if (!ready) {
        log({QStringLiteral("the updater did not register its URL handler")});
        return showError();
    }
    handOff();
}

void UpdateController::handOff()
{
    log({QStringLiteral("sending request to update app")});
    const bool sent = Switcher::switchToUpdater(VersionHelper::runningText());
    log({QStringLiteral("sent switch ") +
         (sent ? QStringLiteral("true") : QStringLiteral("false"))});
    if (!sent)
        return showError();
    // Opening the request proves nothing: the program quits only once the updater says it
    // took the request, else the update did not start and the user is told.
    const QString acknowledgement = m_downloader->folder() + Costants::Updater::acknowledgementName;
    ReadyMark::waitForFile(
        acknowledgement, [acknowledgement] { return QFileInfo::exists(acknowledgement); },
        updaterTimeout(), this, [this](bool taken) { updaterTookRequest(taken); });
}

void UpdateController::updaterTookRequest(bool taken)
{
    if (!taken) {
        log({QStringLiteral("the updater did not take the request")});
        return showError();
    }
    handedOver();
}

void UpdateController::handedOver()
{
    log({QStringLiteral("the updater took the request")});
    SettingsStore &store = SettingsStore::shared();
    store.setBool(Preferences::updaterUpdating, true);
    store.setString(Preferences::updaterAnnouncedVersion, m_announced);
    store.synchronize();
    // The updater copied what it needs: nothing of the attempt stays.
    m_downloader->endAttempt();
    terminate();
}
