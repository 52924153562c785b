// Renders every popover and window on a real X server and keeps the pictures under the build
// folder (screenshots/, "@2x" when run at twice the scale), so a change of a layout can be seen.
// On each view it also reads the controls back over AT-SPI, as the desktop's screen reader does,
// and fails on a pressable control whose name is empty or only a glyph. Last, the QR and share
// popovers meet the desktop's own facilities: the QR code from the sandbox is saved through the
// file dialog, and a site's share page is handed to the desktop's URL handler, here a recording
// stand-in registered in the test's XDG folders.
#include "App/Costants.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "App/StatusItemImage.h"
#include "App/ViewControllerFactory.h"
#include "ArchiveBuilder.h"
#include "Controllers/ControllerRegistry.h"
#include "Controllers/Preferences/AboutController.h"
#include "Controllers/Preferences/PreferencesGeneralController.h"
#include "Controllers/Preferences/PreferencesWindowController.h"
#include "Controllers/QRShare/QRController.h"
#include "Controllers/QRShare/ShareController.h"
#include "Controllers/Update/UpdateController.h"
#include "Controllers/Update/UpdaterWindowController.h"
#include "HttpSink.h"
#include "Platform/Workspace.h"
#include "Platform/linux/LinuxPlatform.h"
#include "Platform/linux/MessageBoxAlertPresenter.h"
#include "Platform/testing/FakePlatform.h"
#include "SandboxProcess.h"
#include "Services/ApiManager.h"
#include "Services/ReachabilitySource.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "Utils/WatchPause.h"
#include "Views/Popover.h"
#include "Views/ViewController.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

// Text and controls are drawn on the light background, not one flat colour.
void checkAndSave(const QImage &image, const QString &file)
{
    QVERIFY(image.width() >= 200 && image.height() >= 120);
    int darkPixels = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            darkPixels += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    QVERIFY2(darkPixels > 50, qPrintable(QString::number(darkPixels)));
    const QString folder = QStringLiteral(QUORVELLA_BINARY_DIR "/../screenshots");
    QDir().mkpath(folder);
    const QString scale = qApp->devicePixelRatio() > 1.0 ? QStringLiteral("@2x") : QString();
    QVERIFY(image.save(folder + '/' + QString(file).replace(".png", scale + ".png")));
}

// The program's own Linux platform in a private environment; the doubles come back after.
struct DesktopFacilities
{
    DesktopFacilities() { Platform::install(std::make_unique<LinuxPlatform>()); }
    ~DesktopFacilities() { FakePlatform::installNew(); }
    TestEnvironment environment;
};

// Fails on the visible pressable controls of the shown windows that a screen reader would
// speak as nothing or as a glyph ("⚙", "×"), asked over AT-SPI as a screen reader asks (the
// test's wrapper starts a private session bus and turns the accessibility bridge on).
void checkNames()
{
    QProcess walk;
    walk.setProcessChannelMode(QProcess::MergedChannels);
    walk.start(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral(QUORVELLA_SOURCE_DIR "/tests/e2e/atspi_unnamed.py"),
                QString::number(QCoreApplication::applicationPid())});
    // The program answers the walk from its own event loop, so it keeps running meanwhile.
    const bool ended =
        QTest::qWaitFor([&walk] { return walk.state() == QProcess::NotRunning; }, 30000);
    const QString output = QString::fromUtf8(walk.readAll()).trimmed();
    walk.kill();
    // Status 1: unnamed controls listed; anything else: the walk itself failed.
    QVERIFY2(
        ended && walk.error() == QProcess::UnknownError && walk.exitCode() <= 1,
        qPrintable("AT-SPI not reachable: " + (output.isEmpty() ? walk.errorString() : output)));
    QVERIFY2(output.isEmpty(), qPrintable(QString(output).replace(u'\n', QStringLiteral("; "))));
}

} // namespace

