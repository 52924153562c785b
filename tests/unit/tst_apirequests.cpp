// The request shape and the pure parts of the API client, and the stored token.
#include "App/Clock.h"
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "Platform/testing/FakeKeyring.h"
#include "Services/ApiResponse.h"
#include "Services/NetworkInformationReachability.h"
#include "Services/RateLimit.h"
#include "Services/Redaction.h"
#include "Services/TokenManager.h"
#include "Services/TokenVault.h"
#include "TestEnvironment.h"

#include <QTest>

using namespace Costants::Preferences;

namespace {

const QDateTime kNow = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);

} // namespace

class ApiRequestsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_environment = std::make_unique<TestEnvironment>();
        m_clock.set(kNow);
        Clock::install(&m_clock);
    }
    void cleanup()
    {
        Clock::install(nullptr);
        m_environment.reset();
    }

    // Every form of Retry-After, the wait a 429 then starts, and that it is told only once.
    void retryAfter_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("seconds"); // -1: unreadable
        QTest::addColumn<int>("held");
        QTest::newRow("seconds") << QByteArray("120") << 120 << 120;
        QTest::newRow("seconds, blanks") << QByteArray(" 5 ") << 5 << 5;
        QTest::newRow("zero") << QByteArray("0") << 0 << 1;
        QTest::newRow("past the limit") << QByteArray("86400") << 86400 << 3600;
        QTest::newRow("too many digits") << QByteArray(30, '9') << 3600 << 3600;
        QTest::newRow("http date") << QByteArray("Tue, 14 Nov 2023 22:15:20 GMT") << 120 << 120;
        QTest::newRow("rfc 850 date") << QByteArray("Tuesday, 14-Nov-23 22:14:20 GMT") << 60 << 60;
        QTest::newRow("asctime date") << QByteArray("Tue Nov 14 22:13:50 2023") << 30 << 30;
        QTest::newRow("date passed") << QByteArray("Tue, 14 Nov 2023 22:00:00 GMT") << 0 << 1;
        QTest::newRow("negative") << QByteArray("-5") << -1 << 60;
        QTest::newRow("garbage") << QByteArray("soon") << -1 << 60;
        QTest::newRow("missing") << QByteArray() << -1 << 60;
    }
    void retryAfter()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, held);
        QTEST(int(RateLimit::retryAfterSeconds(value, kNow).value_or(-1)), "seconds");
        RateLimit limit;
        QVERIFY(!limit.isHolding());
        QCOMPARE(limit.hold(value), std::optional<qint64>(held));
        QVERIFY(limit.isHolding());
        QCOMPARE(limit.secondsLeft(), held);
        // A second 429 within the pause is not told again.
        QCOMPARE(limit.hold(value), std::nullopt);
        m_clock.advance(held * 1000 - 1);
        QVERIFY(limit.isHolding());
        m_clock.advance(1);
        QVERIFY(!limit.isHolding());
        QCOMPARE(limit.secondsLeft(), 0);
        QVERIFY(limit.hold(value).has_value());
    }

    // The keyring double: tokens go there and out of the store; when it later refuses, the
    // newest tokens are back in the store; sign-out empties it.
    void keyringRefusingLater()
    {
        FakeKeyring keyring;
        keyring.running = true;
        TokenVault vault(keyring);
        TokenVault::install(&vault);
        vault.start();
        QTRY_COMPARE(vault.place(), TokenVault::Place::keyring);
        SettingsStore &store = SettingsStore::shared();
        QVERIFY(TokenManager("a-1", "Bearer", kNow.addSecs(60), "r-1").save());
        QTRY_VERIFY(keyring.entries.value("tokens").contains("\"a-1\""));
        QVERIFY(!store.contains(accessToken) && !store.contains(refreshToken));
        QCOMPARE(TokenManager::load()->refresh_token, QStringLiteral("r-1"));
        keyring.refusing = true;
        QVERIFY(TokenManager("a-2", "Bearer", kNow.addSecs(60), "r-2").save());
        QTRY_COMPARE(vault.place(), TokenVault::Place::store);
        QCOMPARE(store.stringForKey(accessToken), std::optional<QString>("a-2"));
        QCOMPARE(TokenManager::load()->refresh_token, QStringLiteral("r-2"));
        keyring.refusing = false;
        TokenManager::deleteToken();
        QTRY_VERIFY(keyring.entries.isEmpty());
        QVERIFY(!TokenManager::load());
        TokenVault::install(nullptr);
    }

    void redaction_data()
    {
        QTest::addColumn<QVariantMap>("parameters");
        QTest::addColumn<QVariantMap>("expected");
        const QString r = Redaction::placeholder;
        QTest::newRow("code exchange")
            << QVariantMap{{"code", "c-1"}, {"client_secret", "s"}, {"redirect_uri", "u"}}
            << QVariantMap{{"code", r}, {"client_secret", r}, {"redirect_uri", "u"}};
        QTest::newRow("access token and odd case")
            << QVariantMap{{"Access_Token", "a"}, {"state", "xyz"}}
            << QVariantMap{{"Access_Token", r}, {"state", "xyz"}};
        QTest::newRow("empty") << QVariantMap{} << QVariantMap{};
    }
    void redaction()
    {
        QFETCH(QVariantMap, parameters);
        QTEST(Redaction::parameters(parameters), "expected");
    }

    void lenientJson_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QJsonValue>("value"); // undefined: refused
        QTest::newRow("object") << QByteArray(R"({"a":1})") << QJsonValue(QJsonObject{{"a", 1}});
        QTest::newRow("array") << QByteArray("[1]") << QJsonValue(QJsonArray{1});
        QTest::newRow("bare number") << QByteArray("42") << QJsonValue(42);
        QTest::newRow("empty") << QByteArray() << QJsonValue(QJsonValue::Undefined);
        QTest::newRow("cut in half") << QByteArray(R"({"a":)") << QJsonValue(QJsonValue::Undefined);
        QTest::newRow("two values") << QByteArray("1,2") << QJsonValue(QJsonValue::Undefined);
        QTest::newRow("smuggled second list")
            << QByteArray("1][2") << QJsonValue(QJsonValue::Undefined);
        QTest::newRow("html") << QByteArray("<html></html>") << QJsonValue(QJsonValue::Undefined);
    }
    void lenientJson()
    {
        QFETCH(QByteArray, body);
        QTEST(ApiResponse::parse(body).value_or(QJsonValue(QJsonValue::Undefined)), "value");
    }

    void reachabilityMapping()
    {
        using R = QNetworkInformation::Reachability;
        QVERIFY(NetworkInformationReachability::isReachable(R::Online));
        // Unknown: the request itself tells, rather than refusing everything.
        QVERIFY(NetworkInformationReachability::isReachable(R::Unknown));
        QVERIFY(!NetworkInformationReachability::isReachable(R::Local));
        QVERIFY(!NetworkInformationReachability::isReachable(R::Disconnected));
    }

    void loadToken_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<bool>("loads");
        const QVariantMap complete{
            {accessToken, "a"}, {tokenType, "Bearer"}, {expiresAt, kNow}, {refreshToken, "r"}};
        QTest::newRow("complete") << complete << true;
        QVariantMap changed = complete;
        changed.remove(refreshToken);
        QTest::newRow("no refresh token") << changed << false;
        changed = complete;
        changed[expiresAt] = kNow.toString(Qt::ISODate);
        QTest::newRow("expiry stored as text") << changed << false;
        changed = complete;
        changed[accessToken] = 42;
        QTest::newRow("access token stored as a number") << changed << false;
        changed = complete;
        changed[expiresAt] = kNow.addSecs(-3600);
        QTest::newRow("expired still loads") << changed << true;
    }
    void loadToken()
    {
        QFETCH(QVariantMap, stored);
        SettingsStore &store = SettingsStore::shared();
        for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
            if (it.value().typeId() == QMetaType::QDateTime)
                store.setDate(it.key(), it.value().toDateTime());
            else if (it.value().typeId() == QMetaType::Int)
                store.setInteger(it.key(), it.value().toInt());
            else
                store.setString(it.key(), it.value().toString());
        }
        const std::optional<TokenManager> token = TokenManager::load();
        QTEST(token.has_value(), "loads");
        if (token) {
            QCOMPARE(*token->access_token, stored.value(accessToken).toString());
            QCOMPARE(*token->expires_at, stored.value(expiresAt).toDateTime());
        }
    }

    void tokenExpiry_data()
    {
        QTest::addColumn<qint64>("expiresInMs");
        QTest::addColumn<bool>("hasExpiry");
        QTest::addColumn<bool>("expired");
        QTest::newRow("this very instant") << qint64(0) << true << false;
        QTest::newRow("one millisecond ago") << qint64(-1) << true << true;
        QTest::newRow("no expiry") << qint64(0) << false << true;
    }
    void tokenExpiry()
    {
        QFETCH(qint64, expiresInMs);
        QFETCH(bool, hasExpiry);
        const TokenManager token(
            "a", "Bearer",
            hasExpiry ? std::optional<QDateTime>(kNow.addMSecs(expiresInMs)) : std::nullopt, "r");
        QTEST(token.isExpired(), "expired");
    }

    // A save without a field, or the sign-out delete: the entries go, the rest stays. That
    // every rewrite makes a loosened store private again is tst_settingsstore's to check.
    void tokenWrites_data()
    {
        QTest::addColumn<QString>("write"); // "delete", or the field a save goes without
        QTest::addColumn<bool>("signedIn");
        QTest::newRow("save without refresh token") << refreshToken << true;
        QTest::newRow("save without expiry") << expiresAt << true;
        QTest::newRow("delete") << "delete" << true;
        QTest::newRow("delete, empty store") << "delete" << false;
    }
    void tokenWrites()
    {
        QFETCH(QString, write);
        QFETCH(bool, signedIn);
        SettingsStore &store = SettingsStore::shared();
        if (signedIn) {
            QVERIFY(TokenManager("a", "Bearer", kNow, "r").save());
            store.setInteger(expiresIn, 3600);
            store.setString(userId, "acc-1");
        }
        store.setBool(appDefaultSet, true);
        store.setString(optionActive, "qv-option-notification");
        QStringList gone{accessToken, tokenType, expiresAt, expiresIn, refreshToken, userId};
        if (write == "delete") {
            TokenManager::deleteToken();
        } else {
            TokenManager token("a2", "Bearer", kNow.addSecs(10), "r2");
            if (write == refreshToken)
                token.refresh_token.reset();
            else
                token.expires_at.reset();
            QVERIFY(token.save());
            gone = QStringList{write};
        }
        SettingsStore::reopenAll();
        for (const QString &key : gone)
            QVERIFY2(!SettingsStore::shared().contains(key), qPrintable(key));
        QVERIFY(!TokenManager::load().has_value());
        QCOMPARE(SettingsStore::shared().contains(tokenType), write != "delete");
        // Only the sign-in entries go.
        QVERIFY(SettingsStore::shared().boolForKey(appDefaultSet));
        QCOMPARE(SettingsStore::shared().stringForKey(optionActive),
                 std::optional<QString>("qv-option-notification"));
    }

private:
    std::unique_ptr<TestEnvironment> m_environment;
    ManualClock m_clock{kNow};
};

QTEST_GUILESS_MAIN(ApiRequestsTest)
#include "tst_apirequests.moc"
