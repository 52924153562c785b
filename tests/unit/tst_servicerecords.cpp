#include "App/Costants.h"
#include "App/PropertyList.h"
#include "App/SettingsStore.h"
#include "LogCapture.h"
#include "Services/BrandedLinkDTO.h"
#include "Services/Domain.h"
#include "Services/WorkspaceDomainPair.h"
#include "TestEnvironment.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

using Costants::Preferences::accountWorkspacePairs;
using Pairs = QList<WorkspaceDomainPair>;

namespace {

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

class ServiceRecordsTest : public QObject
{
    Q_OBJECT

private slots:
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
        if (QTest::currentDataTag() == QLatin1String("domain")) {
            const std::optional<Domain> back = Domain::decode(QVariant(data));
            QVERIFY(back && back->fullName == "go.acme-demo.com" && back->id == "dom-42");
        } else {
            const auto back = WorkspaceDomainPair::decode(data);
            QVERIFY(back && back->size() == 2 && back->at(1).domain == "dom-2");
        }
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

    void savePair_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("count");
        QTest::newRow("nothing stored starts a list") << QVariant() << 1;
        QTest::newRow("a text replaced by a list") << QVariant(QStringLiteral("junk")) << 1;
        QTest::newRow("data that does not decode") << QVariant(QByteArray("bplist00junk")) << 1;
        QTest::newRow("incomplete pair") << QVariant(PropertyList::encode(QVariantList{
                                                QVariantMap{{"workspace", "w"}, {"domain", "d"}}}))
                                         << 1;
        QTest::newRow("one stored pair")
            << QVariant(WorkspaceDomainPair::encode({{"wsp-old", "dom-old", "acc-1"}})) << 2;
    }

    void savePair()
    {
        QFETCH(QVariant, stored);
        TestEnvironment environment;
        LogCapture log;
        SettingsStore &store = SettingsStore::shared();
        if (stored.typeId() == QMetaType::QByteArray)
            store.setData(accountWorkspacePairs, stored.toByteArray());
        else if (stored.isValid())
            store.setString(accountWorkspacePairs, stored.toString());
        QVERIFY(WorkspaceDomainPair::save(store, "dom-new", "wsp-new", "acc-1"));
        QVERIFY(log.contains("SAVED"));
        // Read back from disk, as the next start would.
        SettingsStore::reopenAll();
        const Pairs pairs = WorkspaceDomainPair::stored(SettingsStore::shared());
        QTEST(int(pairs.size()), "count");
        QCOMPARE(pairs.first().workspace, QStringLiteral("wsp-new"));
        QCOMPARE(pairs.first().domain, QStringLiteral("dom-new"));
        QCOMPARE(pairs.first().accountId, QStringLiteral("acc-1"));
    }

    void twoSavesForOneWorkspaceKeepBoth()
    {
        TestEnvironment environment;
        LogCapture log;
        SettingsStore &store = SettingsStore::shared();
        QVERIFY(WorkspaceDomainPair::save(store, "dom-a", "wsp-1", "acc-1"));
        QVERIFY(WorkspaceDomainPair::save(store, "dom-b", "wsp-1", "acc-1"));
        QVERIFY(WorkspaceDomainPair::save(store, "dom-c", "wsp-1", "acc-2"));
        const Pairs pairs = WorkspaceDomainPair::stored(store);
        QCOMPARE(pairs.size(), 3);
        QCOMPARE(pairs.at(1).domain, QStringLiteral("dom-b"));
        QCOMPARE(pairs.at(2).domain, QStringLiteral("dom-a"));
        QCOMPARE(WorkspaceDomainPair::find(pairs, "acc-1", "wsp-1")->domain,
                 QStringLiteral("dom-b"));
        QCOMPARE(WorkspaceDomainPair::find(pairs, "acc-2", "wsp-1")->domain,
                 QStringLiteral("dom-c"));
        QVERIFY(!WorkspaceDomainPair::find(pairs, "acc-3", "wsp-1"));
        QCOMPARE(log.count("SAVED"), 3);
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
};

QTEST_GUILESS_MAIN(ServiceRecordsTest)
#include "tst_servicerecords.moc"
