// The real sign-in helper on the X server of xvfb-run, driven through ProcessWebView against
// pages served on loopback.
#include "HttpSink.h"
#include "Platform/linux/ProcessWebView.h"
#include "TestEnvironment.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

constexpr int startTimeoutMs = 20000;
const QByteArray helper = QUORVELLA_BINARY_DIR "/quorvella-webview";

} // namespace

class TestWebView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "the sign-in helper needs an X server");
        m_environment.setVariable("QT_QPA_PLATFORM", "xcb");
        m_environment.setVariable("QUORVELLA_WEBVIEW", helper);
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
        const QByteArray target = sink.origin().toString().toUtf8() + "/oauth?code=abc&state=x";
        sink.setResponse("/go", {302, "text/html", {}, target});
        sink.setResponse("/submit", {302, "text/html", {}, target});
        sink.setResponse("/script", {200,
                                     "text/html",
                                     "<html><body>Signing in<script>setTimeout(function () {"
                                     " location.href = '/oauth?code=abc&state=x'; }, 200);"
                                     "</script></body></html>",
                                     {}});
        sink.setResponse("/form", {200,
                                   "text/html",
                                   "<html><body><form id=f method=post action=/submit>"
                                   "<input name=user value=demo></form><script>setTimeout("
                                   "function () { document.getElementById('f').submit(); }, 200);"
                                   "</script></body></html>",
                                   {}});
        ProcessWebView view;
        QSignalSpy started(&view, &WebView::didStart);
        QSignalSpy loaded(&view, &WebView::didLoad);
        QSignalSpy failed(&view, &WebView::didFail);
        QSignalSpy provisional(&view, &WebView::didFailProvisionalNavigation);
        QSignalSpy crashed(&view, &WebView::crashed);
        QSignalSpy closedByUser(&view, &WebView::closedByUser);
        view.setInterceptedPrefix(sink.origin().toString() + "/oauth");
        const QUrl startUrl(sink.origin().toString() + QString::fromLatin1(start));
        view.load(startUrl);

        QTRY_COMPARE_WITH_TIMEOUT(provisional.count(), 1, startTimeoutMs);
        QCOMPARE(started.value(0).value(0).toUrl(), startUrl);
        if (startPageLoads)
            QCOMPARE(loaded.value(0).value(0).toUrl(), startUrl);
        QCOMPARE(provisional.at(0).at(1).toMap().value("NSErrorFailingURLStringKey").toByteArray(),
                 target);
        QVERIFY(!provisional.at(0).at(0).toString().isEmpty());
        // The refusal is the navigation's only end: nothing loads or fails after it.
        QTest::qWait(1000);
        QCOMPARE(provisional.count(), 1);
        QCOMPARE(failed.count(), 0);
        for (const QList<QVariant> &arguments : std::as_const(loaded))
            QVERIFY(!arguments.at(0).toUrl().path().startsWith(QLatin1String("/oauth")));
        QVERIFY(!view.currentUrl().path().startsWith(QLatin1String("/oauth")));
        for (const HttpSink::Request &request : sink.requests())
            QVERIFY2(!request.path.startsWith("/oauth"), "the redirect address was requested");
        QVERIFY(view.isRunning());
        // A helper that is closed ends without a crash report.
        view.close();
        QTRY_COMPARE_WITH_TIMEOUT(view.processId(), qint64(0), 5000);
        QVERIFY(!view.isRunning());
        QTest::qWait(100);
        QCOMPARE(crashed.count(), 0);
        QCOMPARE(closedByUser.count(), 0);
    }

    // Only the intercepted prefix is refused; any other failure is one ordinary error. The
    // helper ends by itself once its program goes away (its input closes). One killed outright,
    // hung or missing is ProcessWebView's own concern: tst_processwebview.
    void failureElsewhereIsAnError()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const QUrl url(
            QStringLiteral("http://127.0.0.1:%1/oauth?code=abc").arg(closed.serverPort()));
        closed.close();
        auto view = std::make_unique<ProcessWebView>();
        QSignalSpy failed(view.get(), &WebView::didFail);
        QSignalSpy provisional(view.get(), &WebView::didFailProvisionalNavigation);
        view->setInterceptedPrefix("http://127.0.0.1:1/oauth");
        view->load(url);
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, startTimeoutMs);
        QCOMPARE(failed.at(0).at(0).toUrl(), url);
        QVERIFY(!failed.at(0).at(1).toString().isEmpty());
        QTest::qWait(500); // the failed load's end follows its error
        QCOMPARE(failed.count(), 1);
        QCOMPARE(provisional.count(), 0);
        const auto pid = static_cast<pid_t>(view->processId());
        QVERIFY(pid > 0);
        view.reset(); // returns at once
        QTRY_COMPARE_WITH_TIMEOUT(::kill(pid, 0), -1, 5000);
    }

private:
    TestEnvironment m_environment;
};

QTEST_GUILESS_MAIN(TestWebView)
#include "tst_webview.moc"
