#include "Platform/linux/WebViewProtocol.h"

#include <QTest>

using Command = WebViewProtocol::Command;
using Event = WebViewProtocol::Event;

Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(Event)
Q_DECLARE_METATYPE(std::optional<Command>)
Q_DECLARE_METATYPE(std::optional<Event>)

namespace {

Event makeEvent(Event::Kind kind, const char *url = "")
{
    Event e;
    e.kind = kind;
    e.url = QUrl(QString::fromLatin1(url));
    return e;
}

} // namespace

class TestWebViewProtocol : public QObject
{
    Q_OBJECT

private slots:
    void eventRoundTrip_data()
    {
        QTest::addColumn<Event>("event");
        QTest::newRow("ready") << makeEvent(Event::Kind::Ready);
        QTest::newRow("started") << makeEvent(Event::Kind::Started, "https://auth.example/login");
        Event loading = makeEvent(Event::Kind::Loading, "https://auth.example/login");
        loading.progress = 42;
        QTest::newRow("loading") << loading;
        Event loaded = makeEvent(Event::Kind::Loaded, "https://auth.example/login");
        loaded.ok = true;
        QTest::newRow("loaded ok") << loaded;
        loaded.ok = false;
        Event error = makeEvent(Event::Kind::Error, "http://127.0.0.1:9/x");
        error.error = QStringLiteral("net::ERR_CONNECTION_REFUSED \"quoted\" \n newline");
        QTest::newRow("error with quotes and newline") << error;
        Event failed = makeEvent(Event::Kind::FailedProvisional, "https://auth.example/login");
        failed.failingUrl = QStringLiteral("https://localhost/oauth?code=abc&state=x");
        failed.error = QStringLiteral("not loaded");
        failed.userInfo = WebViewProtocol::failureUserInfo(failed.failingUrl, failed.error);
        QTest::newRow("failed provisional") << failed;
        QTest::newRow("challenge") << makeEvent(Event::Kind::Challenge, "https://auth.example/");
        Event closed = makeEvent(Event::Kind::Closed);
        closed.byUser = true;
        QTest::newRow("closed by user") << closed;
        closed.byUser = false;
        QTest::newRow("non-ASCII address")
            << makeEvent(Event::Kind::Started, "https://auth.example/p%C3%A4ge?x=%E2%9C%93");
    }
    void eventRoundTrip()
    {
        QFETCH(Event, event);
        const QByteArray line = WebViewProtocol::encode(event);
        QVERIFY(line.endsWith('\n'));
        QCOMPARE(line.count('\n'), 1); // one event, one line, whatever its texts hold
        const std::optional<Event> decoded = WebViewProtocol::decodeEvent(line.trimmed());
        QVERIFY(decoded);
        QVERIFY(*decoded == event);
    }

    void commandRoundTrip_data()
    {
        QTest::addColumn<Command>("command");
        QTest::newRow("load") << Command{
            Command::Kind::Load,
            QUrl(QStringLiteral("https://auth.example/connect/authorize?client_id=1&redirect_uri="
                                "https://localhost/oauth&scope=qvapi%20offline_access")),
            {}};
        QTest::newRow("intercept")
            << Command{Command::Kind::Intercept, {}, QStringLiteral("https://localhost/oauth")};
        QTest::newRow("close") << Command{Command::Kind::Close, {}, {}};
    }
    void commandRoundTrip()
    {
        QFETCH(Command, command);
        const std::optional<Command> decoded =
            WebViewProtocol::decodeCommand(WebViewProtocol::encode(command));
        QVERIFY(decoded);
        QVERIFY(*decoded == command);
    }

