#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "Services/ApiManager.h"
#include "Services/ApiResponse.h"
#include "Services/InternetStatus.h"
#include "Services/NetworkInformationReachability.h"
#include "Services/Redaction.h"
#include "Services/TokenManager.h"
#include "TestEnvironment.h"

#include <QJsonDocument>
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
    void slashtagBody_data();
    void slashtagBody();
    void authorizedHeaders_data();
    void authorizedHeaders();
    void reachabilityMapping_data();
    void reachabilityMapping();
    void statusText_data();
    void statusText();
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
    QTest::newRow("refresh") << QVariantMap{{"refresh_token", "r-1"}, {"client_secret", "s"}}
                             << QVariantMap{{"refresh_token", r}, {"client_secret", r}};
    QTest::newRow("access token and odd case")
        << QVariantMap{{"Access_Token", "a"}, {"state", "xyz"}}
        << QVariantMap{{"Access_Token", r}, {"state", "xyz"}};
    QTest::newRow("nothing secret") << QVariantMap{{"grant_type", "refresh_token"}}
                                    << QVariantMap{{"grant_type", "refresh_token"}};
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
    QTest::newRow("bare text") << QByteArray(R"("ok")") << true << QJsonValue("ok");
    QTest::newRow("empty") << QByteArray() << false << QJsonValue();
    QTest::newRow("blank") << QByteArray("  \n") << false << QJsonValue();
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

void ApiRequestsTest::slashtagBody_data()
{
    QTest::addColumn<bool>("random");
    QTest::addColumn<bool>("dash");
    QTest::addColumn<bool>("camelCase");
    QTest::addColumn<QString>("domain");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("random") << true << true << true << QString()
                            << QByteArray(R"({"algorithm":{"type":"random"},"url":"u"})");
    QTest::newRow("dash lowercase on a domain")
        << false << true << false << "quorv.link"
        << QByteArray(
               R"({"algorithm":{"options":{"capitalization":"lowercase","separator":"dash"},)"
               R"("type":"custom"},"domain":{"fullName":"quorv.link"},"url":"u"})");
    QTest::newRow("camel case without separator")
        << false << false << true << QString()
        << QByteArray(
               R"({"algorithm":{"options":{"capitalization":"camelcase","separator":"none"},)"
               R"("type":"custom"},"url":"u"})");
}

void ApiRequestsTest::slashtagBody()
{
    QFETCH(bool, random);
    QFETCH(bool, dash);
    QFETCH(bool, camelCase);
    QFETCH(QString, domain);
    QFETCH(QByteArray, expected);
    const QJsonObject body =
        ApiManager::slashtagBody("u", random, dash, camelCase,
                                 domain.isEmpty() ? std::nullopt : std::optional<QString>(domain));
    QCOMPARE(QJsonDocument(body).toJson(QJsonDocument::Compact), expected);
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
    QTest::newRow("site") << int(R::Site) << true;
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

void ApiRequestsTest::statusText_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("reachable") << int(InternetStatus::reachable) << "reachable";
    QTest::newRow("not reachable") << int(InternetStatus::notReachable) << "notReachable";
}

void ApiRequestsTest::statusText()
{
    QFETCH(int, status);
    QFETCH(QString, text);
    const auto value = static_cast<InternetStatus>(status);
    QCOMPARE(internetStatusText(value), text);
    QCOMPARE(internetStatusFromText(text), std::optional<InternetStatus>(value));
    QVERIFY(!internetStatusFromText("Reachable").has_value());
}

QTEST_GUILESS_MAIN(ApiRequestsTest)
#include "tst_apirequests.moc"
