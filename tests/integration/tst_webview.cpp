#include "HttpSink.h"
#include "Platform/linux/ProcessWebView.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

// The real sign-in helper in a private X server, driven through ProcessWebView against
// pages served on loopback.
namespace {

constexpr int startTimeoutMs = 20000;

QByteArray redirectTarget(const HttpSink &sink)
{
    return sink.origin().toString().toUtf8() + "/oauth?code=abc&state=x";
}

bool sawRequestFor(const HttpSink &sink, const QByteArray &prefix)
{
    for (const HttpSink::Request &request : sink.requests()) {
        if (request.path.startsWith(prefix))
            return true;
    }
    return false;
}

} // namespace

class TestWebView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            QSKIP("Xvfb is not installed: the sign-in helper needs an X server");
        const QString helper = QStringLiteral(QUORVELLA_BINARY_DIR "/quorvella-webview");
        QVERIFY2(QFileInfo(helper).isExecutable(), qPrintable(helper));

        // -displayfd 1: the server picks a free display and names it on its standard output.
        m_xvfb.setProgram(xvfb);
        m_xvfb.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                             QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                             QStringLiteral("-screen"), QStringLiteral("0"),
                             QStringLiteral("1280x1024x24")});
        m_xvfb.setStandardErrorFile(QProcess::nullDevice());
        m_xvfb.start();
        QVERIFY(m_xvfb.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(m_xvfb.canReadLine() || m_xvfb.state() != QProcess::Running,
                                 10000);
        const QByteArray display = m_xvfb.readLine().trimmed();
        QVERIFY2(!display.isEmpty(), "Xvfb did not name its display");

        m_environment = std::make_unique<TestEnvironment>();
        QVERIFY(m_runtime.isValid());
        QFile::setPermissions(m_runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_environment->setVariable("DISPLAY", ":" + display);
        m_environment->setVariable("QT_QPA_PLATFORM", "xcb");
        m_environment->setVariable("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        m_environment->setVariable("QUORVELLA_WEBVIEW", QFile::encodeName(helper));
    }

    void cleanupTestCase()
    {
        m_environment.reset();
        if (m_xvfb.state() != QProcess::NotRunning) {
            m_xvfb.terminate();
            if (!m_xvfb.waitForFinished(5000)) {
                m_xvfb.kill();
                m_xvfb.waitForFinished(2000);
            }
        }
    }

    void redirectIsRefused_data()
    {
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<bool>("startPageLoads");
        QTest::newRow("server redirect") << QByteArray("/go") << false;
        QTest::newRow("script redirect") << QByteArray("/script") << true;
        QTest::newRow("form posted, then redirected") << QByteArray("/form") << true;
    }
    void redirectIsRefused()
    {
        QFETCH(QByteArray, start);
        QFETCH(bool, startPageLoads);
        HttpSink sink;
        const QByteArray target = redirectTarget(sink);
        sink.setResponse("/go", {302, "text/html", {}, target});
        sink.setResponse("/submit", {302, "text/html", {}, target});
        sink.setResponse(
            "/script",
            {200,
             "text/html",
             "<html><body>Signing in<script>setTimeout(function () {"
             " location.href = '/oauth?code=abc&state=x'; }, 200);</script></body></html>",
             {}});
        sink.setResponse("/form",
                         {200,
                          "text/html",
                          "<html><body><form id=f method=post action=/submit>"
                          "<input name=user value=demo></form><script>setTimeout(function () {"
                          " document.getElementById('f').submit(); }, 200);</script></body></html>",
                          {}});

        ProcessWebView view;
        QSignalSpy started(&view, &WebView::didStart);
        QSignalSpy loaded(&view, &WebView::didLoad);
        QSignalSpy failed(&view, &WebView::didFail);
        QSignalSpy provisional(&view, &WebView::didFailProvisionalNavigation);
        QSignalSpy crashed(&view, &WebView::crashed);
        view.setInterceptedPrefix(sink.origin().toString() + QStringLiteral("/oauth"));
        const QUrl startUrl(sink.origin().toString() + QString::fromLatin1(start));
        view.load(startUrl);

        QTRY_COMPARE_WITH_TIMEOUT(provisional.count(), 1, startTimeoutMs);
        QVERIFY(started.count() >= 1);
        QCOMPARE(started.at(0).at(0).toUrl(), startUrl);
        if (startPageLoads)
            QCOMPARE(loaded.value(0).value(0).toUrl(), startUrl);
        const QVariantMap userInfo = provisional.at(0).at(1).toMap();
        QCOMPARE(userInfo.value(QStringLiteral("NSErrorFailingURLStringKey")).toByteArray(),
                 target);
        QVERIFY(!provisional.at(0).at(0).toString().isEmpty());

        // The refusal is the navigation's only end: nothing loads or fails after it.
        QTest::qWait(1000);
        QCOMPARE(provisional.count(), 1);
        QCOMPARE(failed.count(), 0);
        for (const QList<QVariant> &arguments : std::as_const(loaded))
            QVERIFY(!arguments.at(0).toUrl().path().startsWith(QLatin1String("/oauth")));
        QVERIFY(!view.currentUrl().path().startsWith(QLatin1String("/oauth")));
        QVERIFY2(!sawRequestFor(sink, "/oauth"), "the redirect address was requested");
        QCOMPARE(crashed.count(), 0);
        QVERIFY(view.isRunning());
    }

    // Only the intercepted prefix is refused; any other failure is an ordinary error.
    void failureElsewhereIsAnError()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        HttpSink sink;

        ProcessWebView view;
        QSignalSpy failed(&view, &WebView::didFail);
        QSignalSpy provisional(&view, &WebView::didFailProvisionalNavigation);
        view.setInterceptedPrefix(sink.origin().toString() + QStringLiteral("/oauth"));
        const QUrl url(QStringLiteral("http://127.0.0.1:%1/oauth?code=abc").arg(port));
        view.load(url);
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, startTimeoutMs);
        QCOMPARE(failed.at(0).at(0).toUrl(), url);
        QVERIFY(!failed.at(0).at(1).toString().isEmpty());
        QCOMPARE(provisional.count(), 0);
    }

    void killedHelperCrashes()
    {
        HttpSink sink;
        sink.setResponse("/login", {200, "text/html", "<html><body>Sign in</body></html>", {}});
        ProcessWebView view;
        QSignalSpy loaded(&view, &WebView::didLoad);
        QSignalSpy crashed(&view, &WebView::crashed);
        QSignalSpy closedByUser(&view, &WebView::closedByUser);
        view.load(QUrl(sink.origin().toString() + QStringLiteral("/login")));
        QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, startTimeoutMs);
        const qint64 pid = view.processId();
        QVERIFY(pid > 0);
        QCOMPARE(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
        QTRY_COMPARE_WITH_TIMEOUT(crashed.count(), 1, 5000);
        QVERIFY(!view.isRunning());
        QCOMPARE(closedByUser.count(), 0);
    }

    void closeEndsTheHelper()
    {
        HttpSink sink;
        sink.setResponse("/login", {200, "text/html", "<html><body>Sign in</body></html>", {}});
        ProcessWebView view;
        QSignalSpy loaded(&view, &WebView::didLoad);
        QSignalSpy crashed(&view, &WebView::crashed);
        QSignalSpy closedByUser(&view, &WebView::closedByUser);
        view.load(QUrl(sink.origin().toString() + QStringLiteral("/login")));
        QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, startTimeoutMs);
        QCOMPARE(view.currentUrl(), QUrl(sink.origin().toString() + QStringLiteral("/login")));
        view.close();
        QTRY_COMPARE_WITH_TIMEOUT(view.processId(), qint64(0), 5000);
        QVERIFY(!view.isRunning());
        QTest::qWait(100);
        QCOMPARE(crashed.count(), 0);
        QCOMPARE(closedByUser.count(), 0);
    }

    // The program going away closes the helper's input; the helper must not outlive it.
    void endOfInputEndsTheHelper()
    {
        HttpSink sink;
        auto view = std::make_unique<ProcessWebView>();
        QSignalSpy started(view.get(), &WebView::didStart);
        view->load(QUrl(sink.origin().toString() + QStringLiteral("/")));
        QTRY_COMPARE_WITH_TIMEOUT(started.count(), 1, startTimeoutMs);
        const qint64 pid = view->processId();
        QVERIFY(pid > 0);
        view.reset(); // returns at once; the helper ends on its own shortly after
        QTRY_COMPARE_WITH_TIMEOUT(::kill(static_cast<pid_t>(pid), 0), -1, 5000);
    }

    void missingHelperCrashes()
    {
        TestEnvironment environment;
        environment.setVariable("QUORVELLA_WEBVIEW", "/nonexistent/quorvella-webview");
        ProcessWebView view;
        QSignalSpy crashed(&view, &WebView::crashed);
        view.load(QUrl(QStringLiteral("http://127.0.0.1:1/")));
        QTRY_COMPARE_WITH_TIMEOUT(crashed.count(), 1, 2000);
        QVERIFY(!view.isRunning());
    }

private:
    QProcess m_xvfb;
    QTemporaryDir m_runtime;
    std::unique_ptr<TestEnvironment> m_environment;
};

QTEST_GUILESS_MAIN(TestWebView)
#include "tst_webview.moc"
