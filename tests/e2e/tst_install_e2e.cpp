// A real install on a private desktop: `cmake --install` into a folder with a blank in its name,
// the launcher of that install at login, and the Debian package built by CPack. Then a bundle in
// a private applications folder updates itself: the sandbox announces a newer version made of
// this build's own bundles, the window of the check is answered with "Update", and the real
// updater, reached through the desktop's URL opener, swaps the bundle and starts the new
// version, or puts the old one back.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "DesktopSession.h"
#include "SandboxProcess.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <memory>

using namespace Costants;

namespace {

const QString kBuildDir = QStringLiteral(QUORVELLA_BINARY_DIR "/..");
const QString kLauncher = "/Contents/Library/LoginItems/QuorvellaLauncher/bin/quorvella-launcher";
const QStringList kVersion = QStringLiteral(QUORVELLA_VERSION).split('.');

struct Run
{
    int exitCode = -1;
    QString output;
};

Run run(const QString &program, const QStringList &arguments, int timeoutMs = 120000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {-1, "timed out"};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

bool install(const QString &prefix, const QStringList &options = {})
{
    const Run cmake = run(QStringLiteral(QUORVELLA_CMAKE),
                          QStringList{"--install", kBuildDir, "--prefix", prefix} + options);
    if (cmake.exitCode != 0)
        qWarning("%s", qPrintable(cmake.output));
    return cmake.exitCode == 0;
}

// This build's version with the patch one higher.
QJsonObject newerVersion()
{
    return {{"major", kVersion.value(0).toInt()},
            {"minor", kVersion.value(1).toInt()},
            {"patch", kVersion.value(2).toInt() + 1}};
}

} // namespace

class InstallEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void installedBundleValidates();
    void launcherAtLogin_data();
    void launcherAtLogin();
    void debianPackage();
    void updatesItself_data();
    void updatesItself();

private:
    [[nodiscard]] QString bundle() const { return m_environment->root() + "/My Apps/Quorvella"; }
    [[nodiscard]] QString updatingBundle() const
    {
        return m_environment->applicationsFolder() + "Quorvella.app";
    }
    [[nodiscard]] QString log() const { return readFile(m_environment->root() + "/program.log"); }
    [[nodiscard]] uint runningPid() const
    {
        return m_bus->interface()->servicePid(Launcher::mainIdentifier).value();
    }
    // The visible windows titled as the update window and the alerts are.
    [[nodiscard]] QStringList windows() const;
    bool startWithCheck();
    // Ends the running program, however it was started.
    void stopProgram();

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<DesktopSession> m_desktop;
    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<QDBusConnection> m_bus;
    QProcess m_program;
};

void InstallEndToEndTest::initTestCase()
{
    for (const char *program : {"desktop-file-validate", "appstreamcli", "dpkg-deb", "Xvfb",
                                "dbus-daemon", "xdotool", "xdg-open"}) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            QSKIP(qPrintable(QLatin1String(program) + " is not installed"));
    }
    m_environment = std::make_unique<TestEnvironment>();
    QVERIFY(install(bundle()));
    // The archives the sandbox offers for the update.
    const QString archives = m_environment->root() + "/archives";
    QVERIFY(install(archives + "/Quorvella.app", {"--strip"}));
    QVERIFY(install(archives + "/QuorvellaUpdater.app", {"--strip", "--component", "updater"}));
    m_sandbox = std::make_unique<SandboxProcess>(QStringList{"--archives-from", archives});
    QVERIFY2(m_sandbox->isRunning(), qPrintable(m_sandbox->startError()));
    m_desktop = std::make_unique<DesktopSession>();
    QVERIFY2(m_desktop->isReady(), qPrintable(m_desktop->error()));
    m_bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
        m_desktop->environment().value("DBUS_SESSION_BUS_ADDRESS"), "install-test"));
    QVERIFY(m_bus->isConnected());
}

void InstallEndToEndTest::cleanupTestCase()
{
    if (m_bus)
        stopProgram();
    m_bus.reset();
    QDBusConnection::disconnectFromBus("install-test");
    m_desktop.reset();
    m_sandbox.reset();
    m_environment.reset();
}

void InstallEndToEndTest::stopProgram()
{
    if (const uint pid = runningPid())
        ::kill(static_cast<pid_t>(pid), SIGTERM);
    QTRY_VERIFY_WITH_TIMEOUT(runningPid() == 0, 10000);
    DesktopSession::stop(m_program);
}

