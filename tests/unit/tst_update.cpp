#include "App/Clock.h"
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "Controllers/Update/UpdaterWindowController.h"
#include "HttpSink.h"
#include "LogCapture.h"
#include "Platform/testing/FakePlatform.h"
#include "Services/ApiManager.h"
#include "Services/Config.h"
#include "Services/ReachabilitySource.h"
#include "TestEnvironment.h"
#include "Update/Checker.h"
#include "Update/Updater.h"

#include <QApplication>
#include <QDir>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTest>

using namespace Costants;
using namespace std::chrono_literals;

namespace {

const QString kVersions = QStringLiteral("/apps/macapp/versions.json");

// Sees every request the moment it is made.
class RecordingNetwork : public QNetworkAccessManager
{
public:
    QList<QUrl> urls;

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request,
                                 QIODevice *data) override
    {
        urls.append(request.url());
        return QNetworkAccessManager::createRequest(op, request, data);
    }
};

struct Scheduled
{
    std::chrono::milliseconds delay;
    std::function<void()> action;
};

QJsonObject manifest(const QString &entryJson)
{
    return QJsonDocument::fromJson(
               QStringLiteral("{\"com.quorvella.desktop.macos.Quorvella\": %1, \"other\": 1}")
                   .arg(entryJson)
                   .toUtf8())
        .object();
}

QDateTime at(const QString &time)
{
    return QDateTime(QDate(2026, 3, 10), QTime::fromString(time, QStringLiteral("hh:mm")));
}

} // namespace

class UpdateTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnvironment> m_environment;
    FakePlatform *m_platform = nullptr;
    std::unique_ptr<HttpSink> m_sink;
    std::unique_ptr<RecordingNetwork> m_network;
    std::unique_ptr<ApiManager> m_api;
    std::unique_ptr<ManualClock> m_clock;
    QList<Scheduled> m_scheduled;

