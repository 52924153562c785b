// What the product's tests rely on in the sandbox: it stops with its test, its grants are
// single-use, and its faults, request log and reset work as documented. Its refusals of expired
// tokens and unknown workspaces are relied on (and so checked) by tst_apimanager and
// tst_rebrandpipeline.
#include "SandboxProcess.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>
#include <csignal>
#include <memory>

namespace {

const QByteArray clientId = "5f3c9a1e-8b2d-4c6f-a7e0-91d4b2c8e6a3";
const QByteArray clientSecret = "c08e47b2-19fa-4d3e-b5a1-6e2f9d07c4b8";
const QByteArray body = R"({"url":"https://example.com/a"})";

} // namespace

class TestSandbox : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SandboxProcess> m_sandbox;
    QString m_token;

    SandboxProcess::Reply call(const QString &method, const QString &path,
                               const QByteArray &workspace = {})
    {
        SandboxProcess::Headers headers{{"Authorization", "Bearer " + m_token.toLatin1()},
                                        {"Content-type", "application/json"}};
        if (!workspace.isEmpty())
            headers.emplaceBack("workspace", workspace);
        return m_sandbox->request(method.toLatin1(), path, headers, body);
    }
    SandboxProcess::Reply grant(const QString &field, const QString &value,
                                const QByteArray &secret = clientSecret)
    {
        const QByteArray type = field == "code" ? "authorization_code" : "refresh_token";
        const QByteArray form = field.toLatin1() + '=' + QUrl::toPercentEncoding(value) +
                                "&client_id=" + clientId + "&client_secret=" + secret +
                                "&grant_type=" + type +
                                "&redirect_uri=https%3A%2F%2Flocalhost%2Foauth";
        return m_sandbox->request("POST", "/connect/token",
                                  {{"Content-Type", "application/x-www-form-urlencoded"}}, form);
    }
    QJsonArray requests(const QString &query = {})
    {
        return m_sandbox->control("GET", "/__sandbox/requests" + query)
            .json()["requests"]
            .toArray();
    }

private slots:
    void initTestCase()
    {
        m_sandbox = std::make_unique<SandboxProcess>();
        QVERIFY2(m_sandbox->isRunning(), qPrintable(m_sandbox->startError()));
    }
    void init()
    {
        QCOMPARE(m_sandbox->control("POST", "/__sandbox/reset").status, 200);
        m_token = m_sandbox->issueAccessToken();
        QVERIFY(!m_token.isEmpty());
    }
    void cleanupTestCase() { m_sandbox.reset(); }

    void stopsCleanly_data()
    {
        QTest::addColumn<bool>("endOfInput"); // else SIGTERM
        QTest::newRow("stdin end of file") << true;
        QTest::newRow("SIGTERM") << false;
    }
    void stopsCleanly()
    {
        QFETCH(bool, endOfInput);
        QProcess process;
        process.start(QStringLiteral(QUORVELLA_BINARY_DIR "/quorvella-sandbox"),
                      {"--exit-on-stdin-eof", "--port", "0"});
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(process.canReadLine(), 10000);
        QVERIFY(process.readLine().startsWith("quorvella-sandbox listening on http://127.0.0.1:"));
        if (endOfInput)
            process.closeWriteChannel();
        else
            ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }

    // Codes and refresh tokens work once; a wrong secret is refused.
    void tokenGrants()
    {
        const QString code =
            m_sandbox->control("POST", "/__sandbox/codes").json()["code"].toString();
        const SandboxProcess::Reply first = grant("code", code);
        QCOMPARE(first.status, 200);
        const QJsonObject pair = first.json().toObject();
        QVERIFY(pair.value("expires_in").isDouble());
        m_token = pair.value("access_token").toString();
        QCOMPARE(call("GET", "/v1/account").status, 200);
        QCOMPARE(grant("code", code).json()["error"].toString(), QStringLiteral("invalid_grant"));
        const QString refresh = pair.value("refresh_token").toString();
        QCOMPARE(grant("refresh_token", refresh, "wrong").status, 401);
        QCOMPARE(grant("refresh_token", refresh).status, 200);
        const SandboxProcess::Reply reused = grant("refresh_token", refresh);
        QCOMPARE(reused.status, 400);
        QCOMPARE(reused.json()["error"].toString(), QStringLiteral("invalid_grant"));
    }

    // Other faults going unheeded would fail the product's own tests; these would not.
    void faults_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<int>("status");
        QTest::newRow("status with body")
            << QJsonObject{{"path", "/v1/links"}, {"status", 500}, {"body", QJsonObject{{"m", 1}}}}
            << 500;
        QTest::newRow("other method untouched")
            << QJsonObject{{"method", "POST"}, {"path", "/v1/links*"}, {"status", 418}} << 200;
    }
    void faults()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(int, status);
        const QString links = QStringLiteral("/v1/links?limit=15");
        QCOMPARE(m_sandbox->control("POST", "/__sandbox/faults", fault).status, 200);
        const SandboxProcess::Reply reply = call("GET", links);
        QCOMPARE(reply.status, status);
        if (fault.contains("body"))
            QCOMPARE(reply.json().toObject(), fault.value("body").toObject());
        else
            QVERIFY(reply.json().isArray());
        // Until cleared, or until used up with "times".
        QCOMPARE(call("GET", links).status, status);
        QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/faults").status, 200);
        QCOMPARE(call("GET", links).status, 200);
        fault.insert("times", 1);
        QCOMPARE(m_sandbox->control("POST", "/__sandbox/faults", fault).status, 200);
        QCOMPARE(call("GET", links).status, status);
        QCOMPARE(call("GET", links).status, 200);
    }

    void requestLogAndReset()
    {
        QCOMPARE(call("GET", "/v1/links?limit=15&last=wsp-personal-l003", "wsp-personal").status,
                 200);
        QCOMPARE(call("DELETE", "/v1/links/wsp-personal-l000").status, 200);
        // What an entry holds is read by tst_apimanager and tst_authentication.
        QCOMPARE(requests("?method=GET").size(), 1); // control calls are not recorded
        QCOMPARE(m_sandbox->control("POST", "/__sandbox/reset").status, 200);
        QVERIFY(requests().isEmpty());
        QCOMPARE(call("GET", "/v1/account").status, 401); // tokens dropped
        m_token = m_sandbox->issueAccessToken();
        QCOMPARE(call("GET", "/v1/links/wsp-personal-l000").status, 200); // the link is back
    }
};

QTEST_GUILESS_MAIN(TestSandbox)
#include "tst_sandbox.moc"
