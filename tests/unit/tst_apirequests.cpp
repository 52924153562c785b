// The pure parts of the API client: answers, waits, the stored token and the records kept.
#include "App/Clock.h"
#include "App/Costants.h"
#include "App/PropertyList.h"
#include "App/SettingsStore.h"
#include "LogCapture.h"
#include "Services/ApiResponse.h"
#include "Services/BrandedLinkDTO.h"
#include "Services/Domain.h"
#include "Services/NetworkInformationReachability.h"
#include "Services/RateLimit.h"
#include "Services/TokenManager.h"
#include "Services/WorkspaceDomainPair.h"
#include "TestEnvironment.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

using namespace Costants::Preferences;
using Pairs = QList<WorkspaceDomainPair>;

namespace {

const QDateTime kNow = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);

// The keys of each top-level dictionary (or of the one dictionary), as Python's plistlib
// reads the data, in the order they are stored; empty when Python is missing.
QString plistlibKeys(const QByteArray &data)
{
    QTemporaryFile file;
    if (!file.open())
        return {};
    file.write(data);
    file.flush();
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import plistlib,sys,json\n"
                                 "v=plistlib.load(open(sys.argv[1],'rb'))\n"
                                 "v=v if isinstance(v,list) else [v]\n"
                                 "print(json.dumps([list(d.keys()) for d in v]))"),
                  file.fileName()});
    if (!python.waitForFinished(10000) || python.exitCode() != 0)
        return {};
    return QString::fromUtf8(python.readAllStandardOutput()).trimmed();
}

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
        QCOMPARE(limit.hold(value), std::optional<qint64>(held));
        QCOMPARE(limit.secondsLeft(), held);
        // A second 429 within the pause is not told again; one after it is.
        QCOMPARE(limit.hold(value), std::nullopt);
        m_clock.advance(held * 1000 - 1);
        QVERIFY(limit.isHolding());
        m_clock.advance(1);
        QVERIFY(!limit.isHolding());
        QCOMPARE(limit.secondsLeft(), 0);
        QVERIFY(limit.hold(value).has_value());
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
        QTest::addColumn<bool>("expired");
        // A token that expires at this very instant is still valid.
        const QVariantMap complete{
            {accessToken, "a"}, {tokenType, "Bearer"}, {expiresAt, kNow}, {refreshToken, "r"}};
        QTest::newRow("complete") << complete << true << false;
        QVariantMap changed = complete;
        changed.remove(refreshToken);
        QTest::newRow("no refresh token") << changed << false << false;
        changed = complete;
        changed[expiresAt] = kNow.toString(Qt::ISODate);
        QTest::newRow("expiry stored as text") << changed << false << false;
        changed = complete;
        changed[accessToken] = 42;
        QTest::newRow("access token stored as a number") << changed << false << false;
        changed = complete;
        changed[expiresAt] = kNow.addSecs(-1);
        QTest::newRow("expired a second ago still loads") << changed << true << true;
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
            QTEST(token->isExpired(), "expired");
        }
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

    void plistForOtherTools_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("keys"); // as Python's plistlib reads them, in stored order
        QTest::newRow("domain")
            << Domain{QStringLiteral("go.acme-demo.com"), QStringLiteral("dom-42")}.encoded()
            << R"([["fullName", "id"]])";
        // The field order, not the alphabetical one.
        QTest::newRow("pairs") << WorkspaceDomainPair::encode(
                                      {{"wsp-1", "dom-1", "acc-1"}, {"wsp-2", "dom-2", "acc-1"}})
                               << R"([["workspace", "domain", "accountId"], )"
                                  R"(["workspace", "domain", "accountId"]])";
    }

    void plistForOtherTools()
    {
        QFETCH(QByteArray, data);
        QVERIFY(data.startsWith("bplist00"));
        const QString read = plistlibKeys(data);
        if (read.isEmpty())
            QSKIP("python3 with plistlib is not available");
        QTEST(read, "keys");
    }

    void domainDecode_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<bool>("usable");
        const auto plist = [](const QVariant &value) {
            return QVariant(PropertyList::encode(value));
        };
        const auto domain = [&plist](const QVariant &id) {
            return plist(QVariantMap{{"fullName", "a.link"}, {"id", id}});
        };
        QTest::newRow("text, not data") << QVariant("dom-1") << false << false;
        QTest::newRow("garbage data") << QVariant(QByteArray("not a plist")) << false << false;
        QTest::newRow("a list") << plist(QVariantList{"a"}) << false << false;
        QTest::newRow("id missing") << plist(QVariantMap{{"fullName", "a.link"}}) << false << false;
        QTest::newRow("id is a number") << domain(7) << false << false;
        QTest::newRow("empty id") << domain("") << true << false;
        QTest::newRow("extra keys are ignored")
            << plist(QVariantMap{{"fullName", "a.link"}, {"id", "d"}, {"name", "x"}}) << true
            << true;
        QTest::newRow("nothing stored") << QVariant() << false << false;
    }
    void domainDecode()
    {
        QFETCH(QVariant, stored);
        const std::optional<Domain> domain = Domain::decode(stored);
        QTEST(domain.has_value(), "decodes");
        if (domain)
            QTEST(domain->isUsable(), "usable");
    }

    // A save puts the newest pair first and keeps the others, even of the same workspace;
    // what does not decode is started afresh.
    void savePair_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("otherAccount"); // its domain for wsp-new; empty: none
        QTest::newRow("nothing stored starts a list") << QVariant() << 1 << "";
        QTest::newRow("a text replaced by a list") << QVariant(QStringLiteral("junk")) << 1 << "";
        QTest::newRow("data that does not decode")
            << QVariant(QByteArray("bplist00junk")) << 1 << "";
        QTest::newRow("incomplete pair") << QVariant(PropertyList::encode(QVariantList{
                                                QVariantMap{{"workspace", "w"}, {"domain", "d"}}}))
                                         << 1 << "";
        QTest::newRow("one stored pair")
            << QVariant(WorkspaceDomainPair::encode({{"wsp-old", "dom-old", "acc-1"}})) << 2 << "";
        QTest::newRow("same workspace, two accounts")
            << QVariant(WorkspaceDomainPair::encode(
                   {{"wsp-new", "dom-old", "acc-1"}, {"wsp-new", "dom-other", "acc-2"}}))
            << 3 << "dom-other";
    }
    void savePair()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, otherAccount);
        LogCapture log;
        SettingsStore &store = SettingsStore::shared();
        if (stored.typeId() == QMetaType::QByteArray)
            store.setData(accountWorkspacePairs, stored.toByteArray());
        else if (stored.isValid())
            store.setString(accountWorkspacePairs, stored.toString());
        QVERIFY(WorkspaceDomainPair::save(store, "dom-new", "wsp-new", "acc-1"));
        QCOMPARE(log.count("SAVED"), 1);
        // Read back from disk, as the next start would.
        SettingsStore::reopenAll();
        const Pairs pairs = WorkspaceDomainPair::stored(SettingsStore::shared());
        QTEST(int(pairs.size()), "count");
        QCOMPARE(pairs.first().workspace, QStringLiteral("wsp-new"));
        QCOMPARE(pairs.first().domain, QStringLiteral("dom-new"));
        QCOMPARE(pairs.first().accountId, QStringLiteral("acc-1"));
        QCOMPARE(WorkspaceDomainPair::find(pairs, "acc-1", "wsp-new")->domain,
                 QStringLiteral("dom-new"));
        const auto other = WorkspaceDomainPair::find(pairs, "acc-2", "wsp-new");
        QCOMPARE(other ? other->domain : QString(), otherAccount);
    }

    void brandedLink_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("fullShortUrl");
        QTest::addColumn<qint64>("clicks");
        QTest::addColumn<bool>("favourite");
        QTest::newRow("complete") << QByteArray(
                                         R"({"id":"l1","clicks":12,"shortUrl":"quorv.link/a",)"
                                         R"("https":true,"favourite":true})")
                                  << "https://quorv.link/a" << qint64(12) << true;
        QTest::newRow("no https member")
            << QByteArray(R"({"id":"l2","shortUrl":"dana.plain-demo.net/b"})")
            << "http://dana.plain-demo.net/b" << qint64(0) << false;
        QTest::newRow("mistyped values keep the defaults")
            << QByteArray(R"({"id":"l3","clicks":"12","shortUrl":"x.link/c","https":"true",)"
                          R"("favourite":1})")
            << "http://x.link/c" << qint64(0) << false;
    }

    void brandedLink()
    {
        QFETCH(QByteArray, json);
        const BrandedLinkDTO link =
            BrandedLinkDTO::fromJson(QJsonDocument::fromJson(json).object());
        QTEST(link.fullShortUrl(), "fullShortUrl");
        QTEST(link.clicks, "clicks");
        QTEST(link.favourite, "favourite");
    }

private:
    std::unique_ptr<TestEnvironment> m_environment;
    ManualClock m_clock{kNow};
};

QTEST_GUILESS_MAIN(ApiRequestsTest)
#include "tst_apirequests.moc"