Q_DECLARE_METATYPE(StatusUpdater)

class ScreenshotsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void popoverRenders_data();
    void popoverRenders();
    void windowsRender();
    void dialogueRenders_data();
    void dialogueRenders();
    void pausedTrayIcon();
    void updateWindowRenders_data();
    void updateWindowRenders();
    void qrPopoverSavesThroughTheFileDialog();
    void shareOpensTheSiteWithTheDesktopHandler();

private:
    ApiManager *m_offline = nullptr;
};

void ScreenshotsTest::initTestCase()
{
    if (QGuiApplication::platformName() != "xcb")
        QSKIP("needs an X server (run under xvfb-run)");
    ControllerRegistry::registerAll();
    ViewControllerFactory::registerCreator(QStringLiteral("QRController"), [] {
        return QRController::create(QStringLiteral("quorv.link/spring-sale"),
                                    QStringLiteral("spring-sale"), true);
    });
    ViewControllerFactory::registerCreator(QStringLiteral("ShareController"), [] {
        return ShareController::create(QStringLiteral("quorv.link/spring-sale"),
                                       QStringLiteral("Spring sale"));
    });
    // Nothing listens there: the QR code is drawn here, as when the QR service is down.
    Config config = Config::productionDefaults();
    config.qrHost = QUrl(QStringLiteral("http://127.0.0.1:9"));
    Config::install(config);
    FakePlatform::installNew();
    // Offline, so that the panes show what the test fills in.
    static QNetworkAccessManager network;
    static ApiManager api(&network, Config::productionDefaults(), nullptr);
    m_offline = &api;
    ApiManager::installShared(&api);
}

void ScreenshotsTest::popoverRenders_data()
{
    // The picture is named after the row.
    QTest::addColumn<QString>("identifier");
    QTest::newRow("sign-in") << "LoginViewController";
    QTest::newRow("no-connection") << "NoInternetViewController";
    QTest::newRow("link-list") << "MainViewController";
    QTest::newRow("new-link") << "NewLink2Controller";
    QTest::newRow("edit-link") << "EditLinkController";
    QTest::newRow("qr") << "QRController";
    QTest::newRow("share") << "ShareController";
}

void ScreenshotsTest::popoverRenders()
{
    QFETCH(QString, identifier);
    TestEnvironment environment;
    Popover popover;
    popover.setContentViewController(
        ViewControllerFactory::instantiate<ViewController>(identifier));
    popover.show(QRect(900, 0, 24, 24));
    QVERIFY(QTest::qWaitForWindowExposed(&popover));
    if (auto *qr = qobject_cast<QRController *>(popover.contentViewController()))
        QTRY_VERIFY(!qr->isLoading());
    const QImage image = popover.grab().toImage();
    QVERIFY(qGray(image.pixel(image.width() / 2, 3)) > 200); // the light theme
    checkAndSave(image, QStringLiteral("popover-%1.png").arg(QTest::currentDataTag()));
    checkNames();
    popover.performClose();
}

void ScreenshotsTest::windowsRender()
{
    TestEnvironment environment;
    using namespace Costants::Preferences;
    SettingsStore &store = SettingsStore::shared();
    for (const QString &key : {startup, automaticCopy, notificationBrandedLink})
        store.setBool(key, true);
    store.setString(optionActive, OptionsRebrand::autoRebrand);
    store.setString(fullName, "Dana Demo");
    store.setString(email, "demo@quorvella.test");
    store.setStringArray(neverRebrandHosts, {"intranet.acme-demo.com", "*.corp.example"});

    PreferencesWindowController window;
    auto *general = qobject_cast<PreferencesGeneralController *>(window.contentViewController());
    general->fillWorkspaces(QJsonDocument::fromJson(R"([{"name":"Marketing","id":"wsp-m"},
        {"name":"Personal","id":"wsp-p","default":true}])")
                                .array());
    general->fillDomains(QJsonDocument::fromJson(R"([{"fullName":"go.acme-demo.com","id":"d1",
        "active":true},{"fullName":"acme.link","id":"d2","active":true}])")
                             .array());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    checkAndSave(window.grab().toImage(), "preferences-general.png");
    checkNames();
    auto *account = window.findChild<QToolButton *>("accountItem");
    QVERIFY(account);
    QTest::mouseClick(account, Qt::LeftButton);
    QTest::qWait(50);
    checkAndSave(window.grab().toImage(), "preferences-account.png");
    checkNames();
    window.close();

    AboutController about;
    about.present();
    QVERIFY(QTest::qWaitForWindowExposed(about.view()));
    checkAndSave(about.view()->grab().toImage(), "about.png");
    checkNames();
}

