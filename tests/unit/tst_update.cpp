#include "App/Clock.h"
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "Controllers/UpdateController.h"
#include "Controllers/UpdaterWindowController.h"
#include "HttpSink.h"
#include "LogCapture.h"
#include "Platform/testing/FakePlatform.h"
#include "Services/ApiManager.h"
#include "Services/Config.h"
#include "Services/ReachabilitySource.h"
#include "TestEnvironment.h"
#include "Update/Checker.h"
#include "Update/Updater.h"
#include "Update/VersionHelper.h"
#include "Utils/Switcher.h"

#include <QApplication>
#include <QDir>
#include <QJsonDocument>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QProgressBar>
#include <QPushButton>
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

private slots:
    void init();
    void cleanup();
    void versionComparison_data();
    void versionComparison();
    void evaluateManifest_data();
    void evaluateManifest();
    void dailyCheck_data();
    void dailyCheck();
    void windowScreensAndButtons_data();
    void windowScreensAndButtons();
    void updaterRequest_data();
    void updaterRequest();
    void installedBundle_data();
    void installedBundle();

private:
    void serveManifest(const QString &entryJson);

    std::unique_ptr<TestEnvironment> m_environment;
    FakePlatform *m_platform = nullptr;
    std::unique_ptr<HttpSink> m_sink;
    std::unique_ptr<RecordingNetwork> m_network;
    std::unique_ptr<ApiManager> m_api;
    std::unique_ptr<ManualClock> m_clock;
    QList<Scheduled> m_scheduled;
    int m_terminations = 0;
};

void UpdateTest::init()
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
    Checker::shared().setWindowFactory([] { return std::make_unique<UpdaterWindowController>(); });
    m_terminations = 0;
    UpdateController::setTerminator([this] { ++m_terminations; });
}

void UpdateTest::cleanup()
{
    delete Checker::shared().updaterWindow();
    Checker::shared().setScheduler({});
    ApiManager::installShared(nullptr);
    m_api.reset();
    Clock::install(nullptr);
    m_environment.reset();
}

void UpdateTest::serveManifest(const QString &entryJson)
{
    m_sink->setResponse(kVersions.toUtf8(),
                        {200,
                         "application/json",
                         QJsonDocument(manifest(entryJson)).toJson(QJsonDocument::Compact),
                         {}});
}

void UpdateTest::versionComparison_data()
{
    QTest::addColumn<QString>("running");
    QTest::addColumn<QString>("newest");
    QTest::addColumn<bool>("older");
    QTest::addColumn<bool>("olderMajorMinor");
    QTest::newRow("patch ahead") << "1.2.3"
                                 << "1.2.4" << true << false;
    QTest::newRow("minor ahead") << "1.2.3"
                                 << "1.3.0" << true << true;
    QTest::newRow("major ahead") << "1.2.3"
                                 << "2.0.0" << true << true;
    QTest::newRow("equal") << "1.2.3"
                           << "1.2.3" << false << false;
    QTest::newRow("behind") << "1.2.3"
                            << "1.1.9" << false << false;
    QTest::newRow("major behind, minor ahead") << "2.0.0"
                                               << "1.9.9" << false << false;
    QTest::newRow("no patch") << "1.2"
                              << "1.2.1" << false << false;
    QTest::newRow("minor not a number") << "1.x.0"
                                        << "1.3.0" << false << false;
    QTest::newRow("minor not a number, major ahead") << "1.x.0"
                                                     << "2.0.0" << true << true;
    QTest::newRow("empty pieces dropped") << "1..2.3"
                                          << "1.2.4" << true << false;
    QTest::newRow("fourth piece ignored") << "1.2.3.9"
                                          << "1.2.4" << true << false;
    QTest::newRow("number with a suffix") << "1.2.3b"
                                          << "1.2.4" << false << false;
}

void UpdateTest::versionComparison()
{
    QFETCH(QString, running);
    QFETCH(QString, newest);
    QFETCH(bool, older);
    QFETCH(bool, olderMajorMinor);
    const VersionHelper current = VersionHelper::fromText(running);
    const VersionHelper next = VersionHelper::fromText(newest);
    QCOMPARE(VersionHelper::isOlder(current, next), older);
    QCOMPARE(VersionHelper::isOlderMajorMinor(current, next), olderMajorMinor);
}

