#include "ServiceHarness.h"

#include "Controllers/Update/UpdateController.h"
#include "Controllers/Update/UpdaterWindowController.h"
#include "TestFiles.h"
#include "Update/Checker.h"
#include "Update/Downloader.h"
#include "Update/ReadyMark.h"

#include <QDirIterator>
#include <QLabel>
#include <QPushButton>

using namespace Costants;

namespace {

// Every file below a folder, with its size, so that any write shows.
QStringList listing(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        files.append(it.filePath().mid(folder.size()) + QLatin1Char(' ') +
                     QString::number(it.fileInfo().size()));
    }
    files.sort();
    return files;
}

} // namespace

class UpdateDownloadTest : public ServiceTest
{
    Q_OBJECT

private:
    void release() override { delete Checker::shared().updaterWindow(); }

    QString m_bundle;
    QString m_temporary;
    int m_terminations = 0;

    void prepare() override
    {
        QCOMPARE(m_sandbox
                     ->control("POST", "/__sandbox/documents/versions",
                               QJsonObject{{Updater::bundleIdentifier,
                                            QJsonObject{{"major", 1}, {"minor", 0}, {"patch", 1}}}})
                     .status,
                 200);
        m_temporary = m_environment->root() + "/tmp";
        QDir().mkpath(m_temporary);
        m_environment->setVariable("TMPDIR", QFile::encodeName(m_temporary));
        m_platform->bundleInfo.version = "1.0.0";
        m_platform->bundleInfo.applications = m_environment->applicationsFolder();
        // An installed bundle, which no failure may touch.
        m_bundle = m_environment->applicationsFolder() + "Quorvella.app";
        QVERIFY(writeFile(m_bundle + "/bin/quorvella", "installed\n"));
        m_platform->bundleInfo.bundle = m_bundle;
        Checker::shared().setWindowFactory(
            [] { return std::make_unique<UpdaterWindowController>(); });
        m_terminations = 0;
        UpdateController::setTerminator([this] { ++m_terminations; });
        UpdateController::setUpdaterTimeout(500);
        // The updater started registers its handler and says so.
        m_platform->fakeWorkspace.whenLaunched = [](const QString &started) {
            ReadyMark::write(QFileInfo(started).canonicalFilePath());
        };
    }

    [[nodiscard]] QString downloads() const { return m_environment->root() + "/cache/Quorvella/"; }

    UpdateController *openAndOffer(StatusUpdater offer = StatusUpdater::optionalUpdate)
    {
        Checker::shared().openUpdater();
        auto *window = static_cast<UpdaterWindowController *>(Checker::shared().updaterWindow());
        if (!window)
            return nullptr;
        UpdateController *controller = window->contentViewController();
        const bool offered =
            QTest::qWaitFor([controller, offer] { return controller->status() == offer; }, 5000);
        return offered ? controller : nullptr;
    }

private slots:

