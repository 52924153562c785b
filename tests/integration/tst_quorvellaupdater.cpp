#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "ArchiveBuilder.h"
#include "TestEnvironment.h"
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

QString read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

const QString kUpdater = QStringLiteral(QUORVELLA_BINARY_DIR "/quorvella-updater");
const QString kUserLine = QStringLiteral("text/html=browser.desktop\n");

QString entryPath(const TestEnvironment &environment)
{
    return environment.root() + "/data/applications/" + SchemeRegistration::desktopFileName;
}

bool write(const QString &path, const QString &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
}

// What a registration as the updater at `program` left, beside a line of the user's own.
bool registeredAs(const TestEnvironment &environment, const QString &program)
{
    return write(entryPath(environment),
                 "[Desktop Entry]\nTryExec=" + program + "\nExec=" + program + " %u\n") &&
           write(environment.configHome() + "/mimeapps.list",
                 SchemeRegistration::withDefault("[Default Applications]\n" + kUserLine));
}

} // namespace

class QuorvellaUpdaterTest : public QObject
{
    Q_OBJECT

private slots:
    void swapsOrRollsBack_data();
    void swapsOrRollsBack();
    void execLine_data();
    void execLine();
    void repairsHalfDoneSwap();
};

void QuorvellaUpdaterTest::execLine_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("line");
    QTest::newRow("plain path, as xdg-open reads it") << "/opt/Q/bin/quorvella-updater"
                                                      << "/opt/Q/bin/quorvella-updater %u";
    QTest::newRow("percent") << "/opt/100%/u"
                             << "/opt/100%%/u %u";
    QTest::newRow("quote, dollar, backslash") << "/a \"$\\/u"
                                              << "\"/a \\\\\"\\\\$\\\\\\\\/u\" %u";
}

void QuorvellaUpdaterTest::execLine()
{
    QFETCH(QString, program);
    QFETCH(QString, line);
    QCOMPARE(SchemeRegistration::execLine(program), line);
}

// A swap killed between its two renames left the old bundle aside and none in place, and the
// handler left names an updater that is gone: the updater's next start puts the bundle back,
// then, started without a request, registers itself and says so.
void QuorvellaUpdaterTest::repairsHalfDoneSwap()
{
    TestEnvironment environment;
    const QString applications = environment.applicationsFolder();
    QVERIFY(QDir().mkpath(applications + QStringLiteral(".Quorvella.old/bin")));
    QFile program(applications + QStringLiteral(".Quorvella.old/bin/quorvella"));
    QVERIFY(program.open(QIODevice::WriteOnly) && program.write("old\n") == 4);
    program.close();
    SettingsStore::shared().setString(Preferences::updaterInstallFolder,
                                      QDir::cleanPath(applications));
    SettingsStore::shared().synchronize();
    QVERIFY(registeredAs(environment, QStringLiteral("/gone/quorvella-updater")));
    QProcess updater;
    updater.start(kUpdater, {});
    QVERIFY(updater.waitForFinished(15000));
    QCOMPARE(updater.exitCode(), 0);
    QCOMPARE(QDir(applications).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"Quorvella.app"});
    QCOMPARE(read(applications + QStringLiteral("Quorvella.app/bin/quorvella")),
             QStringLiteral("old\n"));
    const QString self = QFileInfo(kUpdater).canonicalFilePath();
    QVERIFY(
        read(entryPath(environment)).contains("\nTryExec=" + self + "\nExec=" + self + " %u\n"));
    QCOMPARE(read(environment.configHome() + QStringLiteral("/mimeapps.list")),
             SchemeRegistration::withDefault("[Default Applications]\n" + kUserLine));
    QCOMPARE(read(environment.root() + QStringLiteral("/cache/Quorvella/updater-ready")), self);
}