void UpdateTest::evaluateManifest_data()
{
    QTest::addColumn<QString>("running");
    QTest::addColumn<QString>("entry"); // empty: no manifest at all
    QTest::addColumn<QVariant>("flagAfter");
    QTest::addColumn<bool>("opens");
    const QVariant kept(QStringLiteral("kept"));
    QTest::newRow("patch ahead") << "1.2.3"
                                 << R"({"major":1,"minor":2,"patch":4})" << QVariant(false) << true;
    QTest::newRow("minor ahead") << "1.2.3"
                                 << R"({"major":1,"minor":3,"patch":0})" << QVariant(true) << true;
    QTest::newRow("major ahead") << "1.2.3"
                                 << R"({"major":2,"minor":0,"patch":0})" << QVariant(true) << true;
    QTest::newRow("same") << "1.2.3"
                          << R"({"major":1,"minor":2,"patch":3})" << QVariant(false) << false;
    QTest::newRow("older") << "1.2.3"
                           << R"({"major":1,"minor":1,"patch":9})" << QVariant(false) << false;
    QTest::newRow("running without patch")
        << "1.2"
        << R"({"major":1,"minor":2,"patch":1})" << QVariant(false) << false;
    QTest::newRow("running minor not a number")
        << "1.x.0"
        << R"({"major":1,"minor":3,"patch":0})" << QVariant(false) << false;
    QTest::newRow("no patch in the entry") << "1.2.3"
                                           << R"({"major":2,"minor":0})" << kept << false;
    QTest::newRow("a text value") << "1.2.3"
                                  << R"({"major":2,"minor":0,"patch":"0"})" << QVariant(false)
                                  << false;
    QTest::newRow("a fraction") << "1.2.3"
                                << R"({"major":2,"minor":0.5,"patch":0})" << QVariant(false)
                                << false;
    QTest::newRow("entry not an object") << "1.2.3"
                                         << "[2,0,0]" << QVariant(false) << false;
    QTest::newRow("no manifest") << "1.2.3"
                                 << "" << QVariant(false) << false;
}

void UpdateTest::evaluateManifest()
{
    QFETCH(QString, running);
    QFETCH(QString, entry);
    QFETCH(QVariant, flagAfter);
    QFETCH(bool, opens);
    m_platform->bundleInfo.version = running;
    SettingsStore::shared().setBool(Preferences::updateMandatoryRequested, true);
    Checker::shared().evaluateManifest(entry.isEmpty() ? std::nullopt
                                                       : std::optional(manifest(entry)));
    const QVariant flag =
        SettingsStore::shared().objectForKey(Preferences::updateMandatoryRequested);
    QCOMPARE(flag, flagAfter.typeId() == QMetaType::QString ? QVariant(true) : flagAfter);
    QCOMPARE(m_scheduled.size(), opens ? 1 : 0);
    if (!opens)
        return;
    QCOMPARE(m_scheduled.first().delay, 2000ms);
    QVERIFY(!Checker::shared().updaterWindow());
    m_scheduled.first().action();
    QVERIFY(Checker::shared().updaterWindow());
    // A second tick while the window waits for an answer opens no second one.
    QWidget *first = Checker::shared().updaterWindow();
    Checker::shared().openUpdater();
    QCOMPARE(Checker::shared().updaterWindow(), first);
}

void UpdateTest::dailyCheck_data()
{
    QTest::addColumn<QString>("stamp"); // empty: none stored
    QTest::addColumn<QString>("now");
    QTest::addColumn<bool>("mandatory");
    QTest::addColumn<bool>("fetches");
    QTest::newRow("one hour") << "10:00"
                              << "11:40" << false << false;
    QTest::newRow("two hours") << "10:00"
                               << "12:05" << false << true;
    QTest::newRow("same hour") << "12:00"
                               << "12:59" << false << false;
    QTest::newRow("first run") << ""
                               << "12:05" << false << false;
    QTest::newRow("mandatory, same hour") << "12:00"
                                          << "12:05" << true << true;
    QTest::newRow("mandatory, first run") << ""
                                          << "12:05" << true << true;
}

void UpdateTest::dailyCheck()
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

void UpdateTest::windowScreensAndButtons_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("negative"); // empty: hidden
    QTest::addColumn<QString>("positive");
    QTest::addColumn<QString>("press"); // negative, positive, Return or close
    QTest::addColumn<bool>("terminates");
    QTest::newRow("up to date, Return") << R"({"major":1,"minor":2,"patch":3})"
                                        << "You're up to date!"
                                        << "You have the latest version of Quorvella"
                                        << ""
                                        << "OK"
                                        << "Return" << false;
    QTest::newRow("failed fetch") << ""
                                  << "You're up to date!"
                                  << "You have the latest version of Quorvella"
                                  << ""
                                  << "OK"
                                  << "positive" << false;
    QTest::newRow("optional, Cancel") << R"({"major":1,"minor":2,"patch":4})"
                                      << "Update available"
                                      << "A new version of Quorvella is ready to download"
                                      << "Cancel"
                                      << "Update"
                                      << "negative" << false;
    QTest::newRow("mandatory, Quit application")
        << R"({"major":1,"minor":3,"patch":0})"
        << "Update required"
        << "Update the Quorvella app in order to keep using it"
        << "Quit application"
        << "Update"
        << "negative" << true;
    QTest::newRow("mandatory, window closed")
        << R"({"major":2,"minor":0,"patch":0})"
        << "Update required"
        << "Update the Quorvella app in order to keep using it"
        << "Quit application"
        << "Update"
        << "close" << true;
}