// Esc cancels every dialogue, and Enter never confirms a destructive one (Enter on a question is
// pressed in tst_signin_e2e). The rows named "dialogue-…" are pictured and read over AT-SPI
// before the key.
void ScreenshotsTest::dialogueRenders_data()
{
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<bool>("destructive");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("answer");
    QTest::newRow("dialogue-question") << QStringList{"Rebrand", "Cancel"} << false
                                       << int(Qt::Key_Escape) << AlertPresenter::SecondButton;
    QTest::newRow("Esc without Cancel answers nothing")
        << QStringList{"Copy existing link", "Rebrand again"} << false << int(Qt::Key_Escape)
        << AlertPresenter::NoAnswer;
    QTest::newRow("Esc on a message")
        << QStringList{"OK"} << false << int(Qt::Key_Escape) << AlertPresenter::NoAnswer;
    QTest::newRow("dialogue-delete") << QStringList{"Delete", "Cancel"} << true
                                     << int(Qt::Key_Return) << AlertPresenter::SecondButton;
}

void ScreenshotsTest::dialogueRenders()
{
    QFETCH(QStringList, buttons);
    QFETCH(bool, destructive);
    QFETCH(int, key);
    QFETCH(int, answer);
    QTimer::singleShot(300, [key] {
        QWidget *box = QApplication::activeModalWidget();
        QVERIFY(box);
        const QString tag = QTest::currentDataTag();
        if (tag.startsWith(QLatin1String("dialogue-"))) {
            checkAndSave(box->grab().toImage(), tag + ".png");
            checkNames();
        }
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key(key));
    });
    // A box that ignored the key is answered with its first button, so the check fails.
    QTimer::singleShot(3000, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->buttons().constFirst()->click();
    });
    const Alert alert{buttons.first() + " quorv.link/spring-sale?",
                      destructive ? "quorv.link/spring-sale\n\nIt cannot be undone."
                                  : "To https://example.org/a/very/long/address",
                      Alert::Style::Warning, buttons, destructive};
    QCOMPARE(MessageBoxAlertPresenter().runModal(alert), answer);
}

// Each screen of the update window, its texts and buttons, and how it is left: only leaving a
// required update ends the program.
void ScreenshotsTest::updateWindowRenders_data()
{
    QTest::addColumn<QString>("newest"); // empty: never answers; "none": the check fails
    // Downloading: "Update" pressed, drawn at once; error: pressed, drawn when the download
    // of the archive the service lacks has failed.
    QTest::addColumn<StatusUpdater>("status");
    QTest::addColumn<QStringList>("texts"); // title, description, negative (or none), positive
    QTest::addColumn<QString>("leave");     // negative, positive, Return or close; empty: stays
    const QStringList upToDate{"You're up to date!", "You have the latest version of Quorvella", "",
                               "OK"};
    const QStringList required{"Update required",
                               "Update the Quorvella app in order to keep using it",
                               "Quit application", "Update"};
    QTest::newRow("update-checking")
        << QString() << StatusUpdater::checking
        << QStringList{"Checking for updates", "", "", "Cancel"} << QString();
    QTest::newRow("update-current")
        << "1.0.0" << StatusUpdater::alreadyUpdated << upToDate << "Return";
    QTest::newRow("update-failed-check")
        << "none" << StatusUpdater::alreadyUpdated << upToDate << "positive";
    QTest::newRow("update-optional")
        << "1.0.1" << StatusUpdater::optionalUpdate
        << QStringList{"Update available", "A new version of Quorvella is ready to download",
                       "Cancel", "Update"}
        << "negative";
    QTest::newRow("update-mandatory")
        << "2.0.0" << StatusUpdater::mandatoryUpdate << required << "negative";
    QTest::newRow("update-mandatory-minor")
        << "1.1.0" << StatusUpdater::mandatoryUpdate << required << "close";
    QTest::newRow("update-downloading")
        << "1.0.1" << StatusUpdater::downloadingUpdater << QStringList() << QString();
    QTest::newRow("update-error") << "1.0.1" << StatusUpdater::error << QStringList() << QString();
}