void QuorvellaUpdaterTest::swapsOrRollsBack_data()
{
    QTest::addColumn<QString>("newProgram"); // healthy, crashes or hangs
    QTest::addColumn<QString>("variant");
    QTest::addColumn<bool>("oldRunning");
    QTest::addColumn<int>("status");
    QTest::newRow("new version starts, after the old one quit") << "healthy"
                                                                << "" << true << 0;
    QTest::newRow("handed archive swapped while it waits") << "healthy"
                                                           << "swapped" << true << 0;
    QTest::newRow("install path with a blank, é, & and #") << "healthy"
                                                           << "path" << false << 0;
    QTest::newRow("new version crashes 2 s after start") << "crashes"
                                                         << "" << false << 1;
    QTest::newRow("new version hangs") << "hangs"
                                       << "" << false << 1;
    QTest::newRow("bad signature") << "healthy"
                                   << "badsignature" << false << 1;
    QTest::newRow("world-writable, set-id files") << "healthy"
                                                  << "worldwritable" << false << 0;
    QTest::newRow("older version, validly signed") << "healthy"
                                                   << "older" << false << 1;
    QTest::newRow("request without the token") << "healthy"
                                               << "wrongtoken" << false << 2;
    QTest::newRow("request for another folder") << "healthy"
                                                << "wrongfolder" << false << 2;
}