void InstallEndToEndTest::installedBundleValidates()
{
    for (const QString &file :
         QStringList{"/bin/quorvella", "/bin/quorvella-webview", kLauncher,
                     "/share/icons/hicolor/48x48/apps/com.quorvella.desktop.Quorvella.png",
                     "/share/icons/hicolor/scalable/apps/com.quorvella.desktop.Quorvella.svg"})
        QVERIFY2(QFileInfo::exists(bundle() + file), qPrintable(file));
    const QString entry = bundle() + "/share/applications/com.quorvella.desktop.Quorvella.desktop";
    const Run desktop = run("desktop-file-validate", {entry});
    QVERIFY2(desktop.exitCode == 0 && desktop.output.isEmpty(), qPrintable(desktop.output));
    QVERIFY(readFile(entry).contains("Exec=\"" + bundle() + "/bin/quorvella\" %u\n"));
    QVERIFY(readFile(entry).contains("MimeType=x-scheme-handler/quorvella;\n"));
    const Run metainfo =
        run("appstreamcli",
            {"validate", "--no-net",
             bundle() + "/share/metainfo/com.quorvella.desktop.Quorvella.metainfo.xml"});
    QVERIFY2(metainfo.exitCode == 0, qPrintable(metainfo.output));
}

void InstallEndToEndTest::launcherAtLogin_data()
{
    QTest::addColumn<QVariant>("startup"); // invalid: absent
    QTest::addColumn<bool>("alreadyRunning");
    QTest::addColumn<bool>("started");
    QTest::newRow("wanted") << QVariant(true) << false << true;
    QTest::newRow("already running") << QVariant(true) << true << false;
    QTest::newRow("not wanted") << QVariant(false) << false << false;
    QTest::newRow("absent") << QVariant() << false << false;
}

void InstallEndToEndTest::launcherAtLogin()
{
    QFETCH(QVariant, startup);
    QFETCH(bool, alreadyRunning);
    QFETCH(bool, started);
    SettingsStore &store = SettingsStore::shared();
    store.remove(Preferences::startup);
    if (startup.isValid())
        store.setBool(Preferences::startup, startup.toBool());
    store.synchronize();
    // A stale entry of an install that has moved since.
    const QString autostart = m_environment->configHome() +
                              "/autostart/com.quorvella.desktop.macos.QuorvellaLauncher.desktop";
    QVERIFY(writeFile(
        autostart, "[Desktop Entry]\nType=Application\nName=Old\nExec=/old/quorvella-launcher\n"));
    if (alreadyRunning)
        QVERIFY(m_bus->registerService(Launcher::mainIdentifier));

    QProcess launcher;
    QVERIFY(m_desktop->start(launcher, bundle() + kLauncher, {}));
    const QString wanted = startup.toBool() ? "true" : "false";
    QTRY_VERIFY_WITH_TIMEOUT(
        QString::fromUtf8(launcher.peek(1 << 16)).contains("USER\n" + wanted + "\n"), 10000);
    QVERIFY(launcher.state() == QProcess::Running); // it stays, idle
    const QString log = QString::fromUtf8(launcher.readAllStandardOutput());
    QVERIFY2(
        log.startsWith(QStringLiteral("main is running: ") + (alreadyRunning ? "true" : "false")),
        qPrintable(log));
    QCOMPARE(log.contains("end path: " + bundle() + "\n"), started);

    if (started) {
        QTRY_VERIFY_WITH_TIMEOUT(runningPid() != 0, 20000);
        // Its start rewrote the autostart entry for this install's launcher.
        QTRY_VERIFY_WITH_TIMEOUT(readFile(autostart).contains(bundle() + kLauncher), 10000);
        const Run valid = run("desktop-file-validate", {autostart});
        QVERIFY2(valid.exitCode == 0 && valid.output.isEmpty(), qPrintable(valid.output));
        stopProgram();
    } else {
        QTest::qWait(1000);
        QCOMPARE(runningPid() != 0, alreadyRunning);
        QVERIFY(readFile(autostart).contains("/old/quorvella-launcher"));
    }
    if (alreadyRunning)
        QVERIFY(m_bus->unregisterService(Launcher::mainIdentifier));
    // Last: the program it started writes to the launcher's output, which this test reads.
    DesktopSession::stop(launcher);
}