void ScreenshotsTest::updateWindowRenders()
{
    QFETCH(QString, newest);
    QFETCH(StatusUpdater, status);
    QFETCH(QStringList, texts);
    QFETCH(QString, leave);
    TestEnvironment environment;
    // A server that takes the connection and never answers keeps the window checking.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    HttpSink service;
    const QStringList version = newest.split('.');
    if (newest == QLatin1String("none")) {
        service.setResponse("/apps/macapp/versions.json", {500, "application/json", "{}", {}});
    } else if (!newest.isEmpty()) {
        const QByteArray manifest = QStringLiteral(R"({"com.quorvella.desktop.macos.Quorvella":)"
                                                   R"({"major":%1,"minor":%2,"patch":%3}})")
                                        .arg(version[0], version[1], version[2])
                                        .toUtf8();
        service.setResponse("/apps/macapp/versions.json", {200, "application/json", manifest, {}});
        service.setResponse(
            "/apps/macapp/versions.json.sig",
            {200, "application/octet-stream", ArchiveBuilder::signature(manifest), {}});
    }
    const QUrl origin = newest.isEmpty()
                            ? QUrl(QStringLiteral("http://127.0.0.1:%1").arg(silent.serverPort()))
                            : service.origin();
    const Config config = Config::productionDefaults().routedTo(origin);
    Config::install(config);
    QNetworkAccessManager network;
    ApiManager api(&network, config, nullptr);
    ApiManager::installShared(&api);
    const auto restore = qScopeGuard([this] {
        ApiManager::installShared(m_offline);
        Config::install(Config::productionDefaults());
        UpdateController::setTerminator([] {});
    });
    int terminations = 0;
    UpdateController::setTerminator([&terminations] { ++terminations; });

    {
        UpdaterWindowController window;
        UpdateController *content = window.contentViewController();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (!newest.isEmpty())
            QTRY_VERIFY(content->status() != StatusUpdater::checking);
        const bool downloading = status == StatusUpdater::downloadingUpdater;
        if (downloading || status == StatusUpdater::error)
            QTest::mouseClick(content->positiveButton, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(content->status(), status, 10000);
        // Lets the resized layout settle before the picture; the download runs on meanwhile.
        if (!downloading)
            QTest::qWait(50);
        checkAndSave(window.grab().toImage(),
                     QStringLiteral("%1.png").arg(QTest::currentDataTag()));
        checkNames();
        if (!texts.isEmpty()) {
            QCOMPARE(content->titleWindow->text(), texts[0]);
            QCOMPARE(content->descriptionWindow->text(), texts[1]);
            QCOMPARE(content->spinnerWindow->isVisible(), status == StatusUpdater::checking);
            QCOMPARE(content->negativeButton->isVisible(), !texts[2].isEmpty());
            if (!texts[2].isEmpty())
                QCOMPARE(content->negativeButton->text(), texts[2]);
            QCOMPARE(content->positiveButton->text(), texts[3]);
        }
        if (leave == QLatin1String("negative"))
            QTest::mouseClick(content->negativeButton, Qt::LeftButton);
        else if (leave == QLatin1String("positive"))
            QTest::mouseClick(content->positiveButton, Qt::LeftButton);
        else if (leave == QLatin1String("Return"))
            QTest::keyClick(&window, Qt::Key_Return);
        else if (leave == QLatin1String("close"))
            window.close();
        if (!leave.isEmpty())
            QTRY_VERIFY(!window.isVisible());
        // Only leaving a required update ends the program.
        QCOMPARE(terminations, status == StatusUpdater::mandatoryUpdate ? 1 : 0);
    }
}

void ScreenshotsTest::pausedTrayIcon()
{
    // The icon as a light and a dark panel show it, at 1x and 2x, with the tooltip it carries.
    TestEnvironment environment;
    WatchPause::pauseFor(90);
    QImage image(360, 200, QImage::Format_ARGB32);
    image.fill(QColor("#F6F7F9"));
    QPainter painter(&image);
    const QIcon icon = StatusItemImage::paused();
    for (const auto &[panel, top] : {std::pair{QColor("#E8E8E8"), 16}, {QColor("#2B2B2B"), 72}}) {
        painter.fillRect(0, top, 360, 48, panel);
        int x = 16;
        for (int size : {22, 44}) {
            QImage mask = icon.pixmap(size).toImage();
            // The tray tints a mask icon in the panel's text colour.
            QPainter tint(&mask);
            tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
            tint.fillRect(mask.rect(), qGray(panel.rgb()) > 128 ? QColor("#222222") : Qt::white);
            tint.end();
            painter.drawImage(x, top + (48 - size) / 2, mask);
            x += size + 16;
        }
    }
    painter.setPen(QColor("#222222"));
    painter.drawText(QRect(16, 136, 328, 48), Qt::TextWordWrap, WatchPause::toolTip());
    painter.end();
    WatchPause::resume();
    checkAndSave(image, "tray-paused.png");
}

void ScreenshotsTest::qrPopoverSavesThroughTheFileDialog()
{
    DesktopFacilities desktop;
    // The file dialog opens in the test's own Documents folder.
    desktop.environment.setVariable("HOME", QFile::encodeName(desktop.environment.root()));
    SandboxProcess sandbox;
    QVERIFY2(sandbox.isRunning(), qPrintable(sandbox.startError()));
    QNetworkAccessManager network;
    network.setProxy(QNetworkProxy::NoProxy);
    QRController::setNetworkAccessManager(&network);
    Config::install(Config::productionDefaults().routedTo(sandbox.baseUrl()));
    const auto restore = qScopeGuard([] {
        QRController::setNetworkAccessManager(nullptr);
        Config::install(Config::productionDefaults());
    });
    // A slow QR service: the popover shows its spinner meanwhile, and nothing freezes.
    QCOMPARE(sandbox
                 .control("POST", "/__sandbox/faults",
                          QJsonObject{{"path", "/v1/qrcode"}, {"delayMs", 1500}, {"times", 1}})
                 .status,
             200);
    Popover popover;
    popover.setContentViewController(QRController::create("quorv.link/welcome", "welcome", true));
    auto *qr = static_cast<QRController *>(popover.contentViewController());
    popover.show(QRect(900, 0, 24, 24));
    QVERIFY(QTest::qWaitForWindowExposed(&popover));
    QVERIFY(qr->isLoading());
    checkAndSave(popover.grab().toImage(), "popover-qr-loading.png");
    QTRY_VERIFY_WITH_TIMEOUT(!qr->isLoading(), 10000);
    QCOMPARE(qr->qr3().size(), QSize(256, 256));

    // The download menu's 512-pixel entry, below the popover's edge, clicked as the user
    // does: the click in the menu must neither close the popover nor get lost.
    auto *menu = qr->findChild<QMenu *>("downloadMenu");
    auto *button = qr->findChild<QPushButton *>("downloadButton");
    QVERIFY(menu && button);
    QAction *entry = menu->actions().at(3);
    QVERIFY(entry->text().contains("512"));
    int closes = 0;
    NotificationCenter::shared().addObserver(&popover, Costants::NotificationViews::closeQrPopup,
                                             [&closes](const Notification &) { ++closes; });
    // Through the windows, as the X server delivers clicks.
    QTimer::singleShot(300, menu, [menu, entry] {
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {},
                          menu->actionGeometry(entry).center());
    });
    // The menu runs until the entry is picked.
    QTest::mouseClick(popover.windowHandle(), Qt::LeftButton, {},
                      button->mapTo(&popover, button->rect().center()));
    QPointer<QFileDialog> dialog;
    QTRY_VERIFY((dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())));
    QCOMPARE(dialog->windowTitle(), "Save QR code");
    QCOMPARE(dialog->labelText(QFileDialog::Accept), "Save to file");
    QCOMPARE(dialog->labelText(QFileDialog::FileName), "Pick a name");
    QVERIFY(dialog->selectedFiles().value(0).endsWith("/welcome-512px.png"));
    QTest::qWait(200); // let the dialog paint before it is photographed
    checkAndSave(dialog->grab().toImage(), "dialog-save-qr.png");
    // Another folder and name, typed over the proposal, and Enter.
    const QString file = desktop.environment.root() + "/saved/qr code.png";
    QDir().mkpath(QFileInfo(file).path());
    auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
    QVERIFY(name);
    QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(name, file);
    QTest::keyClick(name, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file), 10000);
    QTRY_COMPARE(QImage(file, "PNG").size(), QSize(512, 512));
    // Closed once, by the save; the click in the menu was no click outside.
    QCOMPARE(closes, 1);
}