void QuorvellaUpdaterTest::swapsOrRollsBack()
{
    QFETCH(QString, newProgram);
    QFETCH(QString, variant);
    QFETCH(bool, oldRunning);
    QFETCH(int, status);
    TestEnvironment environment;
    const QString applications = variant == "path"
                                     ? environment.root() + QStringLiteral("/R&D #1 é+=%/")
                                     : environment.applicationsFolder();
    const QString marker = environment.root() + QStringLiteral("/started");
    const QString bundle = applications + QStringLiteral("Quorvella.app");
    const QByteArray oldProgram = script(QStringLiteral("old"), marker, QStringLiteral("healthy"));
    const auto install = [&oldProgram](const QString &at) {
        QFile program(at + QStringLiteral("/bin/quorvella"));
        return QDir().mkpath(at + QStringLiteral("/bin")) && program.open(QIODevice::WriteOnly) &&
               program.write(oldProgram) > 0 &&
               program.setPermissions(program.permissions() | QFile::ExeOwner);
    };
    QVERIFY(install(bundle));
    // Handed as the program does: from its private download folder.
    const QString handed = environment.root() + QStringLiteral("/cache/Quorvella/update-test");
    const QString archive = handed + QStringLiteral("/Quorvella.zip");
    const auto hand = [&](const QString &name, const QString &spoil) {
        QDir().mkpath(handed);
        const QByteArray bytes = ArchiveBuilder::spoiled(
            ArchiveBuilder::zip(
                {{"Quorvella.app/", {}},
                 {"Quorvella.app/bin/", {}},
                 {"Quorvella.app/bin/quorvella", script(name, marker, newProgram), true},
                 {"Quorvella.app/share/applications/"
                  "com.quorvella.desktop.Quorvella.desktop",
                  "[Desktop Entry]\nExec=\"/where/it/was/made\" %u\nType=Application\n"},
                 {"Quorvella.app/share/quorvella/version",
                  variant == "older" ? "0.9.9" : "1.0.1"}}),
            QStringLiteral("Quorvella.app"), spoil);
        QFile zip(archive);
        QFile signature(archive + QStringLiteral(".sig"));
        return zip.open(QIODevice::WriteOnly) && zip.write(bytes) == bytes.size() &&
               signature.open(QIODevice::WriteOnly) &&
               signature.write(ArchiveBuilder::signature(variant == "badsignature" ? bytes + "x"
                                                                                   : bytes)) == 64;
    };
    static const QStringList spoilers{"worldwritable"};
    QVERIFY(hand(QStringLiteral("new"), spoilers.contains(variant) ? variant : QString()));
    // What the program stores just before it hands over.
    SettingsStore &store = SettingsStore::shared();
    store.setBool(Preferences::updaterUpdating, true);
    store.setString(Preferences::updaterToken, QStringLiteral("0123456789abcdef"));
    store.setString(Preferences::updaterInstallFolder, QDir::cleanPath(applications));
    store.setString(Preferences::updaterInstalledVersion, QStringLiteral("1.0.0"));
    store.synchronize();
    const QString other = environment.root() + QStringLiteral("/other/");
    QVERIFY(install(other + QStringLiteral("Quorvella.app")));

    // Ours stays until the update is over; a stale one goes at once, even on a refusal.
    QVERIFY(registeredAs(environment, status == 2 ? QStringLiteral("/gone/quorvella-updater")
                                                  : QFileInfo(kUpdater).canonicalFilePath()));
    QProcess running;
    if (oldRunning) {
        running.start(kHolder,
                      {variant == "swapped" ? QStringLiteral("1200") : QStringLiteral("700")});
        QVERIFY(running.waitForStarted());
        QTest::qWait(200); // until it owns the name
    }
    QProcess updater;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORVELLA_UPDATER_START_TIMEOUT_MS"), QStringLiteral("3000"));
    updater.setProcessEnvironment(env);
    updater.setProcessChannelMode(QProcess::ForwardedChannels);
    const std::optional<QUrl> request = Switcher::updaterRequest(
        (variant == "wrongfolder" ? other : applications) + QStringLiteral("Quorvella.app"),
        QUrl::fromLocalFile(archive).toString(),
        variant == "wrongtoken" ? QStringLiteral("0123456789abcdeX")
                                : QStringLiteral("0123456789abcdef"));
    QVERIFY(request);
    const QStringList arguments{QStringLiteral("--sandbox"), request->toString(QUrl::FullyEncoded)};
    // "--sandbox", as an earlier handler passed it, changes nothing any more.
    updater.start(kUpdater, arguments);
    if (variant == "swapped") {
        // Validly signed, but not what was handed: the updater works on its own copy.
        QTest::qWait(300);
        QVERIFY(hand(QStringLiteral("swapped"), {}));
    }
    QVERIFY(updater.waitForFinished(15000));
    QCOMPARE(updater.exitCode(), status);
    if (oldRunning)
        QVERIFY(running.waitForFinished(10)); // it had ended: the updater waited for it
    // A new version that never reported healthy was ended before the old one came back.
    const qint64 newPid = read(marker + QStringLiteral(".new")).trimmed().toLongLong();
    if (newProgram != "healthy" && newPid > 0)
        QTRY_VERIFY(::kill(pid_t(newPid), 0) != 0);

    // Only the bundle is left, the new one or the old one back in place.
    QCOMPARE(QDir(applications).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"Quorvella.app"});
    const QString installed = read(bundle + QStringLiteral("/bin/quorvella"));
    struct stat mode
    {};
    QCOMPARE(
        ::stat(QFile::encodeName(bundle + QStringLiteral("/bin/quorvella")).constData(), &mode), 0);
    QCOMPARE(mode.st_mode & (S_IWGRP | S_IWOTH | S_ISUID | S_ISGID), 0u);
    QCOMPARE(installed.contains(QLatin1String("echo new")), status == 0);
    QCOMPARE(read(other + QStringLiteral("Quorvella.app/bin/quorvella")).toUtf8(), oldProgram);
    // The program put back is started on its own: it may write its line a moment later. A
    // refused request starts nothing: the program that asked is still there.
    const auto lastLine = [&marker] {
        const QStringList lines = read(marker).split('\n', Qt::SkipEmptyParts);
        return lines.isEmpty() ? QString() : lines.last();
    };
    const QStringList lastLines{"new", "old", ""};
    QTRY_COMPARE(lastLine(), lastLines.at(status));
    QVERIFY(QDir(environment.root()).entryList({"escaped*"}).isEmpty());
    // The request taken is acknowledged beside what was handed (the program then removes it),
    // and the updater's own folder is gone.
    QCOMPARE(QFileInfo::exists(handed + QStringLiteral("/accepted")), status != 2);
    QCOMPARE(QDir(environment.root() + QStringLiteral("/cache/Quorvella"))
                 .entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{"update-test"});
    SettingsStore::reopenAll();
    QCOMPARE(SettingsStore::shared().boolForKey(Preferences::updaterUpdating), status != 1);
    // The token is good for one request.
    QCOMPARE(SettingsStore::shared().contains(Preferences::updaterToken), status == 2);
    if (status == 0 && variant != "path")
        QVERIFY(read(bundle + "/share/applications/com.quorvella.desktop.Quorvella.desktop")
                    .contains("\nExec=" + bundle + "/bin/quorvella %u\nType="));
    // The handler is gone, the user's own association stays.
    QVERIFY(!QFileInfo::exists(entryPath(environment)));
    QCOMPARE(read(environment.configHome() + QStringLiteral("/mimeapps.list")),
             "[Default Applications]\n" + kUserLine);
    QTest::qWait(1600); // the started program's name is free again for the next row
}

QTEST_MAIN(QuorvellaUpdaterTest)
#include "tst_quorvellaupdater.moc"
