#include "App/CrashHandler.h"
#include "App/CrashReporter.h"
#include "App/MemoryPressureMonitor.h"
#include "HttpSink.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

namespace {

// A reporter sending to `origin` on loopback.
std::unique_ptr<CrashReporter> reporterFor(const QUrl &origin)
{
    return CrashReporter::create(
        QStringLiteral("http://0123456789abcdef0123456789abcdef@127.0.0.1:%1/7").arg(origin.port()),
        nullptr);
}

// A pressure reading with these 10-second averages of "some" and "full" stalls.
QByteArray pressure(const char *some, const char *full)
{
    return QByteArray("some avg10=") + some +
           " avg60=0.00 avg300=0.00 total=0\nfull avg10=" + full +
           " avg60=0.00 avg300=0.00 total=0\n";
}

struct Envelope
{
    QJsonObject header;
    QJsonObject item;
    QJsonObject event;
};

Envelope parseEnvelope(const QByteArray &body)
{
    QList<QByteArray> lines = body.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() != 3)
        return {};
    return {QJsonDocument::fromJson(lines.at(0)).object(),
            QJsonDocument::fromJson(lines.at(1)).object(),
            QJsonDocument::fromJson(lines.at(2)).object()};
}

} // namespace

class CrashReporterTest : public QObject
{
    Q_OBJECT

private slots:
    void dsnIsChecked_data()
    {
        QTest::addColumn<QString>("dsn");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("envelopeUrl");

        QTest::newRow("https") << "https://0123456789abcdef0123456789abcdef@o1.ingest.example/42"
                               << true << "https://o1.ingest.example/api/42/envelope/";
        QTest::newRow("http on loopback")
            << "http://abc123@127.0.0.1:9000/1" << true << "http://127.0.0.1:9000/api/1/envelope/";
        QTest::newRow("http elsewhere") << "http://abc123@reports.example/1" << false << "";
        QTest::newRow("no key") << "https://reports.example/1" << false << "";
        QTest::newRow("no project") << "https://abc@reports.example/" << false << "";
        QTest::newRow("empty") << "" << false << "";
        QTest::newRow("not a url") << "::::" << false << "";
    }

    void dsnIsChecked()
    {
        QFETCH(QString, dsn);
        QFETCH(bool, accepted);
        QString error;
        std::unique_ptr<CrashReporter> client = CrashReporter::create(dsn, &error);
        QCOMPARE(client != nullptr, accepted);
        if (accepted)
            QTEST(client->dsn().envelopeUrl().toString(), "envelopeUrl");
        else
            QVERIFY(!error.isEmpty());
    }

    void eventTravelsAsWellFormedEnvelope()
    {
        HttpSink sink;
        std::unique_ptr<CrashReporter> client = reporterFor(sink.origin());
        QVERIFY(client);
        client->setUser("account-7");
        QSignalSpy delivered(client.get(), &CrashReporter::delivered);

        CrashEvent event;
        event.message = "Mac app unique users";
        event.tags.insert("macOnline", "true");
        event.extra.insert("app", "on");
        event.extra.insert("status_code", 401);
        client->send(event);

        QTRY_COMPARE(delivered.size(), 1);
        QVERIFY(delivered.at(0).at(1).toBool());
        QCOMPARE(sink.requests().size(), 1);
        const HttpSink::Request &request = sink.requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/api/7/envelope/"));
        QCOMPARE(request.headers.value("x-sentry-auth"),
                 QByteArray("Sentry sentry_version=7, sentry_key=0123456789abcdef0123456789abcdef, "
                            "sentry_client=quorvella/" QUORVELLA_VERSION));
        const Envelope envelope = parseEnvelope(request.body);
        QCOMPARE(envelope.item.value("type").toString(), "event");
        const QString eventId = envelope.header.value("event_id").toString();
        QCOMPARE(eventId.size(), 32);
        QCOMPARE(envelope.event.value("event_id").toString(), eventId);
        QCOMPARE(delivered.at(0).at(0).toString(), eventId);
        QVERIFY(envelope.header.contains("sent_at"));
        const std::pair<const char *, QString> fields[] = {
            {"level", "info"},
            {"message", "Mac app unique users"},
            {"platform", "native"},
            {"release", "quorvella@" QUORVELLA_VERSION}};
        for (const auto &[key, value] : fields)
            QCOMPARE(envelope.event.value(key).toString(), value);
        QCOMPARE(envelope.event["tags"]["macOnline"].toString(), "true");
        QCOMPARE(envelope.event["extra"]["status_code"].toInt(), 401);
        QCOMPARE(envelope.event["user"]["id"].toString(), "account-7");
        QVERIFY(
            QDateTime::fromString(envelope.event.value("timestamp").toString(), Qt::ISODateWithMs)
                .isValid());
    }

