// A bundle installed in a private applications folder updates itself on a real desktop: the
// sandbox announces a newer version made of this build's own bundles, the window of the check
// is answered with "Update", and the real updater, reached through the desktop's URL opener,
// swaps the bundle and starts the new version, or puts the old one back.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "DesktopSession.h"
#include "SandboxProcess.h"
#include "TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <memory>

using namespace Costants;

namespace {

const QString kBuildDir = QStringLiteral(QUORVELLA_BINARY_DIR "/..");

bool install(const QString &prefix, const QString &component = {})
{
    QStringList arguments{"--install", kBuildDir, "--prefix", prefix, "--strip"};
    if (!component.isEmpty())
        arguments << "--component" << component;
    QProcess cmake;
    cmake.start(QStringLiteral(QUORVELLA_CMAKE), arguments);
    return cmake.waitForFinished(120000) && cmake.exitStatus() == QProcess::NormalExit &&
           cmake.exitCode() == 0;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// This build's version with the patch one higher.
QJsonObject newerVersion()
{
    const QStringList parts = QStringLiteral(QUORVELLA_VERSION).split('.');
    return {{"major", parts.value(0).toInt()},
            {"minor", parts.value(1).toInt()},
            {"patch", parts.value(2).toInt() + 1}};
}

} // namespace

class UpdateEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup() { stopProgram(); }
    void updatesItself_data();
    void updatesItself();

private:
    [[nodiscard]] QString bundle() const
    {
        return m_environment->applicationsFolder() + "Quorvella.app";
    }
    [[nodiscard]] QString log() const
    {
        return QString::fromUtf8(readFile(m_environment->root() + "/program.log"));
    }
    [[nodiscard]] uint runningPid() const
    {
        return m_bus->interface()->servicePid(Launcher::mainIdentifier).value();
    }
    // The lines xdotool writes; windows() are the visible ones titled as the update window
    // and the alerts are.
    QStringList xdotool(const QStringList &arguments) const;
    [[nodiscard]] QStringList windows() const
    {
        return xdotool({"search", "--onlyvisible", "--name", "^Quorvella$"});
    }
    bool startWithCheck();
    void stopProgram();

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<DesktopSession> m_desktop;
    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<QDBusConnection> m_bus;
    QProcess m_program;
};

void UpdateEndToEndTest::initTestCase()
{
    for (const char *program : {"Xvfb", "dbus-daemon", "xdotool", "xdg-open"}) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            QSKIP(qPrintable(QLatin1String(program) + QStringLiteral(" is not installed")));
    }
    m_environment = std::make_unique<TestEnvironment>();
    const QString archives = m_environment->root() + "/archives";
    QVERIFY(install(archives + "/Quorvella.app"));
    QVERIFY(install(archives + "/QuorvellaUpdater.app", "updater"));
    m_sandbox = std::make_unique<SandboxProcess>(QStringList{"--archives-from", archives});
    QVERIFY2(m_sandbox->isRunning(), qPrintable(m_sandbox->startError()));
    m_desktop = std::make_unique<DesktopSession>();
    QVERIFY2(m_desktop->isReady(), qPrintable(m_desktop->error()));
    m_bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
        m_desktop->environment().value("DBUS_SESSION_BUS_ADDRESS"), "update-test"));
    QVERIFY(m_bus->isConnected());
}

void UpdateEndToEndTest::cleanupTestCase()
{
    if (m_bus)
        stopProgram();
    m_bus.reset();
    QDBusConnection::disconnectFromBus("update-test");
    m_desktop.reset();
    m_sandbox.reset();
    m_environment.reset();
}

QStringList UpdateEndToEndTest::xdotool(const QStringList &arguments) const
{
    return QString::fromUtf8(m_desktop->run("xdotool", arguments).value_or(QByteArray()))
        .split('\n', Qt::SkipEmptyParts);
}

bool UpdateEndToEndTest::startWithCheck()
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
    m_program.start(bundle() + "/bin/quorvella", {});
    return m_program.waitForStarted(10000);
}

void UpdateEndToEndTest::stopProgram()
{
    if (const uint pid = runningPid())
        ::kill(static_cast<pid_t>(pid), SIGTERM);
    QTRY_VERIFY_WITH_TIMEOUT(runningPid() == 0, 10000);
    DesktopSession::stop(m_program);
}

void UpdateEndToEndTest::updatesItself_data()
{
    QTest::addColumn<QString>("variant"); // of the new version's archive
    QTest::addColumn<bool>("updated");
    QTest::newRow("new version starts") << QString() << true;
    QTest::newRow("new version fails, the old one is back") << QStringLiteral("nostart") << false;
}

void UpdateEndToEndTest::updatesItself()
{
    QFETCH(QString, variant);
    QFETCH(bool, updated);
    const QString applications = m_environment->applicationsFolder();
    QVERIFY(QDir(applications).removeRecursively());
    QVERIFY(install(bundle()));
    QFile::remove(m_environment->root() + "/program.log");
    const QJsonObject versions{{Updater::bundleIdentifier, newerVersion()}};
    QCOMPARE(m_sandbox->control("POST", "/__sandbox/documents/versions", versions).status, 200);
    const QJsonObject spoiled{{"variant", variant}};
    QCOMPARE(m_sandbox->control("POST", "/__sandbox/archives/program", spoiled).status, 200);
    QVERIFY(startWithCheck());
    QTRY_VERIFY_WITH_TIMEOUT(runningPid() != 0, 10000);
    const uint oldPid = runningPid();

    // "Update available", answered from the keyboard.
    QTRY_COMPARE_WITH_TIMEOUT(windows().size(), 1, 20000);
    xdotool({"windowfocus", "--sync", windows().first(), "key", "Return"});

    const QString ended =
        updated ? "the new version runs" : "restarted the installed version: true";
    QTRY_VERIFY2_WITH_TIMEOUT(log().contains(ended), qPrintable(log().right(800)), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(runningPid() != 0 && runningPid() != oldPid, 20000);
    // Every bundle states its version; the sandbox's states the announced one.
    const QString version = QString::fromUtf8(readFile(bundle() + "/share/quorvella/version"));
    const QJsonObject newer = newerVersion();
    const QString announced = QStringLiteral("%1.%2.%3\n")
                                  .arg(newer["major"].toInt())
                                  .arg(newer["minor"].toInt())
                                  .arg(newer["patch"].toInt());
    QCOMPARE(version, updated ? announced : QStringLiteral(QUORVELLA_VERSION "\n"));
    QVERIFY(readFile(bundle() + "/bin/quorvella").startsWith("\177ELF"));
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
        QVERIFY(readFile(bundle() + "/share/applications/com.quorvella.desktop.Quorvella.desktop")
                    .contains("Exec=" + bundle().toUtf8() + "/bin/quorvella %u"));
    }
}

QTEST_GUILESS_MAIN(UpdateEndToEndTest)
#include "tst_update_e2e.moc"
