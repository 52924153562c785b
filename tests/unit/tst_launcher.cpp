// The launcher's decision at login and the login item it is registered with.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "Launcher/HelperAppDelegate.h"
#include "LogCapture.h"
#include "Platform/linux/XdgAutostartLoginItems.h"
#include "Platform/testing/FakeApplications.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QTest>

using namespace Costants;

class LauncherTest : public QObject
{
    Q_OBJECT

private slots:
    void mainProgramFourFoldersUp_data();
    void mainProgramFourFoldersUp();
    void autostartEntry_data();
    void autostartEntry();
};

void LauncherTest::mainProgramFourFoldersUp_data()
{
    QTest::addColumn<QString>("launcherBundle");
    QTest::addColumn<QString>("mainBundle");
    QTest::newRow("installed bundle")
        << "/opt/Quorvella/Contents/Library/LoginItems/QuorvellaLauncher"
        << "/opt/Quorvella";
    QTest::newRow("trailing slash") << "/home/kim/Apps/Q v2/Contents/Library/LoginItems/L/"
                                    << "/home/kim/Apps/Q v2";
    QTest::newRow("too shallow") << "/Library/LoginItems/L"
                                 << "/";
}

void LauncherTest::mainProgramFourFoldersUp()
{
    QFETCH(QString, launcherBundle);
    QFETCH(QString, mainBundle);
    TestEnvironment environment;
    SettingsStore::shared().setBool(Preferences::startup, true);
    FakeApplications applications;
    LogCapture log;
    HelperAppDelegate(applications, launcherBundle).applicationDidFinishLaunching();
    QCOMPARE(applications.launched, QStringList{mainBundle});
    QVERIFY(log.contains("end path: " + mainBundle));
    QCOMPARE(log.lines().mid(log.lines().size() - 2), (QStringList{"USER", "true"}));
}

void LauncherTest::autostartEntry_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "/opt/Q/bin/quorvella-launcher"
                           << R"("/opt/Q/bin/quorvella-launcher")";
    QTest::newRow("blank") << "/home/k/My Apps/l"
                           << R"("/home/k/My Apps/l")";
    QTest::newRow("reserved") << R"(/h/"$`\%/l)"
                              << R"("/h/\\"\\$\\`\\\\%%/l")";
}

void LauncherTest::autostartEntry()
{
    QFETCH(QString, executable);
    QFETCH(QString, exec);
    TestEnvironment environment;
    XdgAutostartLoginItems items(executable);
    QVERIFY(items.setEnabled(Launcher::helperIdentifier, true));
    QFile entry(XdgAutostartLoginItems::entryPath(Launcher::helperIdentifier));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QVERIFY(entry.readAll().contains(("\nExec=" + exec + "\n").toUtf8()));
    QVERIFY(entry.fileName().startsWith(environment.configHome() + "/autostart/"));
    QVERIFY(items.setEnabled(Launcher::helperIdentifier, false));
    QVERIFY(!entry.exists());
}

QTEST_GUILESS_MAIN(LauncherTest)
#include "tst_launcher.moc"
