#pragma once

// What the service tests share: a sandbox with a crash sink, a client and token exchange
// built over it, a reachability source the test drives, a clock, and the secret watch.

#include "App/Clock.h"
#include "App/Costants.h"
#include "App/CrashReporter.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Controllers/ControllerRegistry.h"
#include "LogCapture.h"
#include "Platform/testing/FakePlatform.h"
#include "SandboxProcess.h"
#include "Services/ApiManager.h"
#include "Services/AuthenticationManager.h"
#include "Services/Config.h"
#include "Services/ReachabilitySource.h"
#include "Services/TokenManager.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QSet>
#include <QTest>
#include <QUrlQuery>

#include <memory>

// Reports only when the test says so.
class ManualReachability : public ReachabilitySource
{
public:
    void start() override { ++starts; }
    void recheck() override { ++rechecks; }
    void report(bool reachable) { emit reported(reachable); }
    int starts = 0;
    int rechecks = 0;
};

// Counts the posts of one notification name.
class PostCounter : public QObject
{
public:
    explicit PostCounter(const QString &name)
    {
        NotificationCenter::shared().addObserver(this, name, [this](const Notification &n) {
            ++count;
            last = n;
        });
    }
    ~PostCounter() override { NotificationCenter::shared().removeObserver(this); }
    int count = 0;
    Notification last;
};

// A client and token exchange routed to the sandbox, installed as the shared ones and
// reachable. The fixture below builds one per test function; a benchmark builds its own.
struct ServiceClient
{
    ~ServiceClient() { dropClient(); }

    void makeClient(const QUrl &origin, int timeoutMs = 60000)
    {
        dropClient();
        m_network = std::make_unique<QNetworkAccessManager>();
        m_network->setProxy(QNetworkProxy::NoProxy);
        Config config = Config::productionDefaults().routedTo(origin);
        config.requestTimeoutMs = timeoutMs;
        Config::install(config);
        auto source = std::make_unique<ManualReachability>();
        m_reachability = source.get();
        m_api = std::make_unique<ApiManager>(m_network.get(), config, std::move(source));
        m_authentication = std::make_unique<AuthenticationManager>(m_network.get(), *m_api);
        ApiManager::installShared(m_api.get());
        m_reachability->report(true);
    }

    // Answers still under way are dropped with their handlers.
    void dropClient()
    {
        ApiManager::installShared(nullptr);
        m_authentication.reset();
        m_api.reset();
        m_network.reset();
    }

    std::unique_ptr<QNetworkAccessManager> m_network;
    ManualReachability *m_reachability = nullptr;
    std::unique_ptr<ApiManager> m_api;
    std::unique_ptr<AuthenticationManager> m_authentication;
};

