#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "Services/ApiManager.h"
#include "Services/ApiResponse.h"
#include "Services/NetworkInformationReachability.h"
#include "Services/Redaction.h"
#include "Services/TokenManager.h"
#include "TestEnvironment.h"

#include <QTest>

using Headers = ApiManager::Headers;

// The request shape and the pure parts of the API client and of the token exchange.
class ApiRequestsTest : public QObject
{
    Q_OBJECT

private slots:
    void redaction_data();
    void redaction();
    void lenientJson_data();
    void lenientJson();
    void authorizedHeaders_data();
    void authorizedHeaders();
    void reachabilityMapping_data();
    void reachabilityMapping();
};

void ApiRequestsTest::redaction_data()
{
    QTest::addColumn<QVariantMap>("parameters");
    QTest::addColumn<QVariantMap>("expected");
    const QString r = Redaction::placeholder;
    QTest::newRow("code exchange") << QVariantMap{{"code", "c-1"},
                                                  {"client_id", "id"},
                                                  {"client_secret", "s"},
                                                  {"grant_type", "authorization_code"},
                                                  {"redirect_uri", "https://localhost/oauth"}}
                                   << QVariantMap{{"code", r},
                                                  {"client_id", "id"},
                                                  {"client_secret", r},
                                                  {"grant_type", "authorization_code"},
                                                  {"redirect_uri", "https://localhost/oauth"}};
    QTest::newRow("access token and odd case")
        << QVariantMap{{"Access_Token", "a"}, {"state", "xyz"}}
        << QVariantMap{{"Access_Token", r}, {"state", "xyz"}};
    QTest::newRow("empty") << QVariantMap{} << QVariantMap{};
}

void ApiRequestsTest::redaction()
{
    QFETCH(QVariantMap, parameters);
    QFETCH(QVariantMap, expected);
    QCOMPARE(Redaction::parameters(parameters), expected);
}

void ApiRequestsTest::lenientJson_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("parses");
    QTest::addColumn<QJsonValue>("value");
    QTest::newRow("object") << QByteArray(R"({"a":1})") << true
                            << QJsonValue(QJsonObject{{"a", 1}});
    QTest::newRow("array") << QByteArray("[1]") << true << QJsonValue(QJsonArray{1});
    QTest::newRow("bare number") << QByteArray("42") << true << QJsonValue(42);
    QTest::newRow("empty") << QByteArray() << false << QJsonValue();
    QTest::newRow("cut in half") << QByteArray(R"({"a":)") << false << QJsonValue();
    QTest::newRow("two values") << QByteArray("1,2") << false << QJsonValue();
    QTest::newRow("smuggled second list") << QByteArray("1][2") << false << QJsonValue();
    QTest::newRow("html") << QByteArray("<html></html>") << false << QJsonValue();
}

void ApiRequestsTest::lenientJson()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, parses);
    QFETCH(QJsonValue, value);
    const std::optional<QJsonValue> parsed = ApiResponse::parse(body);
    QCOMPARE(parsed.has_value(), parses);
    if (parsed)
        QCOMPARE(*parsed, value);
}

void ApiRequestsTest::authorizedHeaders_data()
{
    QTest::addColumn<QVariant>("stored"); // the main-view workspace dictionary, if any
    QTest::addColumn<QString>("given");
    QTest::addColumn<bool>("omit");
    QTest::addColumn<QByteArray>("workspace"); // empty: no header
    const QVariant chosen(QVariantMap{{"id", "wsp-stored"}, {"name", "Stored"}});
    QTest::newRow("given id wins") << chosen << "wsp-given" << false << QByteArray("wsp-given");
    QTest::newRow("stored id") << chosen << QString() << false << QByteArray("wsp-stored");
    QTest::newRow("nothing stored") << QVariant() << QString() << false << QByteArray();
    QTest::newRow("stored without id")
        << QVariant(QVariantMap{{"name", "x"}}) << QString() << false << QByteArray();
    QTest::newRow("omitted") << chosen << "wsp-given" << true << QByteArray();
}

void ApiRequestsTest::authorizedHeaders()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, given);
    QFETCH(bool, omit);
    QFETCH(QByteArray, workspace);
    TestEnvironment environment;
    if (stored.isValid())
        SettingsStore::shared().setDictionary(Costants::Preferences::workspaceObjectMainView,
                                              stored.toMap());
    const TokenManager token("tok-1", "Bearer", QDateTime::currentDateTimeUtc(), "r");
    const Headers headers = ApiManager::authorizedHeaders(
        token, given.isEmpty() ? std::nullopt : std::optional<QString>(given), omit);
    Headers expected{{"Authorization", "Bearer tok-1"}, {"Content-type", "application/json"}};
    if (!workspace.isEmpty())
        expected.append({"workspace", workspace});
    QCOMPARE(headers, expected);
}

void ApiRequestsTest::reachabilityMapping_data()
{
    using R = QNetworkInformation::Reachability;
    QTest::addColumn<int>("reachability");
    QTest::addColumn<bool>("reachable");
    QTest::newRow("online") << int(R::Online) << true;
    QTest::newRow("unknown") << int(R::Unknown) << true;
    QTest::newRow("local only") << int(R::Local) << false;
    QTest::newRow("disconnected") << int(R::Disconnected) << false;
}

void ApiRequestsTest::reachabilityMapping()
{
    QFETCH(int, reachability);
    QFETCH(bool, reachable);
    QCOMPARE(NetworkInformationReachability::isReachable(
                 static_cast<QNetworkInformation::Reachability>(reachability)),
             reachable);
}

QTEST_GUILESS_MAIN(ApiRequestsTest)
#include "tst_apirequests.moc"
