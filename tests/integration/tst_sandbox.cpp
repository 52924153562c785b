// What the product's tests rely on in the sandbox: it stops with its test, refuses what the
// service refuses, and its faults, request log and reset work as documented.
#include "SandboxProcess.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QUrlQuery>
#include <csignal>
#include <memory>

namespace {

const QString clientId = QStringLiteral("5f3c9a1e-8b2d-4c6f-a7e0-91d4b2c8e6a3");
const QString clientSecret = QStringLiteral("c08e47b2-19fa-4d3e-b5a1-6e2f9d07c4b8");
const QString redirectUri = QStringLiteral("https://localhost/oauth");
const QByteArray jsonType = "application/json";
const QByteArray formType = "application/x-www-form-urlencoded";

QByteArray form(const QList<std::pair<QString, QString>> &fields)
{
    QByteArray body;
    for (const auto &[name, value] : fields) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
    }
    return body;
}

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

class TestSandbox : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SandboxProcess> m_sandbox;
    QString m_token;

    SandboxProcess::Headers api(const QByteArray &workspace = {}) const
    {
        SandboxProcess::Headers headers{{"Authorization", "Bearer " + m_token.toLatin1()},
                                        {"Content-type", jsonType}};
        if (!workspace.isEmpty())
            headers.emplaceBack("workspace", workspace);
        return headers;
    }
    SandboxProcess::Reply token(const QList<std::pair<QString, QString>> &fields,
                                const QByteArray &type = formType)
    {
        return m_sandbox->request("POST", "/connect/token", {{"Content-Type", type}}, form(fields));
    }
    QString freshCode()
    {
        return m_sandbox->control("POST", "/__sandbox/codes").json()["code"].toString();
    }
    QJsonArray allLinks(const QByteArray &workspace)
    {
        return m_sandbox->request("GET", "/v1/links?limit=100", api(workspace)).json().toArray();
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
        QTest::addColumn<QString>("how");
        QTest::newRow("stdin end of file") << "eof";
        QTest::newRow("SIGTERM") << "term";
    }

    void stopsCleanly()
    {
        QFETCH(QString, how);
        QProcess process;
        process.start(QStringLiteral(QUORVELLA_BINARY_DIR "/quorvella-sandbox"),
                      {"--exit-on-stdin-eof", "--port", "0"});
        QVERIFY(process.waitForStarted());
        const QDeadlineTimer deadline(10000);
        while (!process.canReadLine() && process.waitForReadyRead(int(deadline.remainingTime()))) {
        }
        const QString line = QString::fromUtf8(process.readLine());
        QVERIFY2(QRegularExpression("^quorvella-sandbox listening on http://127\\.0\\.0\\.1:"
                                    "[1-9][0-9]*\\n$")
                     .match(line)
                     .hasMatch(),
                 qPrintable(line));
        QVERIFY(!line.contains(m_sandbox->baseUrl().toString() + "\n")); // a port of its own
        if (how == "eof")
            process.closeWriteChannel();
        else
            ::kill(pid_t(process.processId()), how == "term" ? SIGTERM : SIGINT);
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }

    void unauthorized_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("authorization"); // TOKEN stands for a valid token
        QTest::addColumn<bool>("expireFirst");
        QTest::newRow("links, no header")
            << QByteArray("GET") << "/v1/links?limit=15" << QByteArray() << false;
        QTest::newRow("links, unknown token")
            << QByteArray("GET") << "/v1/links?limit=15" << QByteArray("Bearer 0badc0de") << false;
        QTest::newRow("links, expired token")
            << QByteArray("GET") << "/v1/links?limit=15" << QByteArray("Bearer TOKEN") << true;
        QTest::newRow("delete link, expired")
            << QByteArray("DELETE") << "/v1/links/wsp-personal-l000" << QByteArray("Bearer TOKEN")
            << true;
        QTest::newRow("slashtag recommendation, expired")
            << QByteArray("POST") << "/v1/recommendation-system/slashtag/recommend"
            << QByteArray("Bearer TOKEN") << true;
    }

    void unauthorized()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, authorization);
        QFETCH(bool, expireFirst);
        if (expireFirst)
            QCOMPARE(m_sandbox->control("POST", "/__sandbox/tokens/expire").status, 200);
        SandboxProcess::Headers headers{{"Content-type", jsonType}};
        if (!authorization.isEmpty())
            headers.emplaceBack("Authorization",
                                authorization.replace("TOKEN", m_token.toLatin1()));
        const SandboxProcess::Reply reply =
            m_sandbox->request(method, path, headers, json({{"url", "https://example.com/a"}}));
        QCOMPARE(reply.status, 401);
        QVERIFY(reply.json().isObject());
        // The same request with the (fresh) token passes the check.
        m_token = m_sandbox->issueAccessToken();
        QVERIFY(m_sandbox->request(method, path, api(), json({{"url", "https://example.com/a"}}))
                    .status != 401);
    }

    // Codes and refresh tokens work once; a wrong secret is refused.
    void tokenGrants()
    {
        const auto grant = [this](const QString &field, const QString &value, const QString &type,
                                  const QString &secret = clientSecret) {
            return token({{field, value},
                          {"client_id", clientId},
                          {"client_secret", secret},
                          {"grant_type", type},
                          {"redirect_uri", redirectUri}});
        };
        const QString code = freshCode();
        const SandboxProcess::Reply first = grant("code", code, "authorization_code");
        QCOMPARE(first.status, 200);
        const QJsonObject pair = first.json().toObject();
        QVERIFY(pair.value("expires_in").isDouble());
        m_token = pair.value("access_token").toString();
        QCOMPARE(m_sandbox->request("GET", "/v1/account", api()).status, 200);
        QCOMPARE(grant("code", code, "authorization_code").json()["error"].toString(),
                 QStringLiteral("invalid_grant"));
        const QString refresh = pair.value("refresh_token").toString();
        QCOMPARE(grant("refresh_token", refresh, "refresh_token", "wrong").status, 401);
        QCOMPARE(grant("refresh_token", refresh, "refresh_token").status, 200);
        const SandboxProcess::Reply reused = grant("refresh_token", refresh, "refresh_token");
        QCOMPARE(reused.status, 400);
        QCOMPARE(reused.json()["error"].toString(), QStringLiteral("invalid_grant"));
    }

    void faults_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expect");
        const QString links = "/v1/links?limit=15";
        QTest::newRow("delay") << QJsonObject{{"path", "/v1/links"}, {"delayMs", 400}}
                               << QByteArray("GET") << links << "delayed";
        QTest::newRow("status with body") << QJsonObject{{"path", "/v1/links"},
                                                         {"status", 500},
                                                         {"body", QJsonObject{{"message", "boom"}}}}
                                          << QByteArray("GET") << links << "500 boom";
        QTest::newRow("malformed JSON")
            << QJsonObject{{"path", "/v1/links"}, {"malformedJson", true}} << QByteArray("GET")
            << links << "malformed";
        QTest::newRow("mistyped list") << QJsonObject{{"path", "/v1/links"}, {"mistypedJson", true}}
                                       << QByteArray("GET") << links << "string";
        QTest::newRow("dropped connection") << QJsonObject{{"path", "/v1/links"}, {"drop", true}}
                                            << QByteArray("GET") << links << "dropped";
        QTest::newRow("glob and method")
            << QJsonObject{{"method", "POST"},
                           {"path", "/v1/recommendation-system/*"},
                           {"status", 418}}
            << QByteArray("POST") << "/v1/recommendation-system/title/recommend"
            << "418";
        QTest::newRow("other method untouched")
            << QJsonObject{{"method", "POST"}, {"path", "/v1/links"}, {"status", 418}}
            << QByteArray("GET") << links << "untouched";
    }

    void faults()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QString, expect);
        QCOMPARE(m_sandbox->control("POST", "/__sandbox/faults", fault).status, 200);
        const QByteArray body = json({{"url", "https://example.com/a"}});
        QElapsedTimer clock;
        clock.start();
        const SandboxProcess::Reply reply = m_sandbox->request(method, path, api(), body);
        const qint64 elapsed = clock.elapsed();

        if (expect == "delayed") {
            QCOMPARE(reply.status, 200);
            QVERIFY2(elapsed >= 400, qPrintable(QString::number(elapsed)));
            QVERIFY(reply.json().isArray());
        } else if (expect == "dropped") {
            QCOMPARE(reply.status, 0);
            QVERIFY(reply.error != QNetworkReply::NoError);
        } else if (expect == "malformed") {
            QCOMPARE(reply.status, 200);
            QVERIFY(!reply.body.isEmpty());
            QVERIFY(reply.json().isUndefined());
        } else if (expect == "string") {
            QCOMPARE(reply.status, 200);
            QVERIFY2(reply.body.startsWith('"') && reply.body.endsWith('"'), reply.body);
        } else if (expect == "untouched") {
            QCOMPARE(reply.status, 200);
            QVERIFY(!reply.json().isUndefined());
        } else {
            QCOMPARE(reply.status, expect.section(' ', 0, 0).toInt());
            if (expect.contains(' '))
                QCOMPARE(reply.json()["message"].toString(), expect.section(' ', 1));
        }
        // Until cleared: the next call meets the fault again; after clearing, the route answers.
        if (expect != "untouched") {
            const SandboxProcess::Reply again = m_sandbox->request(method, path, api(), body);
            QCOMPARE(again.status, reply.status);
        }
        QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/faults").status, 200);
        const SandboxProcess::Reply normal = m_sandbox->request(method, path, api(), body);
        QCOMPARE(normal.status, 200);
        QVERIFY(!normal.json().isUndefined());
    }

    void faultCounts()
    {
        const QJsonObject armed =
            m_sandbox
                ->control("POST", "/__sandbox/faults",
                          QJsonObject{{"path", "/v1/account"}, {"status", 500}, {"times", 2}})
                .json()
                .toObject();
        QCOMPARE(armed["times"].toInt(), 2);
        QCOMPARE(m_sandbox->request("GET", "/v1/account", api()).status, 500);
        QCOMPARE(m_sandbox->request("GET", "/v1/account", api()).status, 500);
        QCOMPARE(m_sandbox->request("GET", "/v1/account", api()).status, 200);
        QCOMPARE(m_sandbox->control("GET", "/__sandbox/faults").json()["faults"].toArray().size(),
                 0);
    }

    void requestLog()
    {
        QCOMPARE(
            m_sandbox
                ->request("GET", "/v1/links?limit=15&last=wsp-personal-l003", api("wsp-personal"))
                .status,
            200);
        const QByteArray body = json({{"url", "https://example.com/a"}});
        QCOMPARE(
            m_sandbox->request("POST", "/v1/recommendation-system/title/recommend", api(), body)
                .status,
            200);
        const QJsonArray entries =
            m_sandbox->control("GET", "/__sandbox/requests").json()["requests"].toArray();
        QCOMPARE(entries.size(), 2); // control calls are not recorded
        const QJsonObject page = entries[0].toObject();
        QCOMPARE(page["method"].toString(), QStringLiteral("GET"));
        QCOMPARE(page["path"].toString(), QStringLiteral("/v1/links"));
        QCOMPARE(page["query"].toString(), QStringLiteral("limit=15&last=wsp-personal-l003"));
        QCOMPARE(page["headers"]["workspace"].toString(), QStringLiteral("wsp-personal"));
        QCOMPARE(page["headers"]["Content-type"].toString(), QStringLiteral("application/json"));
        QCOMPARE(entries[1]["body"].toString(), QString::fromUtf8(body));
        const QJsonArray posts = m_sandbox->control("GET", "/__sandbox/requests?method=POST")
                                     .json()["requests"]
                                     .toArray();
        QCOMPARE(posts.size(), 1);
    }

    void resetRestoresDemoAccount()
    {
        QCOMPARE(m_sandbox->request("DELETE", "/v1/links/wsp-personal-l000", api()).status, 200);
        QCOMPARE(allLinks("wsp-personal").size(), 39);
        QCOMPARE(m_sandbox->control("POST", "/__sandbox/reset").status, 200);
        QCOMPARE(m_sandbox->request("GET", "/v1/account", api()).status, 401); // tokens dropped
        m_token = m_sandbox->issueAccessToken();
        QCOMPARE(allLinks("wsp-personal").size(), 40);
    }

    // The background check of the product moves on when the service refuses a workspace.
    void unknownWorkspaceIsRefused()
    {
        QCOMPARE(m_sandbox->request("GET", "/v1/domains?active=true", api("wsp-nope")).status, 403);
    }
};

QTEST_GUILESS_MAIN(TestSandbox)
#include "tst_sandbox.moc"