private slots:
    void init()
    {
        m_environment = std::make_unique<TestEnvironment>();
        m_platform = &FakePlatform::installNew();
        m_platform->bundleInfo.version = QStringLiteral("1.2.3");
        m_sink = std::make_unique<HttpSink>();
        Config::install(Config::productionDefaults().routedTo(m_sink->origin()));
        m_network = std::make_unique<RecordingNetwork>();
        m_network->setProxy(QNetworkProxy::NoProxy);
        m_api = std::make_unique<ApiManager>(m_network.get(), Config::current(), nullptr);
        ApiManager::installShared(m_api.get());
        m_clock = std::make_unique<ManualClock>(at(QStringLiteral("12:05")));
        Clock::install(m_clock.get());
        m_scheduled.clear();
        Checker::shared().setScheduler([this](std::chrono::milliseconds delay, auto action) {
            m_scheduled.append({delay, std::move(action)});
        });
        Checker::shared().setWindowFactory(
            [] { return std::make_unique<UpdaterWindowController>(); });
    }
    void cleanup()
    {
        delete Checker::shared().updaterWindow();
        Checker::shared().setScheduler({});
        ApiManager::installShared(nullptr);
        m_api.reset();
        Clock::install(nullptr);
        m_environment.reset();
    }

    // The newest version in the manifest against the one running, the mandatory flag set
    // before: a newer major or minor version sets the flag, any newer one opens the window.
    void evaluateManifest_data()
    {
        QTest::addColumn<QString>("running");
        QTest::addColumn<QString>("entry"); // empty: no manifest at all
        QTest::addColumn<bool>("flagAfter");
        QTest::addColumn<bool>("opens");
        const auto row = [](const char *name, const char *running, const QString &entry,
                            bool flagAfter, bool opens) {
            QTest::newRow(name) << QString(running) << entry << flagAfter << opens;
        };
        const auto v = [](int major, int minor, int patch) {
            return QStringLiteral(R"({"major":%1,"minor":%2,"patch":%3})")
                .arg(major)
                .arg(minor)
                .arg(patch);
        };
        // Patch, minor and major ahead and the same version: tst_screenshots' update window.
        row("minor ahead", "1.2.3", v(1, 3, 0), true, true);
        row("major behind, minor ahead", "2.0.0", v(1, 9, 9), false, false);
        row("running without patch", "1.2", v(1, 2, 1), false, false);
        row("running minor not a number", "1.x.0", v(1, 3, 0), false, false);
        row("running minor not a number, major ahead", "1.x.0", v(2, 0, 0), true, true);
        row("empty pieces dropped", "1..2.3", v(1, 2, 4), false, true);
        row("fourth piece ignored", "1.2.3.9", v(1, 2, 4), false, true);
        row("number with a suffix", "1.2.3b", v(1, 2, 4), false, false);
        // An entry that cannot be read clears the flag; one without a patch leaves it.
        row("no patch in the entry", "1.2.3", R"({"major":2,"minor":0})", true, false);
        row("a fraction", "1.2.3", R"({"major":2,"minor":0.5,"patch":0})", false, false);
        row("entry not an object", "1.2.3", "[2,0,0]", false, false);
        row("no manifest", "1.2.3", "", false, false);
    }
    void evaluateManifest()
    {
        QFETCH(QString, running);
        QFETCH(QString, entry);
        QFETCH(bool, flagAfter);
        QFETCH(bool, opens);
        m_platform->bundleInfo.version = running;
        SettingsStore::shared().setBool(Preferences::updateMandatoryRequested, true);
        Checker::shared().evaluateManifest(entry.isEmpty() ? std::nullopt
                                                           : std::optional(manifest(entry)));
        QCOMPARE(SettingsStore::shared().objectForKey(Preferences::updateMandatoryRequested),
                 QVariant(flagAfter));
        QCOMPARE(m_scheduled.size(), opens ? 1 : 0);
        if (!opens)
            return;
        QCOMPARE(m_scheduled.first().delay, 2000ms);
        QVERIFY(!Checker::shared().updaterWindow());
        m_scheduled.first().action();
        QWidget *first = Checker::shared().updaterWindow();
        QVERIFY(first);
        // A second tick while the window waits for an answer opens no second one.
        Checker::shared().openUpdater();
        QCOMPARE(Checker::shared().updaterWindow(), first);
    }

    void dailyCheck_data()
    {
        QTest::addColumn<QString>("stamp"); // empty: none stored
        QTest::addColumn<QString>("now");
        QTest::addColumn<bool>("mandatory");
        QTest::addColumn<bool>("fetches");
        const auto row = [](const char *name, const char *stamp, const char *now, bool mandatory,
                            bool fetches) {
            QTest::newRow(name) << QString(stamp) << QString(now) << mandatory << fetches;
        };
        row("one hour", "10:00", "11:40", false, false);
        row("two hours", "10:00", "12:05", false, true);
        row("first run", "", "12:05", false, false);
        row("mandatory, same hour", "12:00", "12:05", true, true);
    }
    void dailyCheck()
    {
        QFETCH(QString, stamp);
        QFETCH(QString, now);
        QFETCH(bool, mandatory);
        QFETCH(bool, fetches);
        SettingsStore &store = SettingsStore::shared();
        if (!stamp.isEmpty())
            store.setDate(Preferences::lastUpdateDayChecked, at(stamp));
        store.setBool(Preferences::updateMandatoryRequested, mandatory);
        m_clock->set(at(now));
        LogCapture log;
        Checker::shared().dailyCheck();

        QCOMPARE(m_network->urls.size(), fetches ? 1 : 0);
        if (fetches)
            QCOMPARE(m_network->urls.first().path(), kVersions);
        QCOMPARE(log.contains("forcing check for updates set by key"), mandatory);
        const QDateTime hour = at(now.left(2) + QStringLiteral(":00"));
        QCOMPARE(store.dateForKey(Preferences::lastUpdateDayChecked), std::optional(hour));
        QCOMPARE(m_scheduled.size(), 1);
        QCOMPARE(m_scheduled.first().delay, 3600000ms);

        // The next tick, an hour later, finds the stamp one hour old: no check unless mandatory.
        m_network->urls.clear();
        m_clock->advance(3600 * 1000);
        m_scheduled.takeFirst().action();
        QCOMPARE(m_network->urls.size(), mandatory ? 1 : 0);
        QCOMPARE(store.dateForKey(Preferences::lastUpdateDayChecked),
                 std::optional(hour.addSecs(3600)));
        QCOMPARE(m_scheduled.size(), 1);
    }

    // The plain "Quorvella.app" is replaced in tst_updatedownload, the version file read in
    // tst_install_e2e.
    void bundleTheUpdaterCanReplace_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("replaceable");
        QTest::newRow("trailing slash") << "Quorvella.app/" << true;
        QTest::newRow("another name") << "quorvella" << false;
        QTest::newRow("no such bundle") << "gone/Quorvella.app" << false;
    }
    void bundleTheUpdaterCanReplace()
    {
        QFETCH(QString, name);
        const QString bundle = m_environment->applicationsFolder() + name;
        if (!name.startsWith("gone"))
            QVERIFY(QDir().mkpath(bundle));
        QTEST(::Updater::canReplaceBundle(bundle), "replaceable");
    }
};

QTEST_MAIN(UpdateTest)
#include "tst_update.moc"