    void updateHandsOverToTheUpdater()
    {
        // Leftovers of an earlier attempt go before the copy.
        const QString applications = m_environment->applicationsFolder();
        QDir().mkpath(applications + "QuorvellaUpdater.app/stale");
        QVERIFY(writeFile(applications + "QuorvellaUpdater.zip", {}));
        // The fixed names of the shared temporary folder are taken by someone else: a folder,
        // and links to a file that must not be written.
        const QString victim = m_environment->root() + "/victim";
        QVERIFY(writeFile(victim, {}));
        QVERIFY(QDir().mkpath(m_temporary + "/Quorvella.zip"));
        QVERIFY(QFile::link(victim, m_temporary + "/QuorvellaUpdater.zip"));
        QVERIFY(QFile::link(victim, m_temporary + "/Quorvella.zip.sig"));
        QVERIFY(QFile::link(victim, m_temporary + "/QuorvellaUpdater.zip.sig"));
        const QStringList bundleBefore = listing(m_bundle);
        UpdateController::setUpdaterTimeout(5000);
        m_platform->fakeWorkspace.whenLaunched = {};
        UpdateController *controller = openAndOffer();
        QVERIFY(controller);
        QTest::mouseClick(controller->positiveButton, Qt::LeftButton);
        QCOMPARE(controller->descriptionWindow->text(),
                 "Please wait while we download the latest version\nStep 1 of 2");
        QTRY_COMPARE_WITH_TIMEOUT(m_platform->fakeWorkspace.launched.size(), 1, 10000);
        const QString updater = applications + "QuorvellaUpdater.app";
        // Nothing on its command line: what it trusts is built in.
        const QStringList started{updater + "/bin/quorvella-updater"};
        QCOMPARE(m_platform->fakeWorkspace.launched, QList<QStringList>{started});
        // The request waits for the updater's handler, however long it takes to register.
        QTest::qWait(300);
        QVERIFY(m_platform->fakeWorkspace.opened.isEmpty());
        QVERIFY(ReadyMark::write(QFileInfo(started.first()).canonicalFilePath()));
        QTRY_COMPARE_WITH_TIMEOUT(m_platform->fakeWorkspace.opened.size(), 1, 5000);
        QCOMPARE(QFileInfo(victim).size(), 0);
        // The new version and its signature lie in the attempt's own folder (mode 0700), which
        // stays for the updater; nothing else is left there.
        const QStringList attempts = QDir(downloads()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(attempts.size(), 1);
        const QString attempt = downloads() + attempts.first();
        QVERIFY(attempts.first().startsWith(QLatin1String("update-")));
        QCOMPARE(QFileInfo(attempt).permissions() & 0x0077, QFile::Permissions());
        QCOMPARE(QDir(attempt).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{"Quorvella.zip", "Quorvella.zip.sig"}));
        QCOMPARE(QFileInfo(attempt + "/Quorvella.zip.sig").size(), 64);
        QVERIFY(QFileInfo(attempt + "/Quorvella.zip").size() > 256 * 1024);
        QVERIFY(!QFileInfo::exists(updater + "/stale"));
        QVERIFY(!QFileInfo::exists(applications + "QuorvellaUpdater.zip"));
        // The request carries the one-time token stored for the updater, with the folder to
        // update and the version running.
        SettingsStore &store = SettingsStore::shared();
        const QString token = store.stringForKey(Preferences::updaterToken).value_or(QString());
        QCOMPARE(token.size(), 64);
        QCOMPARE(m_platform->fakeWorkspace.opened.first().toString(QUrl::FullyEncoded),
                 "quorvella-updater://update?pathApp=" + applications + "&pathZip=" + attempt +
                     "/Quorvella.zip&token=" + token);
        QCOMPARE(store.stringForKey(Preferences::updaterInstallFolder),
                 QDir::cleanPath(applications));
        QCOMPARE(store.stringForKey(Preferences::updaterInstalledVersion), "1.0.0");
        QVERIFY(!m_log->contains(token));
        // The program quits once the updater took the request, and leaves nothing behind.
        QTest::qWait(300);
        QCOMPARE(m_terminations, 0);
        QVERIFY(writeFile(attempt + "/accepted", {}));
        QTRY_COMPARE_WITH_TIMEOUT(m_terminations, 1, 5000);
        QVERIFY(listing(downloads()).isEmpty());
        QVERIFY(store.boolForKey(Preferences::updaterUpdating));
        QCOMPARE(store.stringForKey(Preferences::updaterAnnouncedVersion), "1.0.1");
        QVERIFY(m_log->contains("downloaded updater and new version"));
        QVERIFY(
            m_log->lines().filter(QRegularExpression("^Downloaded \\d+ KB / \\d+ KB -> ")).size() >
            1);
        // Swapping the bundle is the updater's work; the program leaves it alone.
        QCOMPARE(listing(m_bundle), bundleBefore);
    }

