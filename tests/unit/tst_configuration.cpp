#include "App/CommandLine.h"
#include "Services/Config.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTest>

class ConfigurationTest : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void sources_data();
    void sources();
    void sandboxRoutesEveryRole();
};

void ConfigurationTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("help");
    QTest::addColumn<bool>("sandbox");
    QTest::addColumn<QString>("sandboxUrl");
    QTest::addColumn<QString>("rebrand"); // or the link opened
    QTest::addColumn<bool>("failed");

    QTest::newRow("nothing") << QStringList{} << false << false << ""
                             << "" << false;
    QTest::newRow("help") << QStringList{"--help"} << true << false << ""
                          << "" << false;
    QTest::newRow("sandbox") << QStringList{"--sandbox"} << false << true << ""
                             << "" << false;
    QTest::newRow("sandbox url") << QStringList{"--sandbox=http://127.0.0.1:8080"} << false << true
                                 << "http://127.0.0.1:8080"
                                 << "" << false;
    QTest::newRow("sandbox bad url") << QStringList{"--sandbox=not a url"} << false << true << ""
                                     << "" << true;
    QTest::newRow("rebrand") << QStringList{"--rebrand", "see https://a.b"} << false << false << ""
                             << "see https://a.b" << false;
    QTest::newRow("rebrand without text") << QStringList{"--rebrand"} << false << false << ""
                                          << "" << true;
    QTest::newRow("qt option keeps its value")
        << QStringList{"-platform", "--sandbox", "--sandbox"} << false << true << ""
        << "" << false;
    QTest::newRow("unknown") << QStringList{"--sandbx"} << false << false << ""
                             << "" << true;
    // A link of the program's own scheme, as the desktop hands it over.
    QTest::newRow("own scheme") << QStringList{"quorvella://open?x=1"} << false << false << ""
                                << "quorvella://open?x=1" << false;
}

void ConfigurationTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, help);
    QFETCH(bool, sandbox);
    QFETCH(QString, sandboxUrl);
    QFETCH(QString, rebrand);
    QFETCH(bool, failed);
    arguments.prepend(QStringLiteral("quorvella"));
    const CommandLine line = CommandLine::parse(arguments);
    QCOMPARE(!line.error.isEmpty(), failed);
    if (failed)
        return;
    QCOMPARE(line.help, help);
    QCOMPARE(line.sandbox, sandbox);
    QCOMPARE(line.sandboxUrl.toString(), sandboxUrl);
    if (!line.openUrls.isEmpty())
        QCOMPARE(line.openUrls.first().toString(), rebrand);
    else
        QCOMPARE(line.rebrandText.value_or(QString()), rebrand);
}

void ConfigurationTest::sources_data()
{
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QString>("api");
    QTest::addColumn<QString>("dsn");

    QTest::newRow("defaults") << QByteArray() << QByteArray() << true << "https://api.quorvella.com"
                              << "";
    QTest::newRow("conf file")
        << QByteArray("api=https://api.staging.example\nsentry_dsn=https://k@s.example/3\n")
        << QByteArray() << true << "https://api.staging.example"
        << "https://k@s.example/3";
    QTest::newRow("environment wins")
        << QByteArray("api=https://api.staging.example\n") << QByteArray("http://127.0.0.1:9999")
        << true << "http://127.0.0.1:9999"
        << "";
    QTest::newRow("plain http elsewhere refused")
        << QByteArray("api=http://api.example\n") << QByteArray() << false << ""
        << "";
}

void ConfigurationTest::sources()
{
    QFETCH(QByteArray, conf);
    QFETCH(QByteArray, environment);
    QFETCH(bool, loaded);
    QFETCH(QString, api);
    QFETCH(QString, dsn);
    TestEnvironment testEnvironment;
    testEnvironment.setVariable("QUORVELLA_API_URL", environment);
    testEnvironment.setVariable("QUORVELLA_SENTRY_DSN", QByteArray());
    qunsetenv("QUORVELLA_SENTRY_DSN");
    if (!conf.isEmpty()) {
        QDir().mkpath(QFileInfo(Config::confFilePath()).absolutePath());
        QFile file(Config::confFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(conf);
    }
    QString error;
    const std::optional<Config> config = Config::load(&error);
    QCOMPARE(config.has_value(), loaded);
    if (!loaded) {
        QVERIFY(error.contains("https"));
        return;
    }
    QCOMPARE(config->apiHost.toString(), api);
    QCOMPARE(config->apiBaseUrl().toString(), api + "/v1");
    QCOMPARE(config->crashReportingDsn, dsn);
}

void ConfigurationTest::sandboxRoutesEveryRole()
{
    const QUrl origin(QStringLiteral("http://127.0.0.1:4567"));
    const Config routed = Config::productionDefaults().routedTo(origin);
    for (const QUrl &host :
         {routed.apiHost, routed.recommendationHost, routed.authorizationHost, routed.downloadHost,
          routed.qrHost, routed.faviconHost, routed.dashboardHost})
        QCOMPARE(host, origin);
    QCOMPARE(routed.reachabilityHost, QStringLiteral("127.0.0.1"));
    QCOMPARE(routed.crashReportingDsn,
             QStringLiteral("http://5b0f3e6c2a9d4e71b8c3f0a1d2e4b6c8@127.0.0.1:4567/1"));
    QVERIFY(Config::isAcceptableOrigin(origin));
    QVERIFY(!Config::isAcceptableOrigin(QUrl(QStringLiteral("http://sandbox.example"))));
}

QTEST_GUILESS_MAIN(ConfigurationTest)
#include "tst_configuration.moc"
