// The default workspace and domain, the collected domain names and the workspace queue.

#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "Services/ApiManager.h"
#include "Services/Config.h"
#include "Services/Domain.h"
#include "Services/ReachabilitySource.h"
#include "TestEnvironment.h"
#include "Utils/DefaultHelper.h"
#include "Utils/Utils.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QTest>
#include <QThreadPool>

using namespace Costants;

namespace {

QJsonObject workspace(const char *id, bool isDefault = false, const char *type = nullptr)
{
    QJsonObject object{{"id", id},
                       {"name", QString::fromLatin1(id).toUpper()},
                       {"avatarUrl", "https://avatars.test/a.png"},
                       {"default", isDefault}};
    if (type)
        object.insert("type", type);
    return object;
}

// A domain; `active` left out when undefined.
QJsonObject domain(const char *id, const char *fullName, const QJsonValue &active = true)
{
    QJsonObject object{{"id", id}, {"fullName", fullName}};
    if (!active.isUndefined())
        object.insert("active", active);
    return object;
}

std::optional<Domain> storedDomain()
{
    return Domain::decode(
        SettingsStore::shared().objectForKey(Preferences::domainObjectAutoReplace));
}

} // namespace

class DefaultHelperTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No reachability source: the client stays offline and sends nothing.
        m_api = std::make_unique<ApiManager>(&m_network, Config::productionDefaults(), nullptr);
        ApiManager::installShared(m_api.get());
    }
    void cleanupTestCase()
    {
        QThreadPool::globalInstance()->waitForDone();
        ApiManager::installShared(nullptr);
        m_api.reset();
    }
    void init()
    {
        m_environment = std::make_unique<TestEnvironment>();
        Config config = Config::productionDefaults();
        config.sharedShortDomain = QStringLiteral("short.test");
        Config::install(config);
    }
    void cleanup()
    {
        QThreadPool::globalInstance()->waitForDone();
        Config::install(Config::productionDefaults());
        m_environment.reset();
    }

    void chooseDefaultWorkspace_data()
    {
        QTest::addColumn<QString>("storedId"); // empty: nothing stored
        QTest::addColumn<QJsonArray>("list");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("afterId"); // empty: nothing stored afterwards
        const QJsonArray withDefault{workspace("w1"), workspace("w2", true), workspace("w3")};
        const QJsonArray noDefault{workspace("w1"), workspace("w2"), workspace("w3")};
        QTest::newRow("nothing stored, second is default") << QString() << withDefault << 1 << "w2";
        QTest::newRow("nothing stored, no default") << QString() << noDefault << 0 << "w1";
        QTest::newRow("stored one found") << "w3" << withDefault << 2 << "w3";
        QTest::newRow("stored one gone, default wins") << "w9" << withDefault << 1 << "w2";
        QTest::newRow("empty list keeps the stored one") << "w9" << QJsonArray() << -1 << "w9";
        QTest::newRow("empty list, nothing stored") << QString() << QJsonArray() << -1 << QString();
    }
    void chooseDefaultWorkspace()
    {
        QFETCH(QString, storedId);
        QFETCH(QJsonArray, list);
        QFETCH(int, index);
        QFETCH(QString, afterId);
        for (const QString &key :
             {Preferences::workspaceObjectAutoReplace, Preferences::workspaceObjectMainView}) {
            if (!storedId.isEmpty())
                SettingsStore::shared().setDictionary(key, {{"id", storedId}, {"name", "old"}});
            QCOMPARE(DefaultHelper::chooseDefaultWorkspace(list, key), index);
            const std::optional<QVariantMap> after = SettingsStore::shared().dictionaryForKey(key);
            QCOMPARE(after.has_value(), !afterId.isEmpty());
            if (after)
                QCOMPARE(after->value("id").toString(), afterId);
            // The fresh object from the list replaces the stored one.
            if (after && index >= 0)
                QCOMPARE(after->value("name").toString(), afterId.toUpper());
        }
    }
    void checkDefaultDomain_data()
    {
        QTest::addColumn<QByteArray>("stored"); // empty: nothing stored
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("after"); // id and name of the stored domain
        QTest::newRow("nothing stored takes the first") << QByteArray() << 0 << "d1 one.test";
        QTest::newRow("undecodable takes the first") << QByteArray("junk") << 0 << "d1 one.test";
        QTest::newRow("stored found, renamed on the service")
            << Domain{"two.test", "d2"}.encoded() << 1 << "d2 two-renamed.test";
        QTest::newRow("stored gone stays")
            << Domain{"gone.test", "d9"}.encoded() << -1 << "d9 gone.test";
    }
    void checkDefaultDomain()
    {
        QFETCH(QByteArray, stored);
        if (!stored.isEmpty())
            SettingsStore::shared().setData(Preferences::domainObjectAutoReplace, stored);
        const QJsonArray list{domain("d1", "one.test"), domain("d2", "two-renamed.test")};
        QTEST(DefaultHelper::checkDefaultDomain(list), "index");
        const std::optional<Domain> domain = storedDomain();
        QVERIFY(domain);
        QTEST(domain->id + ' ' + domain->fullName, "after");
        QVERIFY(SettingsStore::shared()
                    .stringArrayForKey(Preferences::domainNames)
                    .value_or(QStringList())
                    .contains("short.test"));
    }
    void updateDomainNames_data()
    {
        QTest::addColumn<QVariant>("stored"); // invalid: nothing stored
        QTest::addColumn<QJsonArray>("list");
        QTest::addColumn<QStringList>("names");
        const QJsonArray list{domain("d1", "one.test"), domain("d2", "two.test"),
                              domain("d3", "one.test")};
        QTest::newRow("first call adds the shared domain")
            << QVariant() << QJsonArray() << QStringList{"short.test"};
        QTest::newRow("names in order, once")
            << QVariant() << list << QStringList{"short.test", "one.test", "two.test"};
        QTest::newRow("never removed")
            << QVariant(QStringList{"old.test"}) << list
            << QStringList{"old.test", "short.test", "one.test", "two.test"};
        QTest::newRow("another kind stored starts afresh")
            << QVariant(QStringLiteral("text")) << QJsonArray{domain("d1", "one.test")}
            << QStringList{"short.test", "one.test"};
    }
    void updateDomainNames()
    {
        QFETCH(QVariant, stored);
        QFETCH(QJsonArray, list);
        QFETCH(QStringList, names);
        if (stored.typeId() == QMetaType::QStringList)
            SettingsStore::shared().setStringArray(Preferences::domainNames, stored.toStringList());
        else if (stored.isValid())
            SettingsStore::shared().setString(Preferences::domainNames, stored.toString());
        DefaultHelper::updateDomainNames(list);
        QCOMPARE(SettingsStore::shared().stringArrayForKey(Preferences::domainNames),
                 std::optional<QStringList>(names));
    }
    void prepareWorkspaces_data()
    {
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<QStringList>("queued");
        QTest::addColumn<QStringList>("queuedAfter");
        QTest::newRow("fresh store")
            << QStringList() << QStringList() << QStringList{"a", "c", "d"};
        QTest::newRow("checked ones stay out")
            << QStringList{"a", "d"} << QStringList() << QStringList{"c"};
        QTest::newRow("queued ones are not doubled")
            << QStringList() << QStringList{"c", "x"} << QStringList{"c", "x", "a", "d"};
    }
    void prepareWorkspaces()
    {
        QFETCH(QStringList, checked);
        QFETCH(QStringList, queued);
        QFETCH(QStringList, queuedAfter);
        SettingsStore &store = SettingsStore::shared();
        if (!checked.isEmpty())
            store.setStringArray(Preferences::workspaceIdsListCheckedDomains, checked);
        if (!queued.isEmpty())
            store.setStringArray(Preferences::workspaceIdsListToCheckDomains, queued);
        // Offline: the background check leaves the queue as it is. Team workspaces are left out;
        // the type is matched exactly.
        const QList<WorkspaceDTO> result = Utils::prepareWorkspaces(QJsonArray{
            workspace("a"), workspace("b", false, "team"), workspace("c", false, "classic"),
            workspace("e", false, "Classic"), workspace("d")});
        QStringList ids;
        for (const WorkspaceDTO &dto : result) {
            QCOMPARE(dto.index, ids.size());
            ids.append(dto.id);
        }
        QCOMPARE(ids, (QStringList{"a", "c", "d"}));
        QCOMPARE(result.at(0).name, QStringLiteral("A"));
        QCOMPARE(result.at(0).avatarURL, QStringLiteral("https://avatars.test/a.png"));
        QCOMPARE(store.stringArrayForKey(Preferences::workspaceIdsListToCheckDomains),
                 std::optional<QStringList>(queuedAfter));
    }
    void accountDomainsFetchedKeepsActiveOnly()
    {
        DefaultHelper::accountDomainsFetched(QJsonArray{
            domain("d0", "inactive.test", false),
            domain("d2", "unsaid.test", QJsonValue::Undefined), domain("d3", "text.test", "true"),
            domain("d4", "number.test", 1), domain("d1", "one.test")});
        const std::optional<Domain> after = storedDomain();
        QVERIFY(after);
        QCOMPARE(after->id, QStringLiteral("d1"));
        QVERIFY(!SettingsStore::shared()
                     .stringArrayForKey(Preferences::domainNames)
                     .value_or(QStringList())
                     .contains("inactive.test"));
    }

private:
    QNetworkAccessManager m_network;
    std::unique_ptr<ApiManager> m_api;
    std::unique_ptr<TestEnvironment> m_environment;
};

QTEST_GUILESS_MAIN(DefaultHelperTest)
#include "tst_defaulthelper.moc"