    // A fault armed in the sandbox, or a variant of an archive it serves ("refused": the
    // desktop refuses the hand-off; "noack", "noregistration": the updater never answers or
    // never registers its handler; "oversized": past the size cap).
    void faultsEndOnTheErrorScreen_data()
    {
        QTest::addColumn<QString>("archive"); // "updater" or "program"
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("variant");
        const auto row = [](const char *name, const char *archive, const char *variant,
                            const QJsonObject &fault = {}) {
            QTest::newRow(name) << QString(archive) << fault << QString(variant);
        };
        const auto at = [](const char *archive) {
            return QJsonValue("/apps/macapp/" + QString(archive) + ".zip");
        };
        row("updater 404", "updater", "", {{"path", at("QuorvellaUpdater")}, {"status", 404}});
        row("program 500", "program", "", {{"path", at("Quorvella")}, {"status", 500}});
        row("updater dropped", "updater", "", {{"path", at("QuorvellaUpdater")}, {"drop", true}});
        row("program past the timeout", "program", "",
            {{"path", at("Quorvella")}, {"delayMs", 3000}});
        row("updater truncated", "updater", "truncated");
        row("updater with ../", "updater", "traversal");
        row("updater with an absolute entry", "updater", "absolute");
        row("updater with a link out", "updater", "link");
        row("updater bad signature", "updater", "badsignature");
        row("program bad signature", "program", "badsignature");
        row("updater zip bomb", "updater", "bomb");
        row("program not the one of the signed manifest", "program", "badhash");
        row("program past the size cap", "program", "oversized");
        row("hand-off refused", "program", "refused");
        row("updater never answers", "program", "noack");
        row("updater never registers its handler", "program", "noregistration");
    }

