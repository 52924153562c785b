// The sandbox service checked over loopback: it must refuse and answer like the real service,
// or tests of the client built on it prove nothing.
#include "SandboxProcess.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <QXmlStreamReader>
#include <csignal>
#include <memory>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

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
    QJsonObject exchange(const QString &code)
    {
        return token({{"code", code},
                      {"client_id", clientId},
                      {"client_secret", clientSecret},
                      {"grant_type", "authorization_code"},
                      {"redirect_uri", redirectUri}})
            .json()
            .toObject();
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
        QTest::newRow("SIGINT") << "int";
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
        QTest::newRow("links, basic scheme")
            << QByteArray("GET") << "/v1/links?limit=15" << QByteArray("Basic TOKEN") << false;
        QTest::newRow("links, bare token")
            << QByteArray("GET") << "/v1/links?limit=15" << QByteArray("TOKEN") << false;
        QTest::newRow("links, expired token")
            << QByteArray("GET") << "/v1/links?limit=15" << QByteArray("Bearer TOKEN") << true;
        QTest::newRow("account, expired token")
            << QByteArray("GET") << "/v1/account" << QByteArray("Bearer TOKEN") << true;
        QTest::newRow("account domains, no header")
            << QByteArray("GET") << "/v1/account/domains" << QByteArray() << false;
        QTest::newRow("workspaces, unknown token")
            << QByteArray("GET") << "/v1/workspaces?orderBy=name&orderDir=asc"
            << QByteArray("Bearer nope") << false;
        QTest::newRow("create link, no header")
            << QByteArray("POST") << "/v1/links" << QByteArray() << false;
        QTest::newRow("delete link, expired")
            << QByteArray("DELETE") << "/v1/links/wsp-personal-l000" << QByteArray("Bearer TOKEN")
            << true;
        QTest::newRow("title recommendation, no header")
            << QByteArray("POST") << "/v1/recommendation-system/title/recommend" << QByteArray()
            << false;
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

    void signInAndCodeGrant()
    {
        const QString authorize = "/connect/authorize?client_id=" + clientId +
                                  "&redirect_uri=" + redirectUri +
                                  "&response_type=code&scope=qvapi%20offline_access"
                                  "&acr_values=cmd:relogin,register&prompt=login&state=s%201";
        const SandboxProcess::Reply page = m_sandbox->request("GET", authorize);
        QCOMPARE(page.status, 200);
        QVERIFY(page.header("Content-Type").startsWith("text/html"));
        QVERIFY(page.body.contains("<form"));
        QVERIFY(page.body.contains("name=\"password\""));

        QList<std::pair<QString, QString>> fields{{"client_id", clientId},
                                                  {"redirect_uri", redirectUri},
                                                  {"state", "s 1"},
                                                  {"email", "demo@quorvella.test"},
                                                  {"password", "wrong"}};
        const SandboxProcess::Reply refused = m_sandbox->request(
            "POST", "/connect/authorize", {{"Content-Type", formType}}, form(fields));
        QCOMPARE(refused.status, 401);
        QVERIFY(refused.header("Location").isEmpty());
        QVERIFY(refused.body.contains("Wrong e-mail or password"));

        fields.last().second = "demo";
        const SandboxProcess::Reply signedIn = m_sandbox->request(
            "POST", "/connect/authorize", {{"Content-Type", formType}}, form(fields));
        QCOMPARE(signedIn.status, 302);
        const QUrl location(QString::fromUtf8(signedIn.header("Location")));
        QVERIFY2(location.toString().startsWith(redirectUri), signedIn.header("Location"));
        const QUrlQuery query(location);
        QCOMPARE(query.queryItemValue("state", QUrl::FullyDecoded), QStringLiteral("s 1"));
        const QString code = query.queryItemValue("code");
        QVERIFY(!code.isEmpty());

        const QJsonObject grant = exchange(code);
        QCOMPARE(grant.value("token_type").toString(), QStringLiteral("Bearer"));
        QCOMPARE(grant.value("expires_in").toInt(), 3600);
        QVERIFY(!grant.value("refresh_token").toString().isEmpty());
        m_token = grant.value("access_token").toString();
        const SandboxProcess::Reply account = m_sandbox->request("GET", "/v1/account", api());
        QCOMPARE(account.status, 200);
        QCOMPARE(account.json()["email"].toString(), QStringLiteral("demo@quorvella.test"));

        // Refresh: a new pair, and the old refresh token is spent.
        const QList<std::pair<QString, QString>> refresh{
            {"refresh_token", grant.value("refresh_token").toString()},
            {"client_id", clientId},
            {"client_secret", clientSecret},
            {"grant_type", "refresh_token"},
            {"redirect_uri", redirectUri}};
        const SandboxProcess::Reply renewed = token(refresh);
        QCOMPARE(renewed.status, 200);
        QVERIFY(renewed.json()["access_token"].toString() != m_token);
        m_token = renewed.json()["access_token"].toString();
        QCOMPARE(m_sandbox->request("GET", "/v1/account", api()).status, 200);
        QCOMPARE(token(refresh).status, 400);
    }

    void authorizePageRefusals_data()
    {
        QTest::addColumn<QString>("query");
        QTest::newRow("unknown client")
            << "client_id=other&redirect_uri=" + redirectUri + "&response_type=code";
        QTest::newRow("unregistered redirect")
            << "client_id=" + clientId +
                   "&redirect_uri=https://evil.example/oauth&response_type=code";
        QTest::newRow("implicit flow")
            << "client_id=" + clientId + "&redirect_uri=" + redirectUri + "&response_type=token";
    }
    void authorizePageRefusals()
    {
        QFETCH(QString, query);
        const SandboxProcess::Reply page = m_sandbox->request("GET", "/connect/authorize?" + query);
        QCOMPARE(page.status, 400);
        QVERIFY(page.header("Location").isEmpty());
        QVERIFY(!page.body.contains("<form"));
    }

    void tokenGrants_data()
    {
        QTest::addColumn<QString>("grant");      // authorization_code, refresh_token, other
        QTest::addColumn<QString>("credential"); // fresh, used, expired, bogus
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("secret");
        QTest::addColumn<QString>("redirect");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        const auto row = [](const char *name, const QString &grant,
                            const QString &credential) -> QTestData & {
            return QTest::newRow(name) << grant << credential;
        };
        row("code", "authorization_code", "fresh")
            << clientId << clientSecret << redirectUri << formType << 200 << "";
        row("refresh", "refresh_token", "fresh")
            << clientId << clientSecret << redirectUri << formType << 200 << "";
        row("code, wrong secret", "authorization_code", "fresh")
            << clientId << "c08e47b2-0000-4d3e-b5a1-6e2f9d07c4b8" << redirectUri << formType << 401
            << "invalid_client";
        row("refresh, wrong secret", "refresh_token", "fresh")
            << clientId << "" << redirectUri << formType << 401 << "invalid_client";
        row("code, unknown client", "authorization_code", "fresh")
            << "5f3c9a1e-8b2d-4c6f-a7e0-000000000000" << clientSecret << redirectUri << formType
            << 401 << "invalid_client";
        row("code, wrong redirect URI", "authorization_code", "fresh")
            << clientId << clientSecret << "https://localhost:8443/oauth" << formType << 400
            << "invalid_grant";
        row("code, reused", "authorization_code", "used")
            << clientId << clientSecret << redirectUri << formType << 400 << "invalid_grant";
        row("code, unknown", "authorization_code", "bogus")
            << clientId << clientSecret << redirectUri << formType << 400 << "invalid_grant";
        row("refresh, expired", "refresh_token", "expired")
            << clientId << clientSecret << redirectUri << formType << 400 << "invalid_grant";
        row("refresh, reused", "refresh_token", "used")
            << clientId << clientSecret << redirectUri << formType << 400 << "invalid_grant";
        row("code as JSON", "authorization_code", "fresh")
            << clientId << clientSecret << redirectUri << jsonType << 400 << "invalid_request";
        row("password grant", "password", "fresh") << clientId << clientSecret << redirectUri
                                                   << formType << 400 << "unsupported_grant_type";
    }
    void tokenGrants()
    {
        QFETCH(QString, grant);
        QFETCH(QString, credential);
        QFETCH(QString, id);
        QFETCH(QString, secret);
        QFETCH(QString, redirect);
        QFETCH(QByteArray, type);
        QFETCH(int, status);
        QFETCH(QString, error);

        QString value = credential == "bogus" ? QStringLiteral("0123456789abcdef") : QString();
        if (grant == "refresh_token") {
            const QJsonObject pair = exchange(freshCode());
            value = pair.value("refresh_token").toString();
            QVERIFY(!value.isEmpty());
            if (credential == "expired")
                QCOMPARE(m_sandbox
                             ->control("POST", "/__sandbox/tokens/expire",
                                       QJsonObject{{"refresh", true}})
                             .status,
                         200);
        } else if (value.isEmpty()) {
            value = freshCode();
        }
        const QString field = grant == "refresh_token" ? "refresh_token" : "code";
        const QList<std::pair<QString, QString>> fields{{field, value},
                                                        {"client_id", id},
                                                        {"client_secret", secret},
                                                        {"grant_type", grant},
                                                        {"redirect_uri", redirect}};
        if (credential == "used") {
            QCOMPARE(token({{field, value},
                            {"client_id", clientId},
                            {"client_secret", clientSecret},
                            {"grant_type", grant},
                            {"redirect_uri", redirectUri}})
                         .status,
                     200);
        }
        const SandboxProcess::Reply reply = token(fields, type);
        QCOMPARE(reply.status, status);
        const QJsonObject body = reply.json().toObject();
        if (status == 200) {
            for (const char *member : {"access_token", "token_type", "refresh_token"})
                QVERIFY2(body.value(member).isString(), member);
            QVERIFY(body.value("expires_in").isDouble());
            m_token = body.value("access_token").toString();
            QCOMPARE(m_sandbox->request("GET", "/v1/account", api()).status, 200);
        } else {
            QCOMPARE(body.value("error").toString(), error);
        }
    }

    void tokenLifetime()
    {
        QCOMPARE(
            m_sandbox
                ->control("POST", "/__sandbox/tokens/lifetime", QJsonObject{{"accessSeconds", 120}})
                .status,
            200);
        QCOMPARE(exchange(freshCode()).value("expires_in").toInt(), 120);
        // A lifetime of 0 makes tokens that are expired as soon as they exist.
        QCOMPARE(
            m_sandbox
                ->control("POST", "/__sandbox/tokens/lifetime", QJsonObject{{"accessSeconds", 0}})
                .status,
            200);
        m_token = exchange(freshCode()).value("access_token").toString();
        QTRY_COMPARE(m_sandbox->request("GET", "/v1/account", api()).status, 401);
    }

    void paging_data()
    {
        QTest::addColumn<QByteArray>("workspace");
        QTest::addColumn<int>("total");
        QTest::newRow("default workspace, no header") << QByteArray() << 40;
        QTest::newRow("personal") << QByteArray("wsp-personal") << 40;
        QTest::newRow("marketing") << QByteArray("wsp-marketing") << 12;
        QTest::newRow("team workspace") << QByteArray("wsp-agency") << 3;
        QTest::newRow("empty workspace") << QByteArray("wsp-archive") << 0;
    }
    void paging()
    {
        QFETCH(QByteArray, workspace);
        QFETCH(int, total);
        QSet<QString> seen;
        QString last;
        QString previousDate = "9999";
        for (int pageNumber = 0; pageNumber < 10; ++pageNumber) {
            const QString path = "/v1/links?limit=15" + (last.isEmpty() ? "" : "&last=" + last);
            const SandboxProcess::Reply reply = m_sandbox->request("GET", path, api(workspace));
            QCOMPARE(reply.status, 200);
            const QJsonArray page = reply.json().toArray();
            QCOMPARE(page.size(), qMin(15, total - int(seen.size())));
            if (page.isEmpty())
                break;
            for (const QJsonValue &link : page) {
                const QString id = link["id"].toString();
                QVERIFY2(!seen.contains(id), qPrintable(id));
                seen.insert(id);
                QVERIFY(link["createdAt"].toString() <= previousDate); // newest first
                previousDate = link["createdAt"].toString();
                QVERIFY(link["clicks"].isDouble());
                QVERIFY(link["shortUrl"].toString().endsWith("/" + link["slashtag"].toString()));
            }
            last = page.last()["id"].toString();
        }
        QCOMPARE(int(seen.size()), total);
    }

    void filters_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("expect"); // favourite, term:<text>, destination:<text>
        QTest::newRow("favourites") << "/v1/links?limit=15&favourite=true"
                                    << "favourite";
        QTest::newRow("search") << "/v1/links/search?limit=15&term=pricing"
                                << "term:pricing";
        QTest::newRow("search, any case") << "/v1/links/search?limit=15&term=PRICING"
                                          << "term:pricing";
        QTest::newRow("destination")
            << "/v1/links/search?searchBy=destination&term=https%3A%2F%2Fwww.example.com%2Fcareers"
               "&limit=10"
            << "destination:https://www.example.com/careers";
    }
    void filters()
    {
        QFETCH(QString, query);
        QFETCH(QString, expect);
        const QJsonArray all = allLinks("wsp-personal");
        int expected = 0;
        for (const QJsonValue &link : all) {
            const QString text = expect.section(':', 1);
            if (expect == "favourite" ? link["favourite"].toBool()
                : expect.startsWith("term:")
                    ? link["title"].toString().contains(text, Qt::CaseInsensitive) ||
                          link["destination"].toString().contains(text, Qt::CaseInsensitive)
                    : link["destination"].toString().contains(text, Qt::CaseInsensitive))
                ++expected;
        }
        QVERIFY(expected > 0);
        const QJsonArray page =
            m_sandbox->request("GET", query, api("wsp-personal")).json().toArray();
        QCOMPARE(int(page.size()), qMin(expected, query.contains("limit=10") ? 10 : 15));
    }

    void workspaceHeader_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("workspace");
        QTest::addColumn<int>("status");
        QTest::newRow("unknown workspace") << "/v1/links?limit=15" << QByteArray("wsp-nope") << 403;
        QTest::newRow("domains of unknown workspace")
            << "/v1/domains?active=true" << QByteArray("wsp-nope") << 403;
        QTest::newRow("link of another workspace")
            << "/v1/links/wsp-personal-l000" << QByteArray("wsp-marketing") << 404;
        QTest::newRow("link of its workspace")
            << "/v1/links/wsp-personal-l000" << QByteArray("wsp-personal") << 200;
        QTest::newRow("account domains ignore it")
            << "/v1/account/domains" << QByteArray("wsp-nope") << 200;
    }
    void workspaceHeader()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, workspace);
        QFETCH(int, status);
        QCOMPARE(m_sandbox->request("GET", path, api(workspace)).status, status);
    }

    void demoAccount()
    {
        const QJsonArray spaces =
            m_sandbox->request("GET", "/v1/workspaces?orderBy=name&orderDir=asc", api())
                .json()
                .toArray();
        QVERIFY(spaces.size() >= 3);
        QStringList names;
        bool otherType = false;
        int mostDomains = 0;
        for (const QJsonValue &space : spaces) {
            names.append(space["name"].toString());
            otherType |= space["type"].toString() != "classic";
            const QJsonArray domains =
                m_sandbox
                    ->request(
                        "GET",
                        "/v1/domains?detaching=false&deleting=false&detached=false&active=true",
                        api(space["id"].toString().toLatin1()))
                    .json()
                    .toArray();
            for (const QJsonValue &domain : domains)
                QVERIFY(domain["active"].toBool()); // the filter is applied
            mostDomains = qMax(mostDomains, int(domains.size()));
        }
        QStringList sorted = names;
        sorted.sort(Qt::CaseInsensitive);
        QCOMPARE(names, sorted);
        QVERIFY(otherType);
        QVERIFY(mostDomains >= 6);
    }

    void createLink_data()
    {
        QTest::addColumn<QByteArray>("workspace");
        QTest::addColumn<QJsonObject>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("property");
        const QString url = "https://news.example.org/story?id=7";
        QTest::newRow("automatic creation")
            << QByteArray("wsp-personal")
            << QJsonObject{{"destination", url},
                           {"title", "Story"},
                           {"domain", QJsonObject{{"id", "dom-quorv-link"}}},
                           {"slashtag", "story7"}}
            << 200 << "";
        QTest::newRow("form creation, no slashtag") << QByteArray("wsp-personal")
                                                    << QJsonObject{{"destination", url},
                                                                   {"title", "Story"},
                                                                   {"slashtag", ""},
                                                                   {"domainId", "dom-dana-plain"}}
                                                    << 200 << "";
        QTest::newRow("taken slashtag") << QByteArray("wsp-personal")
                                        << QJsonObject{{"destination", url},
                                                       {"slashtag", "welcome"},
                                                       {"domainId", "dom-quorv-link"}}
                                        << 403 << "slashtag";
        QTest::newRow("taken slashtag, other case") << QByteArray("wsp-personal")
                                                    << QJsonObject{{"destination", url},
                                                                   {"slashtag", "WELCOME"},
                                                                   {"domainId", "dom-quorv-link"}}
                                                    << 403 << "slashtag";
        QTest::newRow("same slashtag, other domain") << QByteArray("wsp-personal")
                                                     << QJsonObject{{"destination", url},
                                                                    {"slashtag", "welcome"},
                                                                    {"domainId", "dom-dana-plain"}}
                                                     << 200 << "";
        QTest::newRow("slashtag with a blank") << QByteArray("wsp-personal")
                                               << QJsonObject{{"destination", url},
                                                              {"slashtag", "a b"},
                                                              {"domainId", "dom-quorv-link"}}
                                               << 400 << "slashtag";
        QTest::newRow("inactive domain")
            << QByteArray("wsp-marketing")
            << QJsonObject{{"destination", url}, {"domainId", "dom-acme-old"}} << 400 << "domain";
        QTest::newRow("domain of another workspace")
            << QByteArray("wsp-marketing")
            << QJsonObject{{"destination", url}, {"domainId", "dom-quorv-link"}} << 400 << "domain";
        QTest::newRow("no destination")
            << QByteArray("wsp-personal") << QJsonObject{{"title", "x"}} << 400 << "destination";
        QTest::newRow("title not a string")
            << QByteArray("wsp-personal") << QJsonObject{{"destination", url}, {"title", 5}} << 400
            << "title";
    }
    void createLink()
    {
        QFETCH(QByteArray, workspace);
        QFETCH(QJsonObject, body);
        QFETCH(int, status);
        QFETCH(QString, property);
        const SandboxProcess::Reply reply =
            m_sandbox->request("POST", "/v1/links", api(workspace), json(body));
        QCOMPARE(reply.status, status);
        const QJsonObject answer = reply.json().toObject();
        if (status != 200) {
            const QJsonObject error = answer["errors"].toArray().first().toObject();
            QCOMPARE(error["property"].toString(), property);
            QVERIFY(!error["message"].toString().isEmpty());
            QCOMPARE(int(allLinks(workspace).size()), workspace == "wsp-personal" ? 40 : 12);
            return;
        }
        QCOMPARE(answer["destination"], body["destination"]);
        const QString slashtag = answer["slashtag"].toString();
        QVERIFY(!slashtag.isEmpty());
        QVERIFY(answer["shortUrl"].toString().endsWith("/" + slashtag));
        // Only https-capable domains mark their links so.
        QCOMPARE(answer.contains("https"), answer["domainId"] == QJsonValue("dom-quorv-link"));
        QCOMPARE(allLinks(workspace).first()["id"], answer["id"]);
    }

    void linkLifecycle()
    {
        const QByteArray id = "wsp-marketing-l003";
        const QString path = "/v1/links/" + id;
        const QJsonObject loaded =
            m_sandbox->request("GET", path, api("wsp-marketing")).json().toObject();
        QCOMPARE(loaded["id"].toString(), QString(id));
        QCOMPARE(loaded["domain"]["fullName"], loaded["domainName"]);

        QJsonObject update{{"destination", "https://acme-demo.com/new"},
                           {"title", "New title"},
                           {"slashtag", loaded["slashtag"]},
                           {"domainId", loaded["domainId"]}};
        SandboxProcess::Reply reply =
            m_sandbox->request("POST", path, api("wsp-marketing"), json(update));
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.json()["title"].toString(), QStringLiteral("New title"));
        update["slashtag"] = "launch"; // held by another link of the same domain
        update["domainId"] = "dom-acme-go";
        QCOMPARE(m_sandbox->request("POST", path, api("wsp-marketing"), json(update)).status, 403);

        reply = m_sandbox->request("POST", path + "/favourite", api("wsp-marketing"),
                                   json({{"favourite", true}}));
        QCOMPARE(reply.json()["favourite"].toBool(), true);
        QCOMPARE(m_sandbox
                     ->request("POST", path + "/favourite", api("wsp-marketing"),
                               json({{"favourite", "yes"}}))
                     .status,
                 400);
        reply = m_sandbox->request("DELETE", path, api("wsp-marketing"));
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.json()["id"].toString(), QString(id));
        QCOMPARE(m_sandbox->request("GET", path, api("wsp-marketing")).status, 404);
        QCOMPARE(m_sandbox->request("DELETE", path, api("wsp-marketing")).status, 404);
    }

    void contentType_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        const QByteArray good = R"({"destination":"https://example.com/x"})";
        QTest::newRow("json") << jsonType << good << 200;
        QTest::newRow("json with charset")
            << QByteArray("application/json; charset=utf-8") << good << 200;
        QTest::newRow("plain text") << QByteArray("text/plain") << good << 415;
        QTest::newRow("form") << formType << good << 415;
        QTest::newRow("not JSON") << jsonType << QByteArray("{destination:") << 400;
        QTest::newRow("JSON list") << jsonType << QByteArray("[]") << 400;
    }
    void contentType()
    {
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        const SandboxProcess::Headers headers{{"Authorization", "Bearer " + m_token.toLatin1()},
                                              {"Content-Type", type}};
        QCOMPARE(m_sandbox->request("POST", "/v1/links", headers, body).status, status);
    }

    void recommendations_data()
    {
        QTest::addColumn<QJsonObject>("algorithm");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("pattern");
        const QJsonObject random{{"type", "random"}};
        const auto custom = [](const char *separator, const char *capitalization) {
            return QJsonObject{{"type", "custom"},
                               {"options", QJsonObject{{"separator", separator},
                                                       {"capitalization", capitalization}}}};
        };
        const QString post = "https://blog.example.com/2024/my-great-post.html";
        QTest::newRow("random") << random << post << "^[a-z0-9]{6}$";
        QTest::newRow("dash") << custom("dash", "lowercase") << post << "^my-great-post$";
        QTest::newRow("none") << custom("none", "lowercase") << post << "^mygreatpost$";
        QTest::newRow("camel case") << custom("none", "camelcase") << post << "^myGreatPost$";
        QTest::newRow("taken proposal moves on")
            << custom("none", "lowercase") << "https://example.com/welcome"
            << "^welcome2$";
        QTest::newRow("unknown algorithm") << QJsonObject{{"type", "shortest"}} << post << "";
    }
    void recommendations()
    {
        QFETCH(QJsonObject, algorithm);
        QFETCH(QString, url);
        QFETCH(QString, pattern);
        const QJsonObject body{{"url", url},
                               {"algorithm", algorithm},
                               {"domain", QJsonObject{{"fullName", "quorv.link"}}}};
        const SandboxProcess::Reply reply = m_sandbox->request(
            "POST", "/v1/recommendation-system/slashtag/recommend", api(), json(body));
        if (pattern.isEmpty()) {
            QCOMPARE(reply.status, 400);
            return;
        }
        QCOMPARE(reply.status, 200);
        const QString output = reply.json()["recommendations"][0]["output"].toString();
        QVERIFY2(QRegularExpression(pattern).match(output).hasMatch(), qPrintable(output));

        const SandboxProcess::Reply title =
            m_sandbox->request("POST", "/v1/recommendation-system/title/recommend",
                               api("wsp-personal"), json({{"url", url}}));
        QCOMPARE(title.status, 200);
        QVERIFY(title.json()["recommendations"][0]["output"].toString().contains("example.com"));
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
        QTest::newRow("status") << QJsonObject{{"path", "/v1/links"}, {"status", 503}}
                                << QByteArray("GET") << links << "503";
        QTest::newRow("status with body") << QJsonObject{{"path", "/v1/links"},
                                                         {"status", 500},
                                                         {"body", QJsonObject{{"message", "boom"}}}}
                                          << QByteArray("GET") << links << "500 boom";
        QTest::newRow("malformed JSON")
            << QJsonObject{{"path", "/v1/links"}, {"malformedJson", true}} << QByteArray("GET")
            << links << "malformed";
        QTest::newRow("mistyped list") << QJsonObject{{"path", "/v1/links"}, {"mistypedJson", true}}
                                       << QByteArray("GET") << links << "string";
        QTest::newRow("mistyped object")
            << QJsonObject{{"path", "/v1/account"}, {"mistypedJson", true}} << QByteArray("GET")
            << "/v1/account"
            << "mistyped object";
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
        QTest::newRow("downloads too") << QJsonObject{{"path", "/apps/macapp/*"}, {"status", 404}}
                                       << QByteArray("GET") << "/apps/macapp/versions.json"
                                       << "404";
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
        } else if (expect == "mistyped object") {
            const QJsonObject account = reply.json().toObject();
            QVERIFY(account["id"].isDouble()); // a string became a number
            QVERIFY(account.contains("email"));
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
        QCOMPARE(m_sandbox->control("GET", "/__sandbox/faults").json()["faults"][0]["hits"].toInt(),
                 1);
        QCOMPARE(m_sandbox->request("GET", "/v1/account", api()).status, 500);
        QCOMPARE(m_sandbox->request("GET", "/v1/account", api()).status, 200);
        QCOMPARE(m_sandbox->control("GET", "/__sandbox/faults").json()["faults"].toArray().size(),
                 0);

        const int id = m_sandbox
                           ->control("POST", "/__sandbox/faults",
                                     QJsonObject{{"path", "/v1/account"}, {"status", 502}})
                           .json()["id"]
                           .toInt();
        QCOMPARE(m_sandbox->request("GET", "/v1/account", api()).status, 502);
        QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/faults/" + QString::number(id)).status,
                 200);
        QCOMPARE(m_sandbox->request("GET", "/v1/account", api()).status, 200);
    }

    void mistypedTokenAnswer()
    {
        QCOMPARE(m_sandbox
                     ->control("POST", "/__sandbox/faults",
                               QJsonObject{{"method", "POST"},
                                           {"path", "/connect/token"},
                                           {"mistypedJson", true},
                                           {"times", 1}})
                     .status,
                 200);
        const QJsonObject mistyped = exchange(freshCode());
        QVERIFY(mistyped["expires_in"].isString());
        QVERIFY(mistyped["access_token"].isDouble());
        QVERIFY(exchange(freshCode())["expires_in"].isDouble()); // only the next call
    }

    void faultSpecRefused_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::newRow("no effect") << QJsonObject{{"path", "/v1/links"}};
        QTest::newRow("relative path") << QJsonObject{{"path", "v1/links"}, {"status", 500}};
        QTest::newRow("status out of range") << QJsonObject{{"path", "/v1"}, {"status", 42}};
        QTest::newRow("zero times") << QJsonObject{{"path", "/v1"}, {"drop", true}, {"times", 0}};
        QTest::newRow("negative delay") << QJsonObject{{"path", "/v1"}, {"delayMs", -5}};
    }
    void faultSpecRefused()
    {
        QFETCH(QJsonObject, fault);
        const SandboxProcess::Reply reply = m_sandbox->control("POST", "/__sandbox/faults", fault);
        QCOMPARE(reply.status, 400);
        QVERIFY(!reply.json()["error"].toString().isEmpty());
    }

    void qrImages_data()
    {
        QTest::addColumn<QString>("tail");
        QTest::addColumn<int>("size");
        for (int size : {64, 128, 256, 512})
            QTest::newRow(qPrintable(QString::number(size) + " pixels"))
                << QString("&source=com.quorvella.app&size=%1&dummy=0.42").arg(size) << size;
        QTest::newRow("svg") << "&source=com.quorvella.app&type=svg6&dummy=0.07" << 0;
    }
    void qrImages()
    {
        QFETCH(QString, tail);
        QFETCH(int, size);
        const SandboxProcess::Reply reply =
            m_sandbox->request("GET", "/v1/qrcode?shortUrl=quorv.link%2Fwelcome" + tail);
        QCOMPARE(reply.status, 200);
        if (size == 0) {
            QCOMPARE(reply.header("Content-Type"), QByteArray("image/svg+xml"));
            QXmlStreamReader xml(reply.body);
            QVERIFY(xml.readNextStartElement());
            QCOMPARE(xml.name(), QStringLiteral("svg"));
            QVERIFY(xml.attributes().value("viewBox").startsWith(QStringLiteral("0 0 ")));
            QVERIFY(reply.body.contains("<path"));
            return;
        }
        QCOMPARE(reply.header("Content-Type"), QByteArray("image/png"));
        const QImage image = QImage::fromData(reply.body, "PNG");
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), QSize(size, size));
        QCOMPARE(qGray(image.pixel(0, 0)), 255); // quiet zone
        // Along the diagonal the top-left finder pattern shows dark/light runs of 1:1:3:1:1.
        int position = 0;
        while (position < size && qGray(image.pixel(position, position)) > 127)
            ++position;
        QList<int> runs;
        for (bool dark = true; runs.size() < 5 && position < size; dark = !dark) {
            int run = 0;
            while (position < size && (qGray(image.pixel(position, position)) <= 127) == dark) {
                ++run;
                ++position;
            }
            runs.append(run);
        }
        QCOMPARE(runs.size(), 5);
        const double module = (runs[0] + runs[1] + runs[2] + runs[3] + runs[4]) / 7.0;
        for (int i : {0, 1, 3, 4})
            QVERIFY2(qAbs(runs[i] - module) <= 1.0, qPrintable(QString::number(runs[i])));
        QVERIFY(qAbs(runs[2] - 3 * module) <= 1.5);

        QCOMPARE(m_sandbox->request("GET", "/v1/qrcode?size=64").status, 400);
    }

    void archives_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("bundle");
        QTest::addColumn<QString>("executable");
        QTest::newRow("updater") << "/apps/macapp/QuorvellaUpdater.zip"
                                 << "QuorvellaUpdater.app/"
                                 << "QuorvellaUpdater.app/bin/quorvella-updater";
        QTest::newRow("new version") << "/apps/macapp/Quorvella.zip"
                                     << "Quorvella.app/"
                                     << "Quorvella.app/bin/quorvella";
    }
    void archives()
    {
        QFETCH(QString, path);
        QFETCH(QString, bundle);
        QFETCH(QString, executable);
        const SandboxProcess::Reply reply = m_sandbox->request("GET", path);
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.header("Content-Type"), QByteArray("application/zip"));
        QCOMPARE(reply.header("Content-Length").toLongLong(), reply.body.size());

        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QFile file(folder.filePath("archive.zip"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(reply.body);
        file.close();
        QuaZip zip(file.fileName());
        QVERIFY(zip.open(QuaZip::mdUnzip));
        QStringList names;
        for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
            QuaZipFileInfo64 info;
            QVERIFY(zip.getCurrentFileInfo(&info));
            names.append(info.name);
            QVERIFY2(info.name.startsWith(bundle), qPrintable(info.name));
            if (info.name == executable)
                QVERIFY(info.getPermissions().testFlag(QFile::ExeOwner));
            QuaZipFile entry(&zip);
            QVERIFY(entry.open(QIODevice::ReadOnly));
            QCOMPARE(entry.readAll().size(), qint64(info.uncompressedSize));
            entry.close();
            QCOMPARE(entry.getZipError(), UNZ_OK); // the checksum matched
        }
        QVERIFY(names.contains(executable));
        QVERIFY(names.contains(bundle + "Contents/Info.plist"));
    }

    void documents()
    {
        const QStringList version = QStringLiteral(QUORVELLA_VERSION).split('.');
        const QJsonObject manifest =
            m_sandbox->request("GET", "/apps/macapp/versions.json").json().toObject();
        const QJsonObject entry = manifest["com.quorvella.desktop.macos.Quorvella"].toObject();
        QCOMPARE(entry["major"].toInt(-1), version.value(0).toInt());
        QCOMPARE(entry["minor"].toInt(-1), version.value(1).toInt());
        QCOMPARE(entry["patch"].toInt(-1), version.value(2).toInt());
        QVERIFY(
            m_sandbox->request("GET", "/plugins").json()["macos"]["version"]["major"].isDouble());

        const QJsonObject newer{{"com.quorvella.desktop.macos.Quorvella",
                                 QJsonObject{{"major", 9}, {"minor", 0}, {"patch", 1}}}};
        QCOMPARE(m_sandbox->control("POST", "/__sandbox/documents/versions", newer).status, 200);
        QCOMPARE(m_sandbox->request("GET", "/apps/macapp/versions.json").json().toObject(), newer);
        QCOMPARE(m_sandbox->control("POST", "/__sandbox/reset").status, 200);
        QCOMPARE(m_sandbox->request("GET", "/apps/macapp/versions.json").json().toObject(),
                 manifest);
    }

    void crashEnvelopes_data()
    {
        QTest::addColumn<QByteArray>("auth");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        const QByteArray key =
            m_sandbox->control("GET", "/__sandbox/config").json()["crashKey"].toString().toLatin1();
        const QByteArray good =
            "Sentry sentry_version=7, sentry_key=" + key + ", sentry_client=quorvella/1.0.0";
        const QByteArray envelope =
            "{\"event_id\":\"0123456789abcdef0123456789abcdef\",\"sent_at\":\"2024-01-01T00:00:"
            "00Z\"}\n"
            "{\"type\":\"event\"}\n"
            "{\"event_id\":\"0123456789abcdef0123456789abcdef\",\"level\":\"info\","
            "\"message\":\"Internal Message: new login\",\"platform\":\"native\"}\n";
        QTest::newRow("accepted") << good << envelope << 200;
        QTest::newRow("no auth header") << QByteArray() << envelope << 401;
        QTest::newRow("wrong key")
            << QByteArray("Sentry sentry_version=7, sentry_key=ffff, sentry_client=quorvella/1.0.0")
            << envelope << 403;
        QTest::newRow("old protocol")
            << QByteArray(good).replace("version=7", "version=6") << envelope << 401;
        QTest::newRow("not an envelope") << good << QByteArray("hello\n") << 400;
        QTest::newRow("header only") << good << QByteArray("{\"event_id\":\"1\"}\n") << 400;
    }
    void crashEnvelopes()
    {
        QFETCH(QByteArray, auth);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        SandboxProcess::Headers headers{{"Content-Type", "application/x-sentry-envelope"}};
        if (!auth.isEmpty())
            headers.emplaceBack("X-Sentry-Auth", auth);
        const SandboxProcess::Reply reply =
            m_sandbox->request("POST", "/api/1/envelope/", headers, body);
        QCOMPARE(reply.status, status);
        const QJsonArray stored =
            m_sandbox->control("GET", "/__sandbox/envelopes").json()["envelopes"].toArray();
        QCOMPARE(stored.size(), status == 200 ? 1 : 0);
        if (status == 200) {
            QCOMPARE(reply.json()["id"].toString(),
                     QStringLiteral("0123456789abcdef0123456789abcdef"));
            QCOMPARE(stored[0]["project"].toString(), QStringLiteral("1"));
            QCOMPARE(stored[0]["items"][0]["payload"]["message"].toString(),
                     QStringLiteral("Internal Message: new login"));
        }
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
};

QTEST_GUILESS_MAIN(TestSandbox)
#include "tst_sandbox.moc"
