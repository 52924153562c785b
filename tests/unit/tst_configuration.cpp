// The program's own plumbing: command line, configuration, log and notification centre.
#include "App/CommandLine.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "LogCapture.h"
#include "Services/Config.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>
#include <QThread>
#include <QTimeZone>

namespace {

// What a parsed command line asks for, in one comparable text.
QString describe(const CommandLine &line)
{
    if (!line.error.isEmpty())
        return QStringLiteral("error");
    QStringList parts;
    if (line.help)
        parts << QStringLiteral("help");
    if (line.sandbox)
        parts << QStringLiteral("sandbox ") + line.sandboxUrl.toString();
    if (line.rebrandText)
        parts << QStringLiteral("rebrand ") + *line.rebrandText;
    if (line.pauseMinutes)
        parts << QStringLiteral("pause %1").arg(*line.pauseMinutes);
    if (line.resume)
        parts << QStringLiteral("resume");
    for (const QUrl &url : line.openUrls)
        parts << QStringLiteral("open ") + url.toString();
    return parts.join(u'|');
}

} // namespace

class ConfigurationTest : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing") << QStringList{} << "";
        QTest::newRow("help") << QStringList{"--help"} << "help";
        QTest::newRow("sandbox") << QStringList{"--sandbox"} << "sandbox ";
        QTest::newRow("sandbox url")
            << QStringList{"--sandbox=http://127.0.0.1:8080"} << "sandbox http://127.0.0.1:8080";
        QTest::newRow("sandbox bad url") << QStringList{"--sandbox=not a url"} << "error";
        QTest::newRow("rebrand") << QStringList{"--rebrand", "see https://a.b"}
                                 << "rebrand see https://a.b";
        QTest::newRow("qt option keeps its value")
            << QStringList{"-platform", "--sandbox", "--sandbox"} << "sandbox ";
        QTest::newRow("pause for an hour") << QStringList{"--pause"} << "pause 60";
        QTest::newRow("pause minutes") << QStringList{"--pause=15"} << "pause 15";
        QTest::newRow("pause thirty days") << QStringList{"--pause=43200"} << "pause 43200";
        QTest::newRow("pause longer") << QStringList{"--pause=43201"} << "error";
        QTest::newRow("pause zero") << QStringList{"--pause=0"} << "error";
        QTest::newRow("pause no number") << QStringList{"--pause=1h"} << "error";
        QTest::newRow("resume") << QStringList{"--resume"} << "resume";
        QTest::newRow("unknown") << QStringList{"--sandbx"} << "error";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QTEST(describe(CommandLine::parse(QStringList{"quorvella"} + arguments)), "expected");
    }

    void sources_data()
    {
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<QString>("api"); // empty: refused
        QTest::addColumn<QByteArray>("environment");
        QTest::addColumn<QString>("dsn");
        QTest::newRow("defaults") << QByteArray() << "https://api.quorvella.com" << QByteArray()
                                  << "";
        QTest::newRow("conf file")
            << QByteArray("api=https://api.staging.example\nsentry_dsn=https://k@s.example/3\n")
            << "https://api.staging.example" << QByteArray() << "https://k@s.example/3";
        QTest::newRow("environment wins")
            << QByteArray("api=https://api.staging.example\n") << "http://127.0.0.1:9999"
            << QByteArray("http://127.0.0.1:9999") << "";
        QTest::newRow("plain http elsewhere refused")
            << QByteArray("api=http://api.example\n") << "" << QByteArray() << "";
    }
    void sources()
    {
        QFETCH(QByteArray, conf);
        QFETCH(QString, api);
        QFETCH(QByteArray, environment);
        TestEnvironment testEnvironment;
        testEnvironment.setVariable("QUORVELLA_API_URL", environment);
        testEnvironment.setVariable("QUORVELLA_SENTRY_DSN", QByteArray());
        qunsetenv("QUORVELLA_SENTRY_DSN");
        QVERIFY(conf.isEmpty() || writeFile(Config::confFilePath(), conf));
        QString error;
        const std::optional<Config> config = Config::load(&error);
        QCOMPARE(config.has_value(), !api.isEmpty());
        if (!config) {
            QVERIFY(error.contains("https"));
            return;
        }
        QCOMPARE(config->apiHost.toString(), api);
        QCOMPARE(config->apiBaseUrl().toString(), api + "/v1");
        QTEST(config->crashReportingDsn, "dsn");
    }

    void sandboxRoutesEveryRole()
    {
        const QUrl origin(QStringLiteral("http://127.0.0.1:4567"));
        const Config routed = Config::productionDefaults().routedTo(origin);
        for (const QUrl &host :
             {routed.apiHost, routed.recommendationHost, routed.authorizationHost,
              routed.downloadHost, routed.qrHost, routed.faviconHost, routed.dashboardHost})
            QCOMPARE(host, origin);
        QCOMPARE(routed.reachabilityHost, QStringLiteral("127.0.0.1"));
        QCOMPARE(routed.crashReportingDsn,
                 QStringLiteral("http://5b0f3e6c2a9d4e71b8c3f0a1d2e4b6c8@127.0.0.1:4567/1"));
        QVERIFY(Config::isAcceptableOrigin(origin));
        QVERIFY(!Config::isAcceptableOrigin(QUrl(QStringLiteral("http://sandbox.example"))));
    }

    void logItemIsOneLine_data()
    {
        QTest::addColumn<QVariantList>("items");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("text and status code") << QVariantList{"ERROR RESPONSE API!!!", 404}
                                              << QStringList{"ERROR RESPONSE API!!!", "404"};
        QTest::newRow("empty list") << QVariantList{} << QStringList{};
        QTest::newRow("bool and real") << QVariantList{true, 2.5} << QStringList{"true", "2.5"};
        QTest::newRow("date in UTC")
            << QVariantList{QDateTime(QDate(2026, 12, 7), QTime(1, 2, 3), QTimeZone::utc())}
            << QStringList{"2026-12-07T01:02:03Z"};
        QTest::newRow("absent value") << QVariantList{QVariant()} << QStringList{"nil"};
        QTest::newRow("dictionary and array, one line each")
            << QVariantList{QVariantMap{{"a", 1}, {"b", QVariantList{"x", 2}}},
                            QStringList{"p", "q"}}
            << QStringList{R"({"a":1,"b":["x",2]})", R"(["p","q"])"};
    }
    void logItemIsOneLine()
    {
        QFETCH(QVariantList, items);
        LogCapture capture;
        Logger::shared().log(items);
        QTEST(capture.lines(), "lines");
    }

    void logIsNeverWrittenToDisk()
    {
        TestEnvironment environment;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(environment.root());
        Logger::shared().log({"one", "two", "three"});
        QDir::setCurrent(previous);
        QVERIFY(!Logger::shared().writeToFile());
        QDirIterator it(environment.root(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QVERIFY2(!path.endsWith(QLatin1String("-logs.txt")), qPrintable(path));
        }
    }

    void concurrentLogLinesNeverMix()
    {
        LogCapture capture;
        const QString longLine(3000, QLatin1Char('x'));
        std::unique_ptr<QThread> threads[4];
        for (int t = 0; t < 4; ++t) {
            threads[t].reset(QThread::create([t, longLine] {
                for (int i = 0; i < 50; ++i)
                    Logger::shared().log({QStringLiteral("%1:").arg(t) + longLine});
            }));
            threads[t]->start();
        }
        for (const auto &thread : threads)
            QVERIFY(thread->wait(30000));
        QCOMPARE(capture.lines().size(), 200);
        for (const QString &line : capture.lines())
            QCOMPARE(line.size(), longLine.size() + 2);
    }

    void observersOfTheNameRunInOrderOnThePostingThread()
    {
        NotificationCenter center;
        QObject a, b, sender;
        QStringList calls;
        QThread *seen = nullptr;
        const auto record = [&](const QString &who) {
            return [&, who](const Notification &n) {
                calls << who + ":" + n.userInfo.value("currentInternetStatus").toString();
                seen = QThread::currentThread();
            };
        };
        center.addObserver(&b, "qv-close-popover", record("b"));
        center.addObserver(&a, "qv-close-popover", record("a"));
        center.addObserver(&a, "qv-close-popover", record("a2"));
        center.post("qv-close-popover-x");
        center.post("QV-CLOSE-POPOVER");
        QCOMPARE(calls, QStringList());
        std::unique_ptr<QThread> poster(QThread::create([&] {
            center.post("qv-close-popover", &sender, {{"currentInternetStatus", "reachable"}});
        }));
        poster->start();
        QVERIFY(poster->wait(10000));
        QCOMPARE(calls, (QStringList{"b:reachable", "a:reachable", "a2:reachable"}));
        QCOMPARE(seen, poster.get());
    }
    void destroyedObserversAreNeverCalled()
    {
        NotificationCenter center;
        int hits = 0;
        {
            QObject shortLived;
            center.addObserver(&shortLived, "n", [&](const Notification &) { ++hits; });
        }
        QCOMPARE(center.observerCount("n"), 0);
        // A view torn down by an earlier observer of the same post.
        QObject first;
        auto *second = new QObject;
        center.addObserver(&first, "n", [&](const Notification &) {
            ++hits;
            delete second;
        });
        center.addObserver(second, "n", [&](const Notification &) { hits += 100; });
        center.post("n");
        QCOMPARE(hits, 1);
    }
};

QTEST_GUILESS_MAIN(ConfigurationTest)
#include "tst_configuration.moc"
