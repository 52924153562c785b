// Renders every popover on a real X server and keeps the pictures under the build folder
// (screenshots/), so a change of a layout can be seen.
#include "App/ViewControllerFactory.h"
#include "Controllers/ControllerRegistry.h"
#include "Platform/testing/FakePlatform.h"
#include "TestEnvironment.h"
#include "Views/Popover.h"
#include "Views/ViewController.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTest>

class ScreenshotsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void popoverRenders_data();
    void popoverRenders();
};

void ScreenshotsTest::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under xvfb-run)");
    ControllerRegistry::registerAll();
    FakePlatform::installNew();
}

void ScreenshotsTest::popoverRenders_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("file");
    QTest::newRow("sign-in") << "LoginViewController"
                             << "popover-sign-in.png";
    QTest::newRow("no connection") << "NoInternetViewController"
                                   << "popover-no-connection.png";
    QTest::newRow("link list") << "MainViewController"
                               << "popover-link-list.png";
    QTest::newRow("new link") << "NewLink2Controller"
                              << "popover-new-link.png";
    QTest::newRow("edit link") << "EditLinkController"
                               << "popover-edit-link.png";
}

void ScreenshotsTest::popoverRenders()
{
    QFETCH(QString, identifier);
    QFETCH(QString, file);
    TestEnvironment environment;
    Popover popover;
    popover.setContentViewController(
        ViewControllerFactory::instantiate<ViewController>(identifier));
    popover.show(QRect(900, 0, 24, 24));
    QVERIFY(QTest::qWaitForWindowExposed(&popover));
    const QImage image = popover.grab().toImage();
    QVERIFY(image.width() >= 300 && image.height() >= 200);
    // Something is drawn on the light background: text and buttons, not one flat colour.
    int darkPixels = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            darkPixels += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    QVERIFY2(darkPixels > 50, qPrintable(QString::number(darkPixels)));
    QVERIFY(qGray(image.pixel(image.width() / 2, 3)) > 200); // the light theme
    const QString folder = QStringLiteral(QUORVELLA_BINARY_DIR "/../screenshots");
    QDir().mkpath(folder);
    QVERIFY(image.save(folder + QLatin1Char('/') + file));
    popover.performClose();
}

QTEST_MAIN(ScreenshotsTest)
#include "tst_screenshots.moc"
