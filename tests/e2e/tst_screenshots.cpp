// Renders every popover on a real X server and keeps the pictures under the build folder
// (screenshots/), so a change of a layout can be seen.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "App/ViewControllerFactory.h"
#include "Controllers/AboutController.h"
#include "Controllers/ControllerRegistry.h"
#include "Controllers/PreferencesGeneralController.h"
#include "Controllers/PreferencesWindowController.h"
#include "Platform/testing/FakePlatform.h"
#include "Services/ApiManager.h"
#include "Services/ReachabilitySource.h"
#include "TestEnvironment.h"
#include "Views/Popover.h"
#include "Views/ViewController.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QTest>

namespace {

// Text and controls are drawn on the light background, not one flat colour.
void checkAndSave(const QImage &image, const QString &file)
{
    QVERIFY(image.width() >= 300 && image.height() >= 200);
    int darkPixels = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            darkPixels += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    QVERIFY2(darkPixels > 50, qPrintable(QString::number(darkPixels)));
    const QString folder = QStringLiteral(QUORVELLA_BINARY_DIR "/../screenshots");
    QDir().mkpath(folder);
    QVERIFY(image.save(folder + '/' + file));
}

} // namespace

class ScreenshotsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void popoverRenders_data();
    void popoverRenders();
    void windowsRender();
};

void ScreenshotsTest::initTestCase()
{
    if (QGuiApplication::platformName() != "xcb")
        QSKIP("needs an X server (run under xvfb-run)");
    ControllerRegistry::registerAll();
    FakePlatform::installNew();
    // Offline, so that the panes show what the test fills in.
    static QNetworkAccessManager network;
    static ApiManager api(&network, Config::productionDefaults(), nullptr);
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
    const QImage image = popover.grab().toImage();
    QVERIFY(qGray(image.pixel(image.width() / 2, 3)) > 200); // the light theme
    checkAndSave(image, QStringLiteral("popover-%1.png").arg(QTest::currentDataTag()));
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
    window.accountButton();
    QTest::qWait(50);
    checkAndSave(window.grab().toImage(), "preferences-account.png");
    window.close();

    AboutController about;
    about.present();
    QVERIFY(QTest::qWaitForWindowExposed(about.view()));
    checkAndSave(about.view()->grab().toImage(), "about.png");
}

QTEST_MAIN(ScreenshotsTest)
#include "tst_screenshots.moc"
