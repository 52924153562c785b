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

namespace {

const QDateTime kNow = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);

// The keys of each dictionary of the list, as Python's plistlib reads the data, in the order
// they are stored; empty when Python is missing.
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
        QTest::newRow("seconds, blanks") << QByteArray(" 5 ") << 5 << 5;
        QTest::newRow("zero") << QByteArray("0") << 0 << 1;
        QTest::newRow("past the limit") << QByteArray("86400") << 86400 << 3600;
        QTest::newRow("too many digits") << QByteArray(30, '9') << 3600 << 3600;
        QTest::newRow("rfc 850 date") << QByteArray("Tuesday, 14-Nov-23 22:14:20 GMT") << 60 << 60;
        QTest::newRow("asctime date") << QByteArray("Tue Nov 14 22:13:50 2023") << 30 << 30;
        QTest::newRow("date passed") << QByteArray("Tue, 14 Nov 2023 22:00:00 GMT") << 0 << 1;
        QTest::newRow("negative") << QByteArray("-5") << -1 << 60;
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
        // A second 429 within the pause is not told again; one after it is. (Where the pause
        // ends is tst_apimanager's.)
        QCOMPARE(limit.hold(value), std::nullopt);
        m_clock.advance(held * 1000);
        QVERIFY(limit.hold(value).has_value());
    }

    void lenientJson_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QJsonValue>("value"); // undefined: refused
        QTest::newRow("bare number") << QByteArray("42") << QJsonValue(42);
        QTest::newRow("empty") << QByteArray() << QJsonValue(QJsonValue::Undefined);
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

    // A save without a field drops what an earlier save stored for it; the rest stays. What a
    // sign-out deletes is tst_authentication's; that every rewrite makes a loosened store
    // private again is tst_settingsstore's.
    void saveWithoutAField_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::newRow("refresh token") << refreshToken;
        QTest::newRow("expiry") << expiresAt;
    }
    void saveWithoutAField()
    {
        QFETCH(QString, missing);
        QVERIFY(TokenManager("a", "Bearer", kNow, "r").save());
        SettingsStore::shared().setString(optionActive, "qv-option-notification");
        TokenManager token("a2", "Bearer", kNow.addSecs(10), "r2");
        if (missing == refreshToken)
            token.refresh_token.reset();
        else
            token.expires_at.reset();
        QVERIFY(token.save());
        SettingsStore::reopenAll();
        QVERIFY(!SettingsStore::shared().contains(missing));
        QVERIFY(!TokenManager::load().has_value());
        QVERIFY(SettingsStore::shared().contains(tokenType));
        QCOMPARE(SettingsStore::shared().stringForKey(optionActive),
                 std::optional<QString>("qv-option-notification"));
    }

    // Other tools read the store with Python's plistlib: the pairs' fields come in their own
    // order, not the alphabetical one. (The desktop run reads the domain that way.)
    void pairsForOtherTools()
    {
        const QByteArray data =
            WorkspaceDomainPair::encode({{"wsp-1", "dom-1", "acc-1"}, {"wsp-2", "dom-2", "acc-1"}});
        QVERIFY(data.startsWith("bplist00"));
        const QString read = plistlibKeys(data);
        if (read.isEmpty())
            QSKIP("python3 with plistlib is not available");
        QCOMPARE(read, R"([["workspace", "domain", "accountId"], )"
                       R"(["workspace", "domain", "accountId"]])");
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
        QTest::newRow("garbage data") << QVariant(QByteArray("not a plist")) << false << false;
        QTest::newRow("a list") << plist(QVariantList{"a"}) << false << false;
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
        QVERIFY(WorkspaceDomainPair::save(store, "dom-new", "wsp-new", "acc-1"));
        QCOMPARE(log.count("SAVED"), 1);
        // Read back from disk, as the next start would.
        SettingsStore::reopenAll();
        const QList<WorkspaceDomainPair> pairs =
            WorkspaceDomainPair::stored(SettingsStore::shared());
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
