// The popover under a real window manager (openbox), which may hold the focus back from a
// window shown after a click that reached the program over D-Bus: a click into another
// program must still close it.
#include "DesktopSession.h"
#include "SignInDriver.h"
#include "TestEnvironment.h"

#include <QTest>

class WindowManagerEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void clickIntoAnotherProgramClosesThePopover();
};

void WindowManagerEndToEndTest::clickIntoAnotherProgramClosesThePopover()
{
    const QString binaries = QStringLiteral(QUORVELLA_BINARY_DIR);
    const QString missing =
        SignInDriver::missingPrerequisite(binaries, {"openbox", "xmessage", "xprop"});
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    TestEnvironment environment;
    DesktopSession desktop;
    QVERIFY2(desktop.isReady(), qPrintable(desktop.error()));
    QProcess windowManager;
    QVERIFY(desktop.start(windowManager, "openbox", {"--sm-disable"}));
    // Managing from here on: openbox has announced itself on the root window.
    QVERIFY(QTest::qWaitFor(
        [&] {
            QProcess xprop;
            xprop.setProcessEnvironment(desktop.environment());
            xprop.start("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"});
            return xprop.waitForFinished(5000) &&
                   xprop.readAllStandardOutput().contains("window id");
        },
        10000));
    SignInDriver user(desktop);
    QVERIFY(user.trayHostRunning());
    // Another program, managed by openbox, somewhere below the tray.
    QProcess other;
    QVERIFY(desktop.start(other, "xmessage", {"-geometry", "300x80+20+600", "another program"}));
    QVERIFY(user.waitForWindow("xmessage", 10000));

    QVERIFY(user.startProgram(binaries));
    QVERIFY2(user.waitForLine("NETWORK REACHABLE", 20000), qPrintable(user.output()));
    QVERIFY(user.clickTrayIcon());
    QVERIFY(user.waitForWindow(SignInDriver::signInPopoverTitle(), 10000));
    QTest::qWait(500); // as a user would look before clicking elsewhere
    QVERIFY(!user.window(SignInDriver::signInPopoverTitle()).isEmpty());

    QVERIFY(user.xdotool(
        {"mousemove", "--window", user.window("xmessage"), "150", "20", "click", "1"}));
    QTRY_VERIFY2_WITH_TIMEOUT(user.window(SignInDriver::signInPopoverTitle()).isEmpty(),
                              qPrintable(user.output()), 5000);
    DesktopSession::stop(other);
    DesktopSession::stop(windowManager);
}

QTEST_GUILESS_MAIN(WindowManagerEndToEndTest)
#include "tst_windowmanager_e2e.moc"