void InstallEndToEndTest::debianPackage()
{
    const QString out = m_environment->root() + "/package";
    // This build trusts the sandbox's key, so cpack would refuse it: the package made here only
    // has its contents checked and goes nowhere.
    const Run cpack =
        run(QStringLiteral(QUORVELLA_CPACK), {"--config", kBuildDir + "/CPackConfig.cmake", "-B",
                                              out, "-D", "CPACK_QUORVELLA_RELEASE_REFUSAL="});
    QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.output));
    const QStringList packages = QDir(out).entryList({"quorvella_*.deb"}, QDir::Files);
    QCOMPARE(packages.size(), 1);
    const QString deb = out + '/' + packages.first();
    const Run contents = run("dpkg-deb", {"--contents", deb});
    QCOMPARE(contents.exitCode, 0);
    for (const QString &path : QStringList{
             "./usr/lib/quorvella/bin/quorvella", "./usr/lib/quorvella/bin/quorvella-webview",
             "./usr/lib/quorvella" + kLauncher,
             "./usr/bin/quorvella -> ../lib/quorvella/bin/quorvella",
             "./usr/share/applications/com.quorvella.desktop.Quorvella.desktop -> ",
             "./usr/share/icons/hicolor/scalable/apps/com.quorvella.desktop.Quorvella.svg -> ",
             "./usr/share/metainfo/com.quorvella.desktop.Quorvella.metainfo.xml -> ",
             "./usr/share/doc/quorvella/copyright\n",
             "./usr/share/doc/quorvella/changelog.Debian.gz\n"})
        QVERIFY2(contents.output.contains(path), qPrintable(path));
    // The X11 platform is in libqt6gui6; qt6-qpa-plugins holds none on Debian 12.
    const Run depends = run("dpkg-deb", {"--field", deb, "Depends", "Recommends"});
    for (const char *dependency : {"libqt6widgets6", "libqt6dbus6", "libqt6gui6", "libqt6svg6",
                                   "libplist3", "dbus-user-session", "Recommends: qt6-wayland"})
        QVERIFY2(depends.output.contains(QLatin1String(dependency)), qPrintable(depends.output));
    QVERIFY2(!depends.output.contains("qt6-qpa-plugins"), qPrintable(depends.output));
    // Debian's own checks find no error in it (warnings are allowed).
    QVERIFY2(!QStandardPaths::findExecutable("lintian").isEmpty(),
             "lintian is not installed (scripts/setup-debian.sh installs it)");
    const Run lintian = run("lintian", {"--fail-on", "error", deb}, 300000);
    const QRegularExpression error("^E: ", QRegularExpression::MultilineOption);
    QVERIFY2(lintian.exitCode == 0 && !lintian.output.contains(error), qPrintable(lintian.output));
    // Its dependencies resolve on this Debian machine (simulated: nothing is installed).
    if (!QStandardPaths::findExecutable("apt-get").isEmpty()) {
        const Run simulated = run("apt-get", {"install", "--simulate", deb});
        QVERIFY2(simulated.exitCode == 0 && simulated.output.contains("Inst quorvella"),
                 qPrintable(simulated.output));
    }
}

QStringList InstallEndToEndTest::windows() const
{
    return QString::fromUtf8(
               m_desktop->run("xdotool", {"search", "--onlyvisible", "--name", "^Quorvella$"})
                   .value_or(QByteArray()))
        .split('\n', Qt::SkipEmptyParts);
}

bool InstallEndToEndTest::startWithCheck()
{
    // The mandatory flag makes the first tick check at once, whatever the hour stamp.
    SettingsStore::reopenAll();
    SettingsStore::shared().remove(Preferences::updaterUpdating); // of a row that failed
    SettingsStore::shared().setBool(Preferences::updateMandatoryRequested, true);
    SettingsStore::shared().setBool(Preferences::firstStartHintShown, true);
    SettingsStore::shared().synchronize();
    // Through the environment, so the updater and the program it starts inherit the sandbox.
    QProcessEnvironment environment = m_desktop->environment();
    for (const char *role :
         {"API", "RECOMMENDATION", "AUTHORIZATION", "DOWNLOAD", "QR", "FAVICON", "DASHBOARD"})
        environment.insert(QStringLiteral("QUORVELLA_%1_URL").arg(QLatin1String(role)),
                           m_sandbox->baseUrl().toString());
    // The new version reports healthy 5 s after its start-up.
    environment.insert("QUORVELLA_UPDATER_START_TIMEOUT_MS", "20000");
    environment.insert("TMPDIR", m_environment->root());
    m_program.setProcessEnvironment(environment);
    m_program.setProcessChannelMode(QProcess::MergedChannels);
    m_program.setStandardOutputFile(m_environment->root() + "/program.log", QIODevice::Append);
    m_program.start(updatingBundle() + "/bin/quorvella", {});
    return m_program.waitForStarted(10000);
}

