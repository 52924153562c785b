#pragma once

#include "Update/Downloader.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QJsonObject;
class QLabel;
class QProgressBar;
class QPushButton;

enum class StatusUpdater {
    checking,
    optionalUpdate,
    mandatoryUpdate,
    alreadyUpdated,
    error,
    downloadingUpdater,
    downloadingNewVersion,
    downloaded,
};

// The update window's content: checks the manifest, offers the update, downloads the updater
// and the new version one after the other, installs the updater and hands over to it.
class UpdateController : public QWidget
{
    Q_OBJECT

public:
    explicit UpdateController(QWidget *parent = nullptr);
    ~UpdateController() override;

    // Starts the check; the window calls it once it is shown.
    void viewDidLoad();
    void positiveChoice();
    void negativeChoice();

    [[nodiscard]] StatusUpdater status() const { return m_status; }
    [[nodiscard]] bool quitted() const { return m_quitted; }
    [[nodiscard]] Downloader &downloader() const { return *m_downloader; }

    // Ends the program (quits the application unless a test installs its own).
    static void setTerminator(std::function<void()> terminator);
    static void terminate();
    // How long the updater has to register its URL handler, then to acknowledge the request
    // (10 s each).
    static void setUpdaterTimeout(int milliseconds);

    QLabel *titleWindow;
    QLabel *descriptionWindow;
    QProgressBar *spinnerWindow;
    QPushButton *positiveButton;
    QPushButton *negativeButton;

private:
    enum class ErrorKind { network, signature, install };

    void startCheck();
    void applyManifest(const std::optional<QJsonObject> &manifest);
    void showUpToDate();
    void showMandatory();
    void showOptional();
    void showError(ErrorKind kind = ErrorKind::network);
    void downloadUpdater();
    void downloadNewVersion();
    void afterStep(Downloader::Result result, void (UpdateController::*next)());
    void afterDownload();
    void installAndHandOff();
    void updaterInstalled(bool launched);
    void updaterReady(bool ready);
    void handOff();
    void updaterTookRequest(bool taken);
    void handedOver();
    void setScreen(const QString &title, const QString &description, bool spinnerShown,
                   bool negativeShown, const QString &negativeTitle, const QString &positiveTitle);
    void closeWindow();

    StatusUpdater m_status = StatusUpdater::checking;
    Downloader *m_downloader;
    bool m_quitted = false;
    bool m_installing = false;
    QString m_announced; // "major.minor.patch" of the manifest
};