void UpdateTest::windowScreensAndButtons()
{
    QFETCH(QString, entry);
    QFETCH(QString, title);
    QFETCH(QString, description);
    QFETCH(QString, negative);
    QFETCH(QString, positive);
    QFETCH(QString, press);
    QFETCH(bool, terminates);
    if (!entry.isEmpty())
        serveManifest(entry);
    else
        m_sink->setResponse(kVersions.toUtf8(), {500, "application/json", "{}", {}});
    Checker::shared().openUpdater();
    QPointer<QWidget> window = Checker::shared().updaterWindow();
    QVERIFY(window);
    auto *controller =
        static_cast<UpdaterWindowController *>(window.data())->contentViewController();
    QCOMPARE(controller->titleWindow->text(), QStringLiteral("Checking for updates"));
    QVERIFY(controller->spinnerWindow->isVisible());
    QVERIFY(!controller->negativeButton->isVisible());
    QCOMPARE(controller->positiveButton->text(), QStringLiteral("Cancel"));

    QTRY_VERIFY(controller->status() != StatusUpdater::checking);
    QCOMPARE(controller->titleWindow->text(), title);
    QCOMPARE(controller->descriptionWindow->text(), description);
    QVERIFY(!controller->spinnerWindow->isVisible());
    QCOMPARE(controller->negativeButton->isVisible(), !negative.isEmpty());
    if (!negative.isEmpty())
        QCOMPARE(controller->negativeButton->text(), negative);
    QCOMPARE(controller->positiveButton->text(), positive);

    if (press == QLatin1String("negative"))
        QTest::mouseClick(controller->negativeButton, Qt::LeftButton);
    else if (press == QLatin1String("positive"))
        QTest::mouseClick(controller->positiveButton, Qt::LeftButton);
    else if (press == QLatin1String("Return"))
        QTest::keyClick(window, Qt::Key_Return);
    else
        window->close();
    QTRY_VERIFY(!window);
    QCOMPARE(m_terminations, terminates ? 1 : 0);
}

void UpdateTest::updaterRequest_data()
{
    QTest::addColumn<QString>("bundle");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("request");
    QTest::newRow("applications folder")
        << "/Applications/Quorvella.app"
        << "file:///var/folders/x/T/Quorvella.zip"
        << "quorvella-updater://update?pathApp=/Applications/&pathZip=/var/folders/x/T/"
           "Quorvella.zip";
    QTest::newRow("parent is the root") << "/Quorvella.app"
                                        << "file:///tmp/Quorvella.zip"
                                        << "quorvella-updater://update?pathApp=/&pathZip=/tmp/"
                                           "Quorvella.zip";
    QTest::newRow("spaces and escapes")
        << "/home/a b/Applications/Quorvella.app/"
        << "file:///tmp/my%20dir/Quorvella.zip"
        << "quorvella-updater://update?pathApp=/home/a%20b/Applications/&pathZip=/tmp/"
           "my%2520dir/Quorvella.zip";
}

void UpdateTest::updaterRequest()
{
    QFETCH(QString, bundle);
    QFETCH(QString, stored);
    QFETCH(QString, request);
    const std::optional<QUrl> url = Switcher::updaterRequest(bundle, stored);
    QVERIFY(url);
    QCOMPARE(url->toString(QUrl::FullyEncoded), request);
}

// The version a bundle reports, and whether the updater can swap it.
void UpdateTest::installedBundle_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("downloads");
    QTest::addColumn<QString>("versionFile"); // empty: none
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("replaceable");
    QTest::newRow("sandbox bundle") << "Quorvella.app"
                                    << "http://127.0.0.1:9"
                                    << "1.2.4\n"
                                    << "1.2.4" << true;
    QTest::newRow("its file ignored in production") << "Quorvella.app/"
                                                    << "https://cdn.quorvella.com"
                                                    << "9.9.9"
                                                    << "1.2.3" << true;
    QTest::newRow("no file") << "Quorvella.app"
                             << "http://localhost:9"
                             << ""
                             << "1.2.3" << true;
    QTest::newRow("another name") << "quorvella"
                                  << "http://127.0.0.1:9"
                                  << ""
                                  << "1.2.3" << false;
    QTest::newRow("no such bundle") << "gone/Quorvella.app"
                                    << "http://127.0.0.1:9"
                                    << ""
                                    << "1.2.3" << false;
}

void UpdateTest::installedBundle()
{
    QFETCH(QString, name);
    QFETCH(QString, downloads);
    QFETCH(QString, versionFile);
    QFETCH(QString, version);
    QFETCH(bool, replaceable);
    const QString bundle = m_environment->applicationsFolder() + name;
    if (!name.startsWith(QLatin1String("gone")))
        QVERIFY(QDir().mkpath(bundle + QStringLiteral("/share/quorvella")));
    QFile file(bundle + QLatin1Char('/') + VersionHelper::sandboxVersionFile);
    if (!versionFile.isEmpty())
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(versionFile.toUtf8()) > 0);
    file.close();
    m_platform->bundleInfo.bundle = bundle;
    Config config = Config::current();
    config.downloadHost = QUrl(downloads);
    Config::install(config);
    QCOMPARE(VersionHelper::runningText(), version);
    QCOMPARE(::Updater::canReplaceBundle(bundle), replaceable);
}

QTEST_MAIN(UpdateTest)
#include "tst_update.moc"
