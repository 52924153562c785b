#include "Platform/linux/ProcessWebView.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <memory>

// ProcessWebView against scripted stand-ins of the helper: what a helper prints, how it ends,
// and whether one can be found at all. The real helper is driven by tst_webview.
namespace {

// Writes an executable shell script and points QUORVELLA_WEBVIEW at it.
QString installHelper(TestEnvironment &environment, const QByteArray &body)
{
    const QString path = environment.root() + "/fake-webview.sh";
    if (!writeFile(path, "#!/bin/sh\n" + body,
                   QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return {};
    environment.setVariable("QUORVELLA_WEBVIEW", path.toUtf8());
    return path;
}

// Shell lines that print each event, written with single quotes for readability.
QByteArray say(std::initializer_list<const char *> events)
{
    QByteArray lines;
    for (const char *event : events)
        lines += "echo '" + QByteArray(event).replace('\'', '"') + "'\n";
    return lines;
}

// Records every signal as one readable line, in order.
class Recorder : public QObject
{
public:
    explicit Recorder(WebView &view)
    {
        auto add = [this](const QString &line) {
            lines.append(line);
        };
        connect(&view, &WebView::didStart, this,
                [add](const QUrl &url) { add("start " + url.toString()); });
        connect(&view, &WebView::didCommit, this,
                [add](const QUrl &url) { add("commit " + url.toString()); });
        connect(&view, &WebView::progressChanged, this,
                [add](int percent) { add(QStringLiteral("progress %1").arg(percent)); });
        connect(&view, &WebView::didLoad, this,
                [add](const QUrl &url) { add("load " + url.toString()); });
        connect(&view, &WebView::didFail, this, [add](const QUrl &url, const QString &error) {
            add("fail " + url.toString() + QLatin1Char(' ') + error);
        });
        connect(&view, &WebView::didFailProvisionalNavigation, this,
                [add](const QString &error, const QVariantMap &userInfo) {
                    add("provisional " + error + QLatin1Char(' ') +
                        userInfo.value("NSErrorFailingURLStringKey").toString());
                });
        connect(&view, &WebView::didReceiveChallenge, this,
                [add](const QUrl &url) { add("challenge " + url.toString()); });
        connect(&view, &WebView::closedByUser, this, [add] { add("closed"); });
        connect(&view, &WebView::crashed, this, [add](const QString &) { add("crashed"); });
    }
    QStringList lines;
};

} // namespace

class TestProcessWebView : public QObject
{
    Q_OBJECT

private slots:
    void events_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("ends");
        const QByteArray wait = "exec cat >/dev/null\n";
        QTest::newRow("a whole page load")
            << say({"{'event':'ready'}", "{'event':'started','url':'http://a/login'}",
                    "{'event':'loading','url':'http://a/login','progress':40}",
                    "{'event':'loading','url':'http://a/login','progress':100}",
                    "{'event':'loaded','url':'http://a/login','ok':true}"}) +
                   wait
            << QStringList{"start http://a/login", "commit http://a/login", "progress 40",
                           "progress 100", "load http://a/login"}
            << false;
        QTest::newRow("closed by the user")
            << say({"{'event':'ready'}", "{'event':'closed','byUser':true}"}) + "exit 0\n"
            << QStringList{"closed"} << true;
        QTest::newRow("ends without a word") << say({"{'event':'ready'}"}) + "exit 0\n"
                                             << QStringList{"crashed"} << true;
        QTest::newRow("events just before dying still count")
            << say({"{'event':'started','url':'http://a/'}",
                    "{'event':'loaded','url':'http://a/','ok':true}"}) +
                   "kill -9 $$\n"
            << QStringList{"start http://a/", "load http://a/", "crashed"} << true;
    }
    void events()
    {
        QFETCH(QByteArray, script);
        QFETCH(QStringList, expected);
        QFETCH(bool, ends);
        TestEnvironment environment;
        QVERIFY(!installHelper(environment, script).isEmpty());

        auto view = std::make_unique<ProcessWebView>();
        Recorder recorder(*view);
        view->load(QUrl("http://a/login"));
        QVERIFY(view->isRunning());
        QTRY_COMPARE(recorder.lines, expected);
        // A helper still running when the view goes is aHungHelperIsKilledWithoutWaiting's.
        QTRY_COMPARE(view->processId() == 0, ends);
        QCOMPARE(view->isRunning(), !ends);
        QTest::qWait(50); // a late signal (a second crash report) would arrive now
        QCOMPARE(recorder.lines, expected);
    }

    void commandsReachTheHelperInOrder()
    {
        TestEnvironment environment;
        const QString commands = environment.root() + "/commands";
        QVERIFY(!installHelper(environment, "exec cat > '" + commands.toUtf8() + "'\n").isEmpty());

        ProcessWebView view;
        // Set before the helper runs, it must still be the first thing the helper hears.
        view.setInterceptedPrefix("https://localhost/oauth");
        view.load(QUrl("https://auth.example/connect/authorize?x=1"));
        view.setInterceptedPrefix("https://localhost/other");
        view.load(QUrl("https://auth.example/second"));
        view.close();
        QTRY_COMPARE(view.processId(), qint64(0));
        QVERIFY(!view.isRunning());

        const QList<QByteArray> lines = readFile(commands).toUtf8().trimmed().split('\n');
        QCOMPARE(lines,
                 (QList<QByteArray>{
                     "{\"cmd\":\"intercept\",\"prefix\":\"https://localhost/oauth\"}",
                     "{\"cmd\":\"load\",\"url\":\"https://auth.example/connect/authorize?x=1\"}",
                     "{\"cmd\":\"intercept\",\"prefix\":\"https://localhost/other\"}",
                     "{\"cmd\":\"load\",\"url\":\"https://auth.example/second\"}",
                     "{\"cmd\":\"close\"}"}));
    }

    // A helper that hangs is killed, without the GUI thread waiting for it, whether the
    // window is closed or the view goes away; a close asked for is no crash.
    void aHungHelperIsKilledWithoutWaiting_data()
    {
        QTest::addColumn<bool>("destroy");
        QTest::newRow("close") << false;
        QTest::newRow("view destroyed") << true;
    }
    void aHungHelperIsKilledWithoutWaiting()
    {
        QFETCH(bool, destroy);
        TestEnvironment environment;
        QVERIFY(!installHelper(environment, "trap '' TERM HUP\nwhile :; do sleep 0.1; done\n")
                     .isEmpty());
        auto view = std::make_unique<ProcessWebView>();
        Recorder recorder(*view);
        view->load(QUrl("http://a/"));
        QTRY_VERIFY(view->processId() > 0);
        const auto pid = static_cast<pid_t>(view->processId());
        if (destroy)
            view.reset();
        else
            view->close();
        QCOMPARE(::kill(pid, 0), 0); // returned at once, the helper still runs
        QTRY_COMPARE_WITH_TIMEOUT(::kill(pid, 0), -1, 6000);
        QTest::qWait(50);
        QCOMPARE(recorder.lines, QStringList());
    }

    // A helper that cannot start or dies is one crash report, never from inside load(): the
    // caller may delete the view in its slot. The next load starts a fresh helper.
    void crashThenStartAgain_data()
    {
        QTest::addColumn<QByteArray>("script"); // empty: a plain file that cannot run
        QTest::addColumn<QString>("reason");    // part of the crash report
        QTest::newRow("not executable") << QByteArray() << "";
        QTest::newRow("exits with 3") << QByteArray("exit 3\n") << "3";
    }
    void crashThenStartAgain()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, reason);
        TestEnvironment environment;
        const QString path = installHelper(environment, script);
        QVERIFY(!path.isEmpty());
        if (script.isEmpty())
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        ProcessWebView view;
        QSignalSpy crashed(&view, &WebView::crashed);
        view.load(QUrl("http://a/"));
        QCOMPARE(crashed.count(), 0);
        QTRY_COMPARE(crashed.count(), 1);
        const QString report = crashed.at(0).at(0).toString();
        QVERIFY2(!report.isEmpty() && report.contains(reason), qPrintable(report));
        QVERIFY(!view.isRunning());

        QVERIFY(!installHelper(environment, say({"{'event':'started','url':'http://a/again'}"}) +
                                                "exec cat >/dev/null\n")
                     .isEmpty());
        QSignalSpy started(&view, &WebView::didStart);
        view.load(QUrl("http://a/again"));
        QTRY_COMPARE(started.count(), 1);
        QCOMPARE(view.currentUrl(), QUrl("http://a/again"));
        QVERIFY(view.isRunning());
        QCOMPARE(crashed.count(), 1); // no late second report
    }
};

QTEST_GUILESS_MAIN(TestProcessWebView)
#include "tst_processwebview.moc"