    void failingSendIsNotObserved()
    {
        // A port that nobody listens on any more.
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const QUrl origin(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
        closed.close();
        std::unique_ptr<CrashReporter> client = reporterFor(origin);
        QVERIFY(client);
        QSignalSpy delivered(client.get(), &CrashReporter::delivered);
        client->send(CrashEvent{"info", "lost", {}, {}});
        QVERIFY(delivered.isEmpty()); // send returned without waiting for the service
        QTRY_COMPARE(delivered.size(), 1);
        QVERIFY(!delivered.at(0).at(1).toBool());
    }

    void crashInChildIsSentAtNextStart_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("refused"); // by the service: the report is kept for later
        QTest::newRow("SIGSEGV") << "segv" << false;
        QTest::newRow("SIGABRT") << "abort" << false;
        QTest::newRow("refused") << "segv" << true;
    }
    void crashInChildIsSentAtNextStart()
    {
        QFETCH(QString, how);
        QFETCH(bool, refused);
        TestEnvironment environment;
        const QString reports = environment.root() + "/crashes";

        QProcess child;
        child.start(QStringLiteral(QUORVELLA_BINARY_DIR "/crash_child"), {reports, how});
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(QDir(reports).entryList({"*.crash"}, QDir::Files).size(), 1);

        HttpSink sink;
        if (refused)
            sink.setStatus(503);
        std::unique_ptr<CrashReporter> client = reporterFor(sink.origin());
        QVERIFY(client);
        QSignalSpy delivered(client.get(), &CrashReporter::delivered);
        QString error;
        QVERIFY2(client->startCrashHandler(&error, reports), qPrintable(error));
        QTRY_COMPARE(delivered.size(), 1);
        QCOMPARE(delivered.at(0).at(1).toBool(), !refused);
        if (refused) {
            QCOMPARE(QDir(reports).entryList({"*.crash"}, QDir::Files).size(), 1);
            return;
        }
        const Envelope envelope = parseEnvelope(sink.requests().first().body);
        QCOMPARE(envelope.event.value("level").toString(), "fatal");
        QCOMPARE(envelope.event.value("message").toString(),
                 QString("Fatal signal ") + QTest::currentDataTag());
        QCOMPARE(envelope.event["user"]["id"].toString(), "user-42");
        QCOMPARE(envelope.event["tags"]["crashed_release"].toString(), "quorvella@test");
        // Sent once: the report is gone.
        QTRY_VERIFY(QDir(reports).entryList({"*.crash"}, QDir::Files).isEmpty());
    }

    void memoryPressureReadings_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("parsed");
        QTest::addColumn<int>("level");

        using Level = MemoryPressureMonitor::Level;
        QTest::newRow("calm") << pressure("0.00", "0.00") << true << int(Level::Normal);
        QTest::newRow("some stalls") << pressure("12.50", "2.00") << true << int(Level::Warning);
        QTest::newRow("everything stalls")
            << pressure("60.00", "35.10") << true << int(Level::Critical);
        QTest::newRow("old kernel without full line")
            << QByteArray("some avg10=1.00 avg60=0 avg300=0 total=1\n") << true
            << int(Level::Normal);
        QTest::newRow("garbage") << QByteArray("not a pressure file") << false << 0;
        QTest::newRow("empty") << QByteArray() << false << 0;
    }

    void memoryPressureReadings()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, parsed);
        const auto reading = MemoryPressureMonitor::parse(text);
        QCOMPARE(reading.has_value(), parsed);
        if (parsed)
            QTEST(int(MemoryPressureMonitor::levelOf(*reading)), "level");
    }

    void memoryPressureRiseBecomesEvent()
    {
        TestEnvironment environment;
        const QString path = environment.root() + "/pressure";
        QVERIFY(writeFile(path, pressure("0.00", "0.00")));
        MemoryPressureMonitor monitor(path, 60000);
        QVERIFY(monitor.start());
        QVERIFY(monitor.isPolling()); // an ordinary file takes no kernel trigger
        QSignalSpy raised(&monitor, &MemoryPressureMonitor::pressureRaised);
        monitor.poll();
        QCOMPARE(raised.size(), 0);
        QVERIFY(writeFile(path, pressure("50.00", "20.00")));
        monitor.poll();
        monitor.poll(); // staying high is not a new event
        QCOMPARE(raised.size(), 1);

        MemoryPressureMonitor missing(environment.root() + "/no-such-file");
        QVERIFY(!missing.start());

        // Where this process may set a kernel trigger, the monitor sleeps until it fires.
        MemoryPressureMonitor kernel;
        if (kernel.start()) {
            QFile file("/proc/pressure/memory");
            const char trigger[] = "some 1000000 10000000";
            const bool triggers = file.open(QIODevice::ReadWrite | QIODevice::Unbuffered) &&
                                  file.write(trigger, sizeof trigger) == qint64(sizeof trigger);
            QCOMPARE(kernel.isPolling(), !triggers);
        }
    }
};

QTEST_GUILESS_MAIN(CrashReporterTest)
#include "tst_crashreporter.moc"