void InstallEndToEndTest::updatesItself_data()
{
    QTest::addColumn<QString>("variant"); // of the new version's archive
    QTest::addColumn<bool>("updated");
    QTest::newRow("new version starts") << QString() << true;
    QTest::newRow("new version fails, the old one is back") << QStringLiteral("nostart") << false;
}

void InstallEndToEndTest::updatesItself()
{
    QFETCH(QString, variant);
    QFETCH(bool, updated);
    const auto stop = qScopeGuard([this] { stopProgram(); });
    const QString applications = m_environment->applicationsFolder();
    QVERIFY(QDir(applications).removeRecursively());
    QVERIFY(install(updatingBundle(), {"--strip"}));
    QFile::remove(m_environment->root() + "/program.log");
    const QJsonObject versions{{Updater::bundleIdentifier, newerVersion()}};
    QCOMPARE(m_sandbox->control("POST", "/__sandbox/documents/versions", versions).status, 200);
    const QJsonObject spoiled{{"variant", variant}};
    QCOMPARE(m_sandbox->control("POST", "/__sandbox/archives/program", spoiled).status, 200);
    QVERIFY(startWithCheck());
    QTRY_VERIFY_WITH_TIMEOUT(runningPid() != 0, 10000);
    const uint oldPid = runningPid();

    // "Update available", answered from the keyboard. The start's check opens the window, which
    // checks again; while it does, Return would cancel: its own answer must have come first.
    QTRY_COMPARE_WITH_TIMEOUT(windows().size(), 1, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(log().count("RESPONSE VERSIONS") >= 2, 20000);
    QVERIFY(
        m_desktop->run("xdotool", {"windowfocus", "--sync", windows().first(), "key", "Return"}));

    const QString ended =
        updated ? "the new version runs" : "restarted the installed version: true";
    QTRY_VERIFY2_WITH_TIMEOUT(log().contains(ended), qPrintable(log().right(800)), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(runningPid() != 0 && runningPid() != oldPid, 20000);
    // Every bundle states its version; the sandbox's states the announced one.
    const QString announced = QStringLiteral("%1.%2.%3\n")
                                  .arg(kVersion.value(0), kVersion.value(1))
                                  .arg(kVersion.value(2).toInt() + 1);
    QCOMPARE(readFile(updatingBundle() + "/share/quorvella/version"),
             updated ? announced : QStringLiteral(QUORVELLA_VERSION "\n"));
    QVERIFY(readFile(updatingBundle() + "/bin/quorvella").startsWith("\177ELF"));
    // Nothing of the swap is left: the updater goes with the first start of whichever version
    // runs afterwards, and the old one says the update did not happen.
    QTRY_COMPARE_WITH_TIMEOUT(log().count("awaken by UPDATER"), 1, 10000);
    if (!updated)
        QTRY_VERIFY_WITH_TIMEOUT(log().contains("did not happen"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(
        QDir(applications).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{"Quorvella.app"}, 10000);
    // So is the updater's URL handler, which the request found in place.
    QTRY_VERIFY(!QFileInfo::exists(m_environment->root() +
                                   "/data/applications/"
                                   "com.quorvella.desktop.QuorvellaUpdater.desktop"));
    QVERIFY(
        !readFile(m_environment->configHome() + "/mimeapps.list").contains("quorvella-updater"));
    if (updated) {
        // "You're up to date!": shown only when the version running is the one announced.
        QTRY_COMPARE_WITH_TIMEOUT(windows().size(), 1, 10000);
        // The desktop entry names this bundle, not the folder the archive was made from.
        QVERIFY(readFile(updatingBundle() +
                         "/share/applications/com.quorvella.desktop.Quorvella.desktop")
                    .contains("Exec=" + updatingBundle() + "/bin/quorvella %u"));
    }
}

QTEST_GUILESS_MAIN(InstallEndToEndTest)
#include "tst_install_e2e.moc"
