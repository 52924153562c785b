// A real install: `cmake --install` into a folder with a blank in its name, the launcher of
// that install at login on a private desktop, and the Debian package built by CPack.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "DesktopSession.h"
#include "TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <memory>

using namespace Costants;

namespace {

const QString kBuildDir = QStringLiteral(QUORVELLA_BINARY_DIR "/..");
const QString kLauncher = "/Contents/Library/LoginItems/QuorvellaLauncher/bin/quorvella-launcher";

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

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
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

private:
    [[nodiscard]] QString bundle() const { return m_environment->root() + "/My Apps/Quorvella"; }
    [[nodiscard]] bool mainIsRunning();

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<DesktopSession> m_desktop;
    std::unique_ptr<QDBusConnection> m_bus;
};

void InstallEndToEndTest::initTestCase()
{
    for (const char *program :
         {"desktop-file-validate", "appstreamcli", "dpkg-deb", "Xvfb", "dbus-daemon"}) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            QSKIP(qPrintable(QLatin1String(program) + " is not installed"));
    }
    m_environment = std::make_unique<TestEnvironment>();
    const Run install =
        run(QStringLiteral(QUORVELLA_CMAKE), {"--install", kBuildDir, "--prefix", bundle()});
    QVERIFY2(install.exitCode == 0, qPrintable(install.output));
    m_desktop = std::make_unique<DesktopSession>();
    QVERIFY2(m_desktop->isReady(), qPrintable(m_desktop->error()));
    m_bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
        m_desktop->environment().value("DBUS_SESSION_BUS_ADDRESS"), "install-test"));
    QVERIFY(m_bus->isConnected());
}

void InstallEndToEndTest::cleanupTestCase()
{
    if (m_bus)
        QDBusConnection::disconnectFromBus("install-test");
    m_bus.reset();
    m_desktop.reset();
    m_environment.reset();
}

bool InstallEndToEndTest::mainIsRunning()
{
    return m_bus->interface()->isServiceRegistered(Launcher::mainIdentifier).value();
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
    QDir().mkpath(QFileInfo(autostart).path());
    QFile stale(autostart);
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("[Desktop Entry]\nType=Application\nName=Old\nExec=/old/quorvella-launcher\n");
    stale.close();
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
        QTRY_VERIFY_WITH_TIMEOUT(mainIsRunning(), 20000);
        // Its start rewrote the autostart entry for this install's launcher.
        QTRY_VERIFY_WITH_TIMEOUT(readFile(autostart).contains(bundle() + kLauncher), 10000);
        const Run valid = run("desktop-file-validate", {autostart});
        QVERIFY2(valid.exitCode == 0 && valid.output.isEmpty(), qPrintable(valid.output));
        const uint pid = m_bus->interface()->servicePid(Launcher::mainIdentifier).value();
        QVERIFY(pid > 0);
        ::kill(static_cast<pid_t>(pid), SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(!mainIsRunning(), 10000);
    } else {
        QTest::qWait(1000);
        QCOMPARE(mainIsRunning(), alreadyRunning);
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

QTEST_GUILESS_MAIN(InstallEndToEndTest)
#include "tst_install_e2e.moc"