namespace harness {

// Arms a fault on the sandbox (see its README); false when it refused it.
inline bool arm(SandboxProcess &sandbox, const QJsonObject &fault)
{
    return sandbox.control("POST", "/__sandbox/faults", fault).status == 200;
}

inline QString freshCode(SandboxProcess &sandbox)
{
    return sandbox.control("POST", "/__sandbox/codes").json()["code"].toString();
}

// The recorded requests whose path starts with this one; every method when none is given.
inline QJsonArray requests(SandboxProcess &sandbox, const QString &path = QString(),
                           const QString &method = QString())
{
    QUrlQuery query;
    query.addQueryItem("method", method);
    query.addQueryItem("path", path);
    return sandbox.control("GET", "/__sandbox/requests?" + query.toString())
        .json()["requests"]
        .toArray();
}

// The JSON body of a recorded request.
inline QJsonObject body(const QJsonValue &request)
{
    return QJsonDocument::fromJson(request["body"].toString().toUtf8()).object();
}

// A call of the service as the user of the stored token, in the personal workspace.
inline SandboxProcess::Reply asUser(SandboxProcess &sandbox, const QByteArray &method,
                                    const QString &path, const QJsonObject &json = {})
{
    const QString token = TokenManager::load()->access_token.value_or(QString());
    return sandbox.request(method, path,
                           {{"Authorization", "Bearer " + token.toLatin1()},
                            {"Content-Type", "application/json"},
                            {"workspace", "wsp-personal"}},
                           json.isEmpty() ? QByteArray() : QJsonDocument(json).toJson());
}

// A header of a recorded request, whatever the case of its name; none when absent.
inline std::optional<QString> header(const QJsonObject &request, const QString &name)
{
    const QJsonObject headers = request["headers"].toObject();
    for (auto it = headers.begin(); it != headers.end(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value().toString();
    }
    return std::nullopt;
}

// The headers the program chose, by lower-case name, without those the HTTP stack always adds.
inline QMap<QString, QString> applicationHeaders(const QJsonObject &request)
{
    static const QStringList transport{
        "host", "connection", "accept-encoding", "accept-language", "user-agent", "content-length"};
    QMap<QString, QString> chosen;
    const QJsonObject headers = request["headers"].toObject();
    for (auto it = headers.begin(); it != headers.end(); ++it) {
        if (!transport.contains(it.key().toLower()))
            chosen.insert(it.key().toLower(), it.value().toString());
    }
    return chosen;
}

// A token pair issued by the sandbox, stored as a sign-in would store it.
inline QJsonObject storeIssuedToken(SandboxProcess &sandbox, qint64 expiresInSeconds = 3600)
{
    const QJsonObject issued = sandbox.control("POST", "/__sandbox/tokens/issue").json().toObject();
    (void)TokenManager(issued["access_token"].toString(), issued["token_type"].toString(),
                       Clock::current().now().addSecs(expiresInSeconds),
                       issued["refresh_token"].toString())
        .save();
    return issued;
}

inline QJsonArray envelopes(SandboxProcess &sandbox)
{
    return sandbox.control("GET", "/__sandbox/envelopes").json()["envelopes"].toArray();
}

// The events with this message that the crash sink received.
inline QList<QJsonObject> eventsWithMessage(SandboxProcess &sandbox, const QString &message)
{
    QList<QJsonObject> result;
    for (const QJsonValue &envelope : envelopes(sandbox)) {
        for (const QJsonValue &item : envelope["items"].toArray()) {
            if (item["payload"]["message"] == message)
                result.append(item["payload"].toObject());
        }
    }
    return result;
}

// The extra fields of the one event with this message; empty when there is not exactly one.
inline QJsonObject eventExtra(SandboxProcess &sandbox, const QString &message)
{
    const QList<QJsonObject> events = eventsWithMessage(sandbox, message);
    return events.size() == 1 ? events.first()["extra"].toObject() : QJsonObject();
}

// Every secret value the sandbox saw or handed out so far: bearer tokens, codes, refresh
// tokens, the client secret.
inline QSet<QString> secretsSeen(SandboxProcess &sandbox)
{
    QSet<QString> secrets{Costants::Oauth::clientSecret};
    for (const QJsonValue &request : requests(sandbox)) {
        secrets.insert(header(request.toObject(), "Authorization").value_or("").section(' ', 1));
        const QUrlQuery form(request["body"].toString());
        for (const char *key : {"code", "refresh_token", "client_secret", "access_token"})
            secrets.insert(form.queryItemValue(key, QUrl::FullyDecoded));
    }
    if (const auto token = TokenManager::load())
        secrets << token->access_token.value_or("") << token->refresh_token.value_or("");
    secrets.remove(QString());
    return secrets;
}

// Empty when no secret appears in the log or in the events the sink received; else the
// first leak found.
inline QString leakedSecret(SandboxProcess &sandbox, const LogCapture &log,
                            const QSet<QString> &extraSecrets = {})
{
    const QString logText = log.lines().join('\n');
    const QString sink = QJsonDocument(envelopes(sandbox)).toJson(QJsonDocument::Compact);
    for (const QString &secret : secretsSeen(sandbox) + extraSecrets) {
        if (logText.contains(secret))
            return "log holds " + secret;
        if (sink.contains(secret))
            return "crash sink holds " + secret;
    }
    return {};
}

} // namespace harness

// The fixture of every sandbox-backed test: one sandbox per test case; per test function a
// reset sandbox, a fresh store, fake platform, clock, log and client, installed as the
// shared one. After each test function no secret may be in the log or the crash sink.
class ServiceTest : public QObject, protected ServiceClient
{
    Q_OBJECT

protected:
    // Per test function, once the client exists.
    virtual void prepare() {}
    // Per test function, before the client goes.
    virtual void release() {}

    [[nodiscard]] QJsonArray sent(const QString &path = QString(),
                                  const QString &method = QString())
    {
        return harness::requests(*m_sandbox, path, method);
    }

    // Signs in with a fresh code of the sandbox, which the leak check then looks for.
    void exchangeFreshCode()
    {
        const QString code = harness::freshCode(*m_sandbox);
        m_secrets.insert(code);
        m_authentication->exchangeCode(code);
    }

    // The request timeout of the clients this fixture builds; a test may set it once.
    int m_timeoutMs = 60000;
    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<LogCapture> m_log;
    FakePlatform *m_platform = nullptr;
    // Secrets the test made up itself, for the leak check.
    QSet<QString> m_secrets;

private slots:
    void initTestCase()
    {
        ControllerRegistry::registerAll();
        m_sandbox = std::make_unique<SandboxProcess>();
        QVERIFY2(m_sandbox->isRunning(), qPrintable(m_sandbox->startError()));
        // The crash reporter sends to the sandbox's sink, so the leak check sees its events.
        const QString dsn =
            m_sandbox->control("GET", "/__sandbox/config").json()["crashDsn"].toString();
        std::unique_ptr<CrashReporter> reporter = CrashReporter::create(dsn, nullptr);
        QVERIFY(reporter);
        CrashReporter::setShared(std::move(reporter));
    }

    void init()
    {
        QCOMPARE(m_sandbox->control("POST", "/__sandbox/reset").status, 200);
        m_environment = std::make_unique<TestEnvironment>();
        m_platform = &FakePlatform::installNew();
        m_clock = std::make_unique<ManualClock>(
            QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC));
        Clock::install(m_clock.get());
        m_log = std::make_unique<LogCapture>();
        m_secrets.clear();
        makeClient(m_sandbox->baseUrl(), m_timeoutMs);
        prepare();
    }

    void cleanup()
    {
        release();
        // Answers and events still under way land first, so they are checked too.
        QTRY_VERIFY(!m_authentication->requestDate().has_value());
        QTest::qWait(200);
        const QString leak = harness::leakedSecret(*m_sandbox, *m_log, m_secrets);
        dropClient();
        m_log.reset();
        Clock::install(nullptr);
        m_clock.reset();
        m_environment.reset();
        QVERIFY2(leak.isEmpty(), qPrintable(leak));
    }

    void cleanupTestCase()
    {
        CrashReporter::setShared(nullptr);
        Platform::install(nullptr);
        m_sandbox.reset();
    }
};
