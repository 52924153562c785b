#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "ArchiveBuilder.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "Updater/SchemeRegistration.h"
#include "Utils/Switcher.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QUrl>

#include <csignal>
#include <sys/stat.h>

using namespace Costants;

namespace {

const QString kHolder = QStringLiteral(QUORVELLA_BINARY_DIR "/name_holder");

// A bundle program that notes its start (and its process id) beside `marker`, then, as asked:
// reports healthy and runs as Quorvella for a moment, runs as Quorvella for 2 s without ever
// being healthy, or hangs that way.
QByteArray script(const QString &name, const QString &marker, const QString &behaviour)
{
    const QString health = QStringLiteral("echo $$ > \"$XDG_CACHE_HOME/Quorvella/healthy\"\n");
    const QString rest = behaviour == "healthy"   ? health + "exec '" + kHolder + "' 1500"
                         : behaviour == "crashes" ? "exec '" + kHolder + "' 2000"
                                                  : "exec '" + kHolder + "' 60000";
    return QStringLiteral("#!/bin/sh\necho %1 >> '%2'\necho $$ > '%2.%1'\n%3\n")
        .arg(name, marker, rest)
        .toUtf8();
}

const QString kUpdater = QStringLiteral(QUORVELLA_BINARY_DIR "/quorvella-updater");
const QString kUserLine = QStringLiteral("text/html=browser.desktop\n");

QString entryPath(const TestEnvironment &environment)
{
    return environment.root() + "/data/applications/" + SchemeRegistration::desktopFileName;
}

// What a registration as the updater at `program` left, beside a line of the user's own.
bool registeredAs(const TestEnvironment &environment, const QString &program)
{
    return writeFile(
               entryPath(environment),
               ("[Desktop Entry]\nTryExec=" + program + "\nExec=" + program + " %u\n").toUtf8()) &&
           writeFile(
               environment.configHome() + "/mimeapps.list",
               SchemeRegistration::withDefault("[Default Applications]\n" + kUserLine).toUtf8());
}

} // namespace