    void badEvents_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not JSON") << QByteArray("[0207/101010.123:ERROR:gpu_init.cc] oops");
        QTest::newRow("truncated") << QByteArray("{\"event\":\"started\",\"url\":\"http://a");
        QTest::newRow("no kind") << QByteArray("{\"url\":\"http://a/\"}");
        QTest::newRow("unknown event")
            << QByteArray("{\"event\":\"telemetry\",\"url\":\"http://a/\"}");
        QTest::newRow("command as event") << QByteArray("{\"cmd\":\"close\"}");
        QTest::newRow("started without url") << QByteArray("{\"event\":\"started\"}");
        QTest::newRow("loading without progress")
            << QByteArray("{\"event\":\"loading\",\"url\":\"http://a/\"}");
        QTest::newRow("error without text")
            << QByteArray("{\"event\":\"error\",\"url\":\"http://a/\"}");
        QTest::newRow("failed provisional without failing url")
            << QByteArray("{\"event\":\"failedProvisional\",\"url\":\"http://a/"
                          "\",\"error\":\"x\",\"userInfo\":{}}");
        QTest::newRow("failed provisional user info an array") << QByteArray(
            "{\"event\":\"failedProvisional\",\"url\":\"http://a/\",\"failingUrl\":\"http://b/\","
            "\"error\":\"x\",\"userInfo\":[]}");
        QTest::newRow("closed without byUser") << QByteArray("{\"event\":\"closed\"}");
        QTest::newRow("overlong")
            << QByteArray("{\"event\":\"error\",\"url\":\"http://a/\",\"error\":\"") +
                   QByteArray(WebViewProtocol::maxLineLength, 'x') + QByteArray("\"}");
    }
    void badEvents()
    {
        QFETCH(QByteArray, line);
        QVERIFY(!WebViewProtocol::decodeEvent(line));
    }

    void badCommands_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("not JSON") << QByteArray("load http://a/");
        QTest::newRow("unknown command") << QByteArray("{\"cmd\":\"reload\"}");
        QTest::newRow("event as command") << QByteArray("{\"event\":\"ready\"}");
        QTest::newRow("load without url") << QByteArray("{\"cmd\":\"load\"}");
        QTest::newRow("load with relative url") << QByteArray("{\"cmd\":\"load\",\"url\":\"/x\"}");
        QTest::newRow("intercept without prefix") << QByteArray("{\"cmd\":\"intercept\"}");
    }
    void badCommands()
    {
        QFETCH(QByteArray, line);
        QVERIFY(!WebViewProtocol::decodeCommand(line));
    }

    // Newer helpers may add fields; they must not make an event unreadable.
    void extraFieldsAreIgnored()
    {
        const std::optional<Event> decoded = WebViewProtocol::decodeEvent(
            "{\"event\":\"loaded\",\"url\":\"http://a/\",\"ok\":true,\"timing\":{\"ms\":12}}");
        QVERIFY(decoded);
        QCOMPARE(decoded->kind, Event::Kind::Loaded);
        QVERIFY(decoded->ok);
    }

    void progressIsClamped_data()
    {
        QTest::addColumn<QByteArray>("progress");
        QTest::addColumn<int>("expected");
        QTest::newRow("below") << QByteArray("-5") << 0;
        QTest::newRow("above") << QByteArray("1000") << 100;
    }
    void progressIsClamped()
    {
        QFETCH(QByteArray, progress);
        QFETCH(int, expected);
        const std::optional<Event> decoded = WebViewProtocol::decodeEvent(
            "{\"event\":\"loading\",\"url\":\"http://a/\",\"progress\":" + progress + "}");
        QVERIFY(decoded);
        QCOMPARE(decoded->progress, expected);
    }

    // The sign-in flow reads the failing address from the user-info; a helper that sent
    // another one there must not be able to point it elsewhere.
    void failingAddressComesFromTheEvent_data()
    {
        QTest::addColumn<QByteArray>("userInfo");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("empty") << QByteArray(",\"userInfo\":{}");
        QTest::newRow("different")
            << QByteArray(",\"userInfo\":{\"NSErrorFailingURLStringKey\":\"https://evil/\"}");
    }
    void failingAddressComesFromTheEvent()
    {
        QFETCH(QByteArray, userInfo);
        const std::optional<Event> decoded = WebViewProtocol::decodeEvent(
            "{\"event\":\"failedProvisional\",\"url\":\"http://a/\","
            "\"failingUrl\":\"https://localhost/oauth?code=abc\",\"error\":\"e\"" +
            userInfo + "}");
        QVERIFY(decoded);
        QCOMPARE(decoded->userInfo.value(QStringLiteral("NSErrorFailingURLStringKey")).toString(),
                 QStringLiteral("https://localhost/oauth?code=abc"));
        if (userInfo.contains("code"))
            QCOMPARE(decoded->userInfo.value(QStringLiteral("code")).toInt(), -999);
    }

    void lineBuffer_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::addColumn<qsizetype>("pending");
        using L = QList<QByteArray>;
        QTest::newRow("one line") << L{"a\n"} << L{"a"} << qsizetype(0);
        QTest::newRow("split across chunks")
            << L{"{\"ev", "ent\":", "1}\n"} << L{"{\"event\":1}"} << qsizetype(0);
        QTest::newRow("partial last line kept") << L{"a\nbc"} << L{"a"} << qsizetype(2);
        QTest::newRow("carriage returns dropped")
            << L{"a\r\n", "b\r", "\n"} << L{"a", "b"} << qsizetype(0);
        const QByteArray big(WebViewProtocol::maxLineLength / 2 + 1, 'x');
        QTest::newRow("overlong line dropped, next kept")
            << L{big, big, big, "tail\nnext\n"} << L{"next"} << qsizetype(0);
        QTest::newRow("overlong line dropped at once")
            << L{QByteArray(WebViewProtocol::maxLineLength + 10, 'y') + "\nok\n"} << L{"ok"}
            << qsizetype(0);
        QTest::newRow("inside overlong nothing piles up")
            << L{QByteArray(WebViewProtocol::maxLineLength + 1, 'z'), "more"} << L{}
            << qsizetype(0);
    }
    void lineBuffer()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<QByteArray>, lines);
        QFETCH(qsizetype, pending);
        WebViewLineBuffer buffer;
        QList<QByteArray> seen;
        for (const QByteArray &chunk : chunks)
            seen += buffer.append(chunk);
        QCOMPARE(seen, lines);
        QCOMPARE(buffer.pending(), pending);
    }
};

QTEST_GUILESS_MAIN(TestWebViewProtocol)
#include "tst_webviewprotocol.moc"
