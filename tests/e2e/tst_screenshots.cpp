// Renders every popover and window on a real X server and keeps the pictures under the build
// folder (screenshots/, "@2x" when run at twice the scale), so a change of a layout can be seen.
// On each view it also reads the controls back over AT-SPI, as the desktop's screen reader does,
// and fails on a pressable control whose name is empty or only a glyph.
#include "App/Costants.h"
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
#include "Platform/linux/MessageBoxAlertPresenter.h"
#include "Platform/testing/FakePlatform.h"
#include "Services/ApiManager.h"
#include "Services/ReachabilitySource.h"
#include "TestEnvironment.h"
#include "Utils/WatchPause.h"
#include "Views/Popover.h"
#include "Views/ViewController.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

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

// The visible pressable controls of the shown windows that a screen reader would speak as
// nothing or as a glyph ("⚙", "×"), asked over AT-SPI as a screen reader asks (the test's
// wrapper starts a private session bus and turns the accessibility bridge on).
QStringList unnamedControls()
{
    QProcess walk;
    walk.setProcessChannelMode(QProcess::MergedChannels);
    walk.start(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral(QUORVELLA_SOURCE_DIR "/tests/e2e/atspi_unnamed.py"),
                QString::number(QCoreApplication::applicationPid())});
    // The program answers the walk from its own event loop, so it keeps running meanwhile.
    const QDeadlineTimer deadline(30000);
    while (walk.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(20);
    const QString output = QString::fromUtf8(walk.readAll()).trimmed();
    if (walk.state() == QProcess::NotRunning && walk.exitStatus() == QProcess::NormalExit &&
        (walk.exitCode() == 0 || walk.exitCode() == 1))
        return output.isEmpty() ? QStringList() : output.split(u'\n');
    walk.kill();
    walk.waitForFinished(1000);
    return {QStringLiteral("AT-SPI not reachable: ") +
            (output.isEmpty() ? walk.errorString() : output)};
}

void checkNames()
{
    const QStringList unnamed = unnamedControls();
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral("; "))));
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
    const QStringList unnamed = unnamedControls();
    window.accountButton();
    QTest::qWait(50);
    checkAndSave(window.grab().toImage(), "preferences-account.png");
    window.close();

    AboutController about;
    about.present();
    QVERIFY(QTest::qWaitForWindowExposed(about.view()));
    checkAndSave(about.view()->grab().toImage(), "about.png");
    checkNames();
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral("; "))));
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
    QTest::addColumn<QString>("press");  // "Update": pressed, drawn at once; "wait": until error
    QTest::addColumn<StatusUpdater>("status");
    QTest::addColumn<QStringList>("texts"); // title, description, negative (or none), positive
    QTest::addColumn<QString>("leave");     // negative, positive, Return or close; empty: stays
    QTest::addColumn<bool>("terminates");
    const QStringList upToDate{"You're up to date!", "You have the latest version of Quorvella", "",
                               "OK"};
    const QStringList required{"Update required",
                               "Update the Quorvella app in order to keep using it",
                               "Quit application", "Update"};
    QTest::newRow("update-checking")
        << ""
        << "" << StatusUpdater::checking << QStringList{"Checking for updates", "", "", "Cancel"}
        << "" << false;
    QTest::newRow("update-current")
        << "1.0.0"
        << "" << StatusUpdater::alreadyUpdated << upToDate << "Return" << false;
    QTest::newRow("update-failed-check")
        << "none"
        << "" << StatusUpdater::alreadyUpdated << upToDate << "positive" << false;
    QTest::newRow("update-optional")
        << "1.0.1"
        << "" << StatusUpdater::optionalUpdate
        << QStringList{"Update available", "A new version of Quorvella is ready to download",
                       "Cancel", "Update"}
        << "negative" << false;
    QTest::newRow("update-mandatory")
        << "2.0.0"
        << "" << StatusUpdater::mandatoryUpdate << required << "negative" << true;
    QTest::newRow("update-mandatory-minor")
        << "1.1.0"
        << "" << StatusUpdater::mandatoryUpdate << required << "close" << true;
    QTest::newRow("update-downloading")
        << "1.0.1"
        << "Update" << StatusUpdater::downloadingUpdater << QStringList() << "" << false;
    QTest::newRow("update-error") << "1.0.1"
                                  << "wait" << StatusUpdater::error << QStringList() << "" << false;
}

void ScreenshotsTest::updateWindowRenders()
{
    QFETCH(QString, newest);
    QFETCH(QString, press);
    QFETCH(StatusUpdater, status);
    QFETCH(QStringList, texts);
    QFETCH(QString, leave);
    QFETCH(bool, terminates);
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
        if (!press.isEmpty())
            QTest::mouseClick(content->positiveButton, Qt::LeftButton);
        if (press == QLatin1String("wait"))
            QTRY_COMPARE_WITH_TIMEOUT(content->status(), StatusUpdater::error, 10000);
        QCOMPARE(content->status(), status);
        // Lets the resized layout settle before the picture; the download runs on meanwhile.
        if (press != QLatin1String("Update"))
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
        QCOMPARE(terminations, terminates ? 1 : 0);
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

QTEST_MAIN(ScreenshotsTest)
#include "tst_screenshots.moc"
