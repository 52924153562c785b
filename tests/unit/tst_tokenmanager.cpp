#include "App/Clock.h"
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "Services/TokenManager.h"
#include "TestEnvironment.h"

#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

using namespace Costants::Preferences;

namespace {

mode_t fileMode(const QString &path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 0777;
}

const QDateTime kNow = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);

} // namespace

class TokenManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void load_data();
    void load();
    void isExpired_data();
    void isExpired();
    void saveWithAbsentFieldRemovesEntry_data();
    void saveWithAbsentFieldRemovesEntry();
    void deleteRemovesEverySignInEntry_data();
    void deleteRemovesEverySignInEntry();
    void storeStaysPrivateAfterEveryWrite();

private:
    std::unique_ptr<TestEnvironment> m_environment;
    ManualClock m_clock{kNow};
};

void TokenManagerTest::init()
{
    m_environment = std::make_unique<TestEnvironment>();
    m_clock.set(kNow);
    Clock::install(&m_clock);
}

void TokenManagerTest::cleanup()
{
    Clock::install(nullptr);
    m_environment.reset();
}

void TokenManagerTest::load_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<bool>("loads");
    const QVariantMap complete{{accessToken, "a"},
                               {tokenType, "Bearer"},
                               {expiresAt, kNow.addSecs(60)},
                               {refreshToken, "r"}};
    QTest::newRow("complete") << complete << true;
    QVariantMap noRefresh = complete;
    noRefresh.remove(refreshToken);
    QTest::newRow("no refresh token") << noRefresh << false;
    QVariantMap textExpiry = complete;
    textExpiry[expiresAt] = kNow.addSecs(60).toString(Qt::ISODate);
    QTest::newRow("expiry stored as text") << textExpiry << false;
    QVariantMap numberToken = complete;
    numberToken[accessToken] = 42;
    QTest::newRow("access token stored as a number") << numberToken << false;
    QVariantMap expired = complete;
    expired[expiresAt] = kNow.addSecs(-3600);
    QTest::newRow("expired still loads") << expired << true;
    QTest::newRow("empty store") << QVariantMap{} << false;
}

void TokenManagerTest::load()
{
    QFETCH(QVariantMap, stored);
    QFETCH(bool, loads);
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
    QCOMPARE(token.has_value(), loads);
    if (token) {
        QCOMPARE(*token->access_token, stored.value(accessToken).toString());
        QCOMPARE(*token->expires_at, stored.value(expiresAt).toDateTime());
    }
}

void TokenManagerTest::isExpired_data()
{
    QTest::addColumn<qint64>("expiresInMs");
    QTest::addColumn<bool>("hasExpiry");
    QTest::addColumn<bool>("expired");
    QTest::newRow("one second ahead") << qint64(1000) << true << false;
    QTest::newRow("this very instant") << qint64(0) << true << false;
    QTest::newRow("one millisecond ago") << qint64(-1) << true << true;
    QTest::newRow("no expiry") << qint64(0) << false << true;
}

void TokenManagerTest::isExpired()
{
    QFETCH(qint64, expiresInMs);
    QFETCH(bool, hasExpiry);
    QFETCH(bool, expired);
    const TokenManager token(
        "a", "Bearer",
        hasExpiry ? std::optional<QDateTime>(kNow.addMSecs(expiresInMs)) : std::nullopt, "r");
    QCOMPARE(token.isExpired(), expired);
}

void TokenManagerTest::saveWithAbsentFieldRemovesEntry_data()
{
    QTest::addColumn<QString>("absent");
    QTest::newRow("refresh token") << refreshToken;
    QTest::newRow("expiry") << expiresAt;
}

void TokenManagerTest::saveWithAbsentFieldRemovesEntry()
{
    QFETCH(QString, absent);
    QVERIFY(TokenManager("a", "Bearer", kNow, "r").save());
    QVERIFY(SettingsStore::shared().contains(absent));
    TokenManager token("a2", "Bearer", kNow.addSecs(10), "r2");
    if (absent == refreshToken)
        token.refresh_token.reset();
    else
        token.expires_at.reset();
    QVERIFY(token.save());
    SettingsStore::reopenAll();
    QVERIFY(!SettingsStore::shared().contains(absent));
    QVERIFY(!TokenManager::load().has_value());
    QCOMPARE(SettingsStore::shared().stringForKey(tokenType), std::optional<QString>("Bearer"));
}

void TokenManagerTest::deleteRemovesEverySignInEntry_data()
{
    QTest::addColumn<bool>("filled");
    QTest::newRow("signed in") << true;
    QTest::newRow("empty store") << false;
}

void TokenManagerTest::deleteRemovesEverySignInEntry()
{
    QFETCH(bool, filled);
    SettingsStore &store = SettingsStore::shared();
    if (filled) {
        QVERIFY(TokenManager("a", "Bearer", kNow, "r").save());
        store.setInteger(expiresIn, 3600);
        store.setString(userId, "acc-1");
    }
    store.setBool(appDefaultSet, true);
    store.setString(optionActive, "qv-option-notification");
    TokenManager::deleteToken();
    SettingsStore::reopenAll();
    for (const QString &key : {accessToken, tokenType, expiresAt, expiresIn, refreshToken, userId})
        QVERIFY2(!SettingsStore::shared().contains(key), qPrintable(key));
    // Only the sign-in entries go.
    QVERIFY(SettingsStore::shared().boolForKey(appDefaultSet));
    QCOMPARE(SettingsStore::shared().stringForKey(optionActive),
             std::optional<QString>("qv-option-notification"));
}

void TokenManagerTest::storeStaysPrivateAfterEveryWrite()
{
    const QString path = SettingsStore::shared().filePath();
    QVERIFY(TokenManager("a", "Bearer", kNow, "r").save());
    QCOMPARE(fileMode(path), mode_t(0600));
    // Someone loosened the mode; the next token write makes it private again.
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
    QVERIFY(TokenManager("a2", "Bearer", kNow, "r2").save());
    QCOMPARE(fileMode(path), mode_t(0600));
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
    TokenManager::deleteToken();
    QCOMPARE(fileMode(path), mode_t(0600));
    QCOMPARE(fileMode(QFileInfo(path).absolutePath()) & 0077, mode_t(0));
}

QTEST_GUILESS_MAIN(TokenManagerTest)
#include "tst_tokenmanager.moc"