    void faultsEndOnTheErrorScreen()
    {
        QFETCH(QString, archive);
        QFETCH(QJsonObject, fault);
        QFETCH(QString, variant);
        const bool badSignature = variant == "badsignature" || variant == "badhash";
        if (!fault.isEmpty())
            QVERIFY(harness::arm(*m_sandbox, fault));
        const bool started = QStringList{"refused", "noack", "noregistration"}.contains(variant);
        if (variant == "noregistration")
            m_platform->fakeWorkspace.whenLaunched = {};
        if (!variant.isEmpty() && variant != "oversized" && !started)
            QCOMPARE(m_sandbox
                         ->control("POST", "/__sandbox/archives/" + archive,
                                   QJsonObject{{"variant", variant}})
                         .status,
                     200);
        m_platform->fakeWorkspace.canOpen = variant != "refused";
        const QStringList bundleBefore = listing(m_bundle);
        UpdateController *controller = openAndOffer();
        QVERIFY(controller);
        controller->downloader().setTimeout(500);
        if (variant == "oversized")
            controller->downloader().setMaximumSize(100 * 1024); // the program's is 256 KB
        QTest::mouseClick(controller->positiveButton, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(controller->status(), StatusUpdater::error, 10000);

        QCOMPARE(controller->titleWindow->text(), "An error occurred!");
        QCOMPARE(controller->descriptionWindow->text(),
                 badSignature ? "The downloaded update is not signed by Quorvella and was not "
                                "installed"
                              : "We\u2019re unable to verify if updates are available, please "
                                "check your network connection");
        QCOMPARE(controller->positiveButton->text(), "Retry");
        QVERIFY(!controller->negativeButton->isVisible());
        QVERIFY(controller->window()->isVisible());
        QCOMPARE(m_terminations, 0);
        QVERIFY(!SettingsStore::shared().boolForKey(Preferences::updaterUpdating));
        QCOMPARE(m_platform->fakeWorkspace.opened.size(), // once the handler is in place
                 started && variant != "noregistration" ? 1 : 0);
        // Nothing but the installed bundle in the applications folder, and it is untouched.
        QCOMPARE(listing(m_bundle), bundleBefore);
        const QStringList applications = listing(m_environment->applicationsFolder());
        // (The updater, installed and started before the hand-off, stays until the next one.)
        QVERIFY2(started ||
                     applications.filter(QRegularExpression("^Quorvella\\.app")) == applications,
                 qPrintable(applications.join(", ")));
        QVERIFY(listing(m_environment->root()).filter("escaped").isEmpty());
        QVERIFY(!QFileInfo::exists("/tmp/quorvella-sandbox-absolute-entry.txt"));
        // Nothing of the attempt is kept, an error answer or a foreign archive least of all.
        QVERIFY2(listing(downloads()).isEmpty(), qPrintable(listing(downloads()).join(", ")));

        // "Retry" checks again.
        QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/faults").status, 200);
        QTest::mouseClick(controller->positiveButton, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(controller->status(), StatusUpdater::optionalUpdate, 5000);
    }

    // A manifest that does not verify offers nothing, whatever it announces; one too large is
    // refused while it arrives (the rest never comes: waiting for all of it would hang).
    void unverifiableManifestOffersNothing_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<int>("padding"); // bytes added to the manifest
        const QString versions = "/apps/macapp/versions.json";
        QTest::newRow("without signature")
            << QJsonObject{{"path", versions + ".sig"}, {"status", 404}} << 0;
        QTest::newRow("altered after signing")
            << QJsonObject{{"path", versions}, {"malformedJson", true}} << 0;
        QTest::newRow("declared larger")
            << QJsonObject{{"path", versions}, {"stallAfterBytes", 0}} << 100000;
        QTest::newRow("past the cap, no length")
            << QJsonObject{{"path", versions}, {"omitLength", true}, {"stallAfterBytes", 70000}}
            << 100000;
        QTest::newRow("signature past its cap, no length")
            << QJsonObject{{"path", versions + ".sig"},
                           {"status", 200},
                           {"body", QString(5000, 'x')},
                           {"omitLength", true},
                           {"stallAfterBytes", 2000}}
            << 0;
    }
    void unverifiableManifestOffersNothing()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(int, padding);
        const QJsonObject document{
            {Updater::bundleIdentifier, QJsonObject{{"major", 1}, {"minor", 0}, {"patch", 1}}},
            {"padding", QString(padding, 'p')}};
        QCOMPARE(m_sandbox->control("POST", "/__sandbox/documents/versions", document).status, 200);
        QVERIFY(harness::arm(*m_sandbox, fault));
        QVERIFY(openAndOffer(StatusUpdater::alreadyUpdated));
        const QUrl url = m_sandbox->baseUrl().resolved(QUrl(fault["path"].toString()));
        QVERIFY(m_log->contains(fault.contains("stallAfterBytes")
                                    ? "answer too large, refused: " + url.toString()
                                    : "the update manifest does not verify: no update"));
        QCOMPARE(sent("/apps/macapp/versions.json.sig").isEmpty(), padding > 0);
    }

    void cancelDuringStepOneStopsTheChain()
    {
        QVERIFY(harness::arm(*m_sandbox,
                             {{"path", "/apps/macapp/QuorvellaUpdater.zip"}, {"delayMs", 300}}));
        UpdateController *controller = openAndOffer();
        QVERIFY(controller);
        QPointer<QWidget> window = controller->window();
        QTest::mouseClick(controller->positiveButton, Qt::LeftButton);
        QCOMPARE(controller->status(), StatusUpdater::downloadingUpdater);
        QTest::mouseClick(controller->positiveButton, Qt::LeftButton); // "Cancel"
        QTRY_VERIFY(!window);
        QTest::qWait(800); // past the answer of the first download
        QVERIFY(sent("/apps/macapp/Quorvella.zip").isEmpty());
        QCOMPARE(m_terminations, 0);
    }
};

QTEST_MAIN(UpdateDownloadTest)
#include "tst_updatedownload.moc"