void ScreenshotsTest::shareOpensTheSiteWithTheDesktopHandler()
{
    DesktopFacilities desktop;
    const QString recording = desktop.environment.root() + "/opened.txt";
    const QString recorder = desktop.environment.root() + "/bin/record-url";
    QVERIFY(writeFile(recorder,
                      "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + recording.toUtf8() + "'\n",
                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    QVERIFY(
        writeFile(data + "/applications/qv-record-url.desktop",
                  "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" + recorder.toUtf8() +
                      " %u\nMimeType=x-scheme-handler/https;x-scheme-handler/mailto;\n"));
    QVERIFY(writeFile(qEnvironmentVariable("XDG_CONFIG_HOME") + "/mimeapps.list",
                      "[Default Applications]\nx-scheme-handler/https=qv-record-url.desktop\n"
                      "x-scheme-handler/mailto=qv-record-url.desktop\n"));
    Workspace &workspace = Platform::current().workspace();
    QVERIFY(workspace.hasHandlerFor("mailto"));
    QVERIFY(!workspace.hasHandlerFor("x-quorvella-nothing"));

    Popover popover;
    popover.setContentViewController(
        ShareController::create("quorv.link/spring sale?a=1&b@c", "Spring sale"));
    popover.show(QRect(900, 0, 24, 24));
    QVERIFY(QTest::qWaitForWindowExposed(&popover));
    auto *linkedin = popover.findChild<QPushButton *>("linkedinButton");
    QVERIFY(linkedin);
    QTest::mouseClick(linkedin, Qt::LeftButton);
    // The blank is encoded, the query's own characters are kept.
    QTRY_COMPARE_WITH_TIMEOUT(readFile(recording).trimmed(),
                              QStringLiteral("https://www.linkedin.com/sharing/share-offsite/"
                                             "?url=https://quorv.link/spring%20sale?a=1&b@c"),
                              10000);
}

QTEST_MAIN(ScreenshotsTest)
#include "tst_screenshots.moc"