class QuorvellaUpdaterTest : public QObject
{
    Q_OBJECT

private slots:
    void execLine_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("line");
        const auto row = [](const char *name, const char *program, const char *line) {
            QTest::newRow(name) << QString(program) << QString(line);
        };
        row("plain path, as xdg-open reads it", "/opt/Q/bin/quorvella-updater",
            "/opt/Q/bin/quorvella-updater %u");
        row("percent", "/opt/100%/u", "/opt/100%%/u %u");
        row("quote, dollar, backslash", "/a \"$\\/u", "\"/a \\\\\"\\\\$\\\\\\\\/u\" %u");
    }
    void execLine()
    {
        QFETCH(QString, program);
        QTEST(SchemeRegistration::execLine(program), "line");
    }

    // A swap killed between its two renames left the old bundle aside and none in place, and
    // the handler left names an updater that is gone: the updater's next start puts the bundle
    // back, then, started without a request, registers itself and says so.
    void repairsHalfDoneSwap()
    {
        TestEnvironment environment;
        const QString applications = environment.applicationsFolder();
        QVERIFY(writeFile(applications + ".Quorvella.old/bin/quorvella", "old\n"));
        SettingsStore::shared().setString(Preferences::updaterInstallFolder,
                                          QDir::cleanPath(applications));
        SettingsStore::shared().synchronize();
        QVERIFY(registeredAs(environment, "/gone/quorvella-updater"));
        QProcess updater;
        updater.start(kUpdater, {});
        QVERIFY(updater.waitForFinished(15000));
        QCOMPARE(updater.exitCode(), 0);
        QCOMPARE(
            QDir(applications).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"Quorvella.app"});
        QCOMPARE(readFile(applications + "Quorvella.app/bin/quorvella"), "old\n");
        const QString self = QFileInfo(kUpdater).canonicalFilePath();
        QVERIFY(readFile(entryPath(environment))
                    .contains("\nTryExec=" + self + "\nExec=" + self + " %u\n"));
        QCOMPARE(readFile(environment.configHome() + "/mimeapps.list"),
                 SchemeRegistration::withDefault("[Default Applications]\n" + kUserLine));
        QCOMPARE(readFile(environment.root() + "/cache/Quorvella/updater-ready"), self);
    }

    void swapsOrRollsBack_data()
    {
        QTest::addColumn<QString>("newProgram"); // healthy, crashes or hangs
        QTest::addColumn<QString>("variant");
        QTest::addColumn<bool>("oldRunning");
        QTest::addColumn<int>("status");
        const auto row = [](const char *name, const char *newProgram, const char *variant,
                            bool oldRunning, int status) {
            QTest::newRow(name) << QString(newProgram) << QString(variant) << oldRunning << status;
        };
        row("new version starts, after the old one quit", "healthy", "", true, 0);
        row("handed archive swapped while it waits", "healthy", "swapped", true, 0);
        row("install path with a blank, é, & and #", "healthy", "path", false, 0);
        row("new version crashes 2 s after start", "crashes", "", false, 1);
        row("new version hangs", "hangs", "", false, 1);
        row("bad signature", "healthy", "badsignature", false, 1);
        row("world-writable, set-id files", "healthy", "worldwritable", false, 0);
        row("older version, validly signed", "healthy", "older", false, 1);
        row("request without the token", "healthy", "wrongtoken", false, 2);
        row("request for another folder", "healthy", "wrongfolder", false, 2);
    }
    void swapsOrRollsBack()
    {
        QFETCH(QString, newProgram);
        QFETCH(QString, variant);
        QFETCH(bool, oldRunning);
        QFETCH(int, status);
        TestEnvironment environment;
        const QString applications = variant == "path" ? environment.root() + "/R&D #1 é+=%/"
                                                       : environment.applicationsFolder();
        const QString marker = environment.root() + "/started";
        const QString bundle = applications + "Quorvella.app";
        const QByteArray oldProgram = script("old", marker, "healthy");
        const auto install = [&oldProgram](const QString &at) {
            return writeFile(at + "/bin/quorvella", oldProgram,
                             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        };
        QVERIFY(install(bundle));
        // Handed as the program does: from its private download folder.
        const QString handed = environment.root() + "/cache/Quorvella/update-test";
        const QString archive = handed + "/Quorvella.zip";
        const auto hand = [&](const QString &name, const QString &spoil) {
            const QByteArray bytes = ArchiveBuilder::spoiled(
                ArchiveBuilder::zip(
                    {{"Quorvella.app/", {}},
                     {"Quorvella.app/bin/", {}},
                     {"Quorvella.app/bin/quorvella", script(name, marker, newProgram), true},
                     {"Quorvella.app/share/applications/com.quorvella.desktop.Quorvella.desktop",
                      "[Desktop Entry]\nExec=\"/where/it/was/made\" %u\nType=Application\n"},
                     {"Quorvella.app/share/quorvella/version",
                      variant == "older" ? "0.9.9" : "1.0.1"}}),
                "Quorvella.app", spoil);
            return writeFile(archive, bytes) &&
                   writeFile(
                       archive + ".sig",
                       ArchiveBuilder::signature(variant == "badsignature" ? bytes + "x" : bytes));
        };
        QVERIFY(hand("new", variant == "worldwritable" ? variant : QString()));
        // What the program stores just before it hands over.
        SettingsStore &store = SettingsStore::shared();
        store.setBool(Preferences::updaterUpdating, true);
        store.setString(Preferences::updaterToken, "0123456789abcdef");
        store.setString(Preferences::updaterInstallFolder, QDir::cleanPath(applications));
        store.setString(Preferences::updaterInstalledVersion, "1.0.0");
        store.synchronize();
        const QString other = environment.root() + "/other/";
        QVERIFY(install(other + "Quorvella.app"));

        // Ours stays until the update is over; a stale one goes at once, even on a refusal.
        QVERIFY(registeredAs(environment, status == 2 ? "/gone/quorvella-updater"
                                                      : QFileInfo(kUpdater).canonicalFilePath()));
        QProcess running;
        if (oldRunning) {
            running.start(kHolder, {variant == "swapped" ? "1200" : "700"});
            QVERIFY(running.waitForStarted());
            QTest::qWait(200); // until it owns the name
        }
        QProcess updater;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUORVELLA_UPDATER_START_TIMEOUT_MS", "3000");
        updater.setProcessEnvironment(env);
        updater.setProcessChannelMode(QProcess::ForwardedChannels);
        const std::optional<QUrl> request = Switcher::updaterRequest(
            (variant == "wrongfolder" ? other : applications) + "Quorvella.app",
            QUrl::fromLocalFile(archive).toString(),
            variant == "wrongtoken" ? "0123456789abcdeX" : "0123456789abcdef");
        QVERIFY(request);
        // "--sandbox", as an earlier handler passed it, changes nothing any more.
        updater.start(kUpdater, {"--sandbox", request->toString(QUrl::FullyEncoded)});
        if (variant == "swapped") {
            // Validly signed, but not what was handed: the updater works on its own copy.
            QTest::qWait(300);
            QVERIFY(hand("swapped", {}));
        }
        QVERIFY(updater.waitForFinished(15000));
        QCOMPARE(updater.exitCode(), status);
        if (oldRunning)
            QVERIFY(running.waitForFinished(10)); // it had ended: the updater waited for it
        // A new version that never reported healthy was ended before the old one came back.
        const qint64 newPid = readFile(marker + ".new").trimmed().toLongLong();
        if (newProgram != "healthy" && newPid > 0)
            QTRY_VERIFY(::kill(pid_t(newPid), 0) != 0);

        // Only the bundle is left, the new one or the old one back in place.
        QCOMPARE(
            QDir(applications).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"Quorvella.app"});
        struct stat mode
        {};
        QCOMPARE(::stat(QFile::encodeName(bundle + "/bin/quorvella").constData(), &mode), 0);
        QCOMPARE(mode.st_mode & (S_IWGRP | S_IWOTH | S_ISUID | S_ISGID), 0u);
        QCOMPARE(readFile(bundle + "/bin/quorvella").contains("echo new"), status == 0);
        QCOMPARE(readFile(other + "Quorvella.app/bin/quorvella").toUtf8(), oldProgram);
        // The program put back is started on its own: it may write its line a moment later. A
        // refused request starts nothing: the program that asked is still there.
        const QStringList lastLines{"new", "old", ""};
        QTRY_COMPARE(readFile(marker).trimmed().section('\n', -1), lastLines.at(status));
        QVERIFY(QDir(environment.root()).entryList({"escaped*"}).isEmpty());
        // The request taken is acknowledged beside what was handed (the program then removes
        // it), and the updater's own folder is gone.
        QCOMPARE(QFileInfo::exists(handed + "/accepted"), status != 2);
        QCOMPARE(QDir(environment.root() + "/cache/Quorvella")
                     .entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList{"update-test"});
        SettingsStore::reopenAll();
        QCOMPARE(SettingsStore::shared().boolForKey(Preferences::updaterUpdating), status != 1);
        // The token is good for one request.
        QCOMPARE(SettingsStore::shared().contains(Preferences::updaterToken), status == 2);
        if (status == 0 && variant != "path")
            QVERIFY(readFile(bundle + "/share/applications/com.quorvella.desktop.Quorvella.desktop")
                        .contains("\nExec=" + bundle + "/bin/quorvella %u\nType="));
        // The handler is gone, the user's own association stays.
        QVERIFY(!QFileInfo::exists(entryPath(environment)));
        QCOMPARE(readFile(environment.configHome() + "/mimeapps.list"),
                 "[Default Applications]\n" + kUserLine);
        QTest::qWait(1600); // the started program's name is free again for the next row
    }
};

QTEST_MAIN(QuorvellaUpdaterTest)
#include "tst_quorvellaupdater.moc"
