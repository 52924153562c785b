#include "App/SettingsStore.h"
#include "LogCapture.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QTimeZone>

#include <sys/stat.h>

Q_DECLARE_METATYPE(std::function<void(SettingsStore &)>)
Q_DECLARE_METATYPE(std::function<bool(SettingsStore &)>)

namespace {

using Writer = std::function<void(SettingsStore &)>;
using Check = std::function<bool(SettingsStore &)>;

mode_t modeOf(const QString &path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

QString helper(const char *name)
{
    return QStringLiteral(QUORVELLA_BINARY_DIR "/") + QLatin1String(name);
}

} // namespace

class SettingsStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void valuesKeepTheirKindAcrossReopen_data();
    void valuesKeepTheirKindAcrossReopen();
    void readOfAbsentOrOtherKind_data();
    void readOfAbsentOrOtherKind();
    void nullInsideDictionaryIsLeftOut();
    void independentReaderSeesEachKind();
    void fileAndFolderStayPrivate();
    void corruptFileNeverBlocksWrites();
    void threadsAndTwoProcessesLoseNoWrite();
    void killedWriterLeavesReadableStore();
    void standardStoreDefaultsAreNotWritten();
};

void SettingsStoreTest::valuesKeepTheirKindAcrossReopen_data()
{
    QTest::addColumn<Writer>("write");
    QTest::addColumn<Check>("check");

    const QDateTime date(QDate(2026, 12, 7), QTime(10, 30, 15, 250), QTimeZone::utc());
    QTest::newRow("bool") << Writer([](SettingsStore &s) { s.setBool("k", true); })
                          << Check([](SettingsStore &s) { return s.boolForKey("k"); });
    QTest::newRow("integer") << Writer([](SettingsStore &s) {
        s.setInteger("k", 1234567890123);
    }) << Check([](SettingsStore &s) { return s.integerForKey("k") == 1234567890123; });
    QTest::newRow("negative integer")
        << Writer([](SettingsStore &s) { s.setInteger("k", -42); })
        << Check([](SettingsStore &s) { return s.integerForKey("k") == -42; });
    QTest::newRow("text with unicode")
        << Writer([](SettingsStore &s) { s.setString("k", QStringLiteral("Ünïcode ✨ 链接")); })
        << Check([](SettingsStore &s) {
               return s.stringForKey("k") == QStringLiteral("Ünïcode ✨ 链接");
           });
    QTest::newRow("empty text") << Writer([](SettingsStore &s) {
        s.setString("k", QString());
    }) << Check([](SettingsStore &s) { return s.stringForKey("k") == QString(); });
    QTest::newRow("date to the millisecond")
        << Writer([date](SettingsStore &s) { s.setDate("k", date); })
        << Check([date](SettingsStore &s) { return s.dateForKey("k") == date; });
    QTest::newRow("date before 2001") << Writer([](SettingsStore &s) {
        s.setDate("k", QDateTime(QDate(1999, 1, 2), QTime(3, 4, 5), QTimeZone::utc()));
    }) << Check([](SettingsStore &s) {
        return s.dateForKey("k") == QDateTime(QDate(1999, 1, 2), QTime(3, 4, 5), QTimeZone::utc());
    });
    QTest::newRow("array of text") << Writer([](SettingsStore &s) {
        s.setStringArray("k", {"a.link", "b.link"});
    }) << Check([](SettingsStore &s) {
        return s.stringArrayForKey("k") == QStringList{"a.link", "b.link"};
    });
    QTest::newRow("dictionary with reals and nesting") << Writer([](SettingsStore &s) {
        s.setDictionary("k", {{"id", "ws1"},
                              {"ratio", 0.25},
                              {"count", 3},
                              {"flags", QVariantList{true, 1.5, "x"}},
                              {"inner", QVariantMap{{"deep", -7}}}});
    }) << Check([](SettingsStore &s) {
        const auto d = s.dictionaryForKey("k");
        return d && d->value("id") == QStringLiteral("ws1") &&
               d->value("ratio").toDouble() == 0.25 &&
               d->value("ratio").typeId() == QMetaType::Double &&
               d->value("count").toLongLong() == 3 &&
               d->value("flags").toList() == QVariantList{true, 1.5, "x"} &&
               d->value("inner").toMap().value("deep").toLongLong() == -7;
    });
    QTest::newRow("binary data with zero bytes")
        << Writer([](SettingsStore &s) { s.setData("k", QByteArray("\0bplist\xff", 8)); })
        << Check(
               [](SettingsStore &s) { return s.dataForKey("k") == QByteArray("\0bplist\xff", 8); });
    QTest::newRow("removed key is gone") << Writer([](SettingsStore &s) {
        s.setString("k", "v");
        s.remove("k");
    }) << Check([](SettingsStore &s) { return !s.contains("k"); });
}

void SettingsStoreTest::valuesKeepTheirKindAcrossReopen()
{
    QFETCH(Writer, write);
    QFETCH(Check, check);
    TestEnvironment environment;
    write(SettingsStore::shared());
    QVERIFY(check(SettingsStore::shared()));
    SettingsStore::shared().synchronize();
    SettingsStore reopened(SettingsStore::sharedFilePath());
    QVERIFY(check(reopened));
}

void SettingsStoreTest::readOfAbsentOrOtherKind_data()
{
    QTest::addColumn<Writer>("write");
    QTest::addColumn<Check>("absent");

    const Writer nothing = [](SettingsStore &) {
    };
    const Writer date = [](SettingsStore &s) {
        s.setDate("k", QDateTime::currentDateTimeUtc());
    };
    const Writer text = [](SettingsStore &s) {
        s.setString("k", "2026-12-07T10:00:00Z");
    };
    const Writer one = [](SettingsStore &s) {
        s.setInteger("k", 1);
    };
    const Writer yes = [](SettingsStore &s) {
        s.setBool("k", true);
    };

    QTest::newRow("absent bool") << nothing
                                 << Check([](SettingsStore &s) { return !s.boolForKey("k"); });
    QTest::newRow("absent integer")
        << nothing << Check([](SettingsStore &s) { return s.integerForKey("k") == 0; });
    QTest::newRow("absent text") << nothing
                                 << Check([](SettingsStore &s) { return !s.stringForKey("k"); });
    QTest::newRow("absent date") << nothing
                                 << Check([](SettingsStore &s) { return !s.dateForKey("k"); });
    QTest::newRow("absent array") << nothing
                                  << Check([](SettingsStore &s) { return !s.arrayForKey("k"); });
    QTest::newRow("absent dictionary")
        << nothing << Check([](SettingsStore &s) { return !s.dictionaryForKey("k"); });
    QTest::newRow("absent data") << nothing
                                 << Check([](SettingsStore &s) { return !s.dataForKey("k"); });
    QTest::newRow("date read as text")
        << date << Check([](SettingsStore &s) { return !s.stringForKey("k"); });
    QTest::newRow("text read as date")
        << text << Check([](SettingsStore &s) { return !s.dateForKey("k"); });
    QTest::newRow("integer read as bool")
        << one << Check([](SettingsStore &s) { return !s.boolForKey("k"); });
    QTest::newRow("bool read as integer")
        << yes << Check([](SettingsStore &s) { return s.integerForKey("k") == 0; });
    QTest::newRow("text read as dictionary")
        << text << Check([](SettingsStore &s) { return !s.dictionaryForKey("k"); });
    QTest::newRow("integer read as data")
        << one << Check([](SettingsStore &s) { return !s.dataForKey("k"); });
}

void SettingsStoreTest::readOfAbsentOrOtherKind()
{
    QFETCH(Writer, write);
    QFETCH(Check, absent);
    TestEnvironment environment;
    write(SettingsStore::shared());
    SettingsStore reopened(SettingsStore::sharedFilePath());
    QVERIFY(absent(SettingsStore::shared()));
    QVERIFY(absent(reopened));
}

void SettingsStoreTest::nullInsideDictionaryIsLeftOut()
{
    TestEnvironment environment;
    const QJsonObject workspace =
        QJsonDocument::fromJson(R"({"id":"ws1","name":null,"avatarUrl":null,"score":2.5,
                                    "members":[1,null,"x"]})")
            .object();
    SettingsStore &store = SettingsStore::shared();
    store.setDictionary("workspaceObjectMainView", workspace.toVariantMap());
    store.setString("after", "still writable");

    SettingsStore reopened(SettingsStore::sharedFilePath());
    const std::optional<QVariantMap> stored = reopened.dictionaryForKey("workspaceObjectMainView");
    QVERIFY(stored);
    QCOMPARE(stored->value("id").toString(), QStringLiteral("ws1"));
    QCOMPARE(stored->value("score").toDouble(), 2.5);
    QVERIFY(!stored->contains("name"));
    QVERIFY(!stored->contains("avatarUrl"));
    QCOMPARE(stored->value("members").toList(), (QVariantList{1, "x"}));
    QCOMPARE(reopened.stringForKey("after"), QStringLiteral("still writable"));
}

void SettingsStoreTest::independentReaderSeesEachKind()
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("python3 is not installed: no independent property-list reader");
    TestEnvironment environment;
    SettingsStore &store = SettingsStore::shared();
    store.setBool("flag", true);
    store.setInteger("number", -5);
    store.setString("text", QStringLiteral("ünï"));
    store.setDate("when", QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone::utc()));
    store.setStringArray("names", {"a", "b"});
    store.setDictionary("dict", {{"real", 1.5}, {"id", "x"}});
    store.setData("blob", QByteArray("\x01\x02", 2));
    store.synchronize();

    const QString script = QStringLiteral(R"(
import plistlib, sys, json, datetime
with open(sys.argv[1], 'rb') as f:
    d = plistlib.load(f)
assert f.name and open(sys.argv[1], 'rb').read(8) == b'bplist00'
def kind(v):
    return {bool: 'bool', int: 'int', float: 'real', str: 'text', list: 'array', dict: 'dict',
            bytes: 'data', datetime.datetime: 'date'}[type(v)]
print(json.dumps({k: [kind(v), repr(v)] for k, v in d.items()}, sort_keys=True))
)");
    QProcess reader;
    reader.start(python, {QStringLiteral("-c"), script, SettingsStore::sharedFilePath()});
    QVERIFY(reader.waitForFinished(20000));
    QCOMPARE(reader.exitCode(), 0);
    const QJsonObject kinds = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    QCOMPARE(kinds.value("flag").toArray().at(0).toString(), QStringLiteral("bool"));
    QCOMPARE(kinds.value("number").toArray().at(1).toString(), QStringLiteral("-5"));
    QCOMPARE(kinds.value("text").toArray().at(1).toString(), QStringLiteral("'ünï'"));
    QCOMPARE(kinds.value("when").toArray().at(0).toString(), QStringLiteral("date"));
    QVERIFY(kinds.value("when").toArray().at(1).toString().contains("2026, 1, 2, 3, 4, 5"));
    QCOMPARE(kinds.value("names").toArray().at(1).toString(), QStringLiteral("['a', 'b']"));
    QCOMPARE(kinds.value("dict").toArray().at(1).toString(),
             QStringLiteral("{'id': 'x', 'real': 1.5}"));
    QCOMPARE(kinds.value("blob").toArray().at(1).toString(), QStringLiteral("b'\\x01\\x02'"));
}

void SettingsStoreTest::fileAndFolderStayPrivate()
{
    TestEnvironment environment;
    SettingsStore &store = SettingsStore::shared();
    store.setString("access_token", "secret");
    QCOMPARE(modeOf(SettingsStore::sharedFilePath()), mode_t(0600));
    QCOMPARE(modeOf(SettingsStore::directory()), mode_t(0700));

    // Someone widens the file; the next rewrite makes it private again.
    QFile::setPermissions(SettingsStore::sharedFilePath(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    store.setString("refresh_token", "secret too");
    QCOMPARE(modeOf(SettingsStore::sharedFilePath()), mode_t(0600));

    // A file created by a fresh store is private from the first byte.
    QFile::remove(SettingsStore::sharedFilePath());
    SettingsStore fresh(SettingsStore::sharedFilePath());
    QCOMPARE(modeOf(SettingsStore::sharedFilePath()), mode_t(0600));
}

void SettingsStoreTest::corruptFileNeverBlocksWrites()
{
    TestEnvironment environment;
    {
        QFile file(SettingsStore::sharedFilePath());
        QDir().mkpath(SettingsStore::directory());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("bplist00 this is not a property list");
    }
    SettingsStore store(SettingsStore::sharedFilePath());
    QVERIFY(!store.contains("anything"));
    store.setString("k", "v");
    SettingsStore reopened(SettingsStore::sharedFilePath());
    QCOMPARE(reopened.stringForKey("k"), QStringLiteral("v"));
}

void SettingsStoreTest::threadsAndTwoProcessesLoseNoWrite()
{
    TestEnvironment environment;
    constexpr int kPerThread = 60;
    constexpr int kPerProcess = 60;

    QList<QProcess *> writers;
    for (const char *prefix : {"proc-a", "proc-b"}) {
        auto *process = new QProcess(this);
        process->start(helper("settings_writer"),
                       {QLatin1String(prefix), QString::number(kPerProcess)});
        writers.append(process);
    }
    QList<QThread *> threads;
    for (int t = 0; t < 3; ++t) {
        threads.append(QThread::create([t] {
            for (int i = 0; i < kPerThread; ++i)
                SettingsStore::shared().setInteger(QStringLiteral("thread-%1-%2").arg(t).arg(i), i);
        }));
        threads.last()->start();
    }
    for (QThread *thread : threads) {
        QVERIFY(thread->wait(60000));
        delete thread;
    }
    for (QProcess *process : writers) {
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 0);
        delete process;
    }
    SettingsStore::shared().synchronize();

    SettingsStore reopened(SettingsStore::sharedFilePath());
    for (int t = 0; t < 3; ++t)
        for (int i = 0; i < kPerThread; ++i)
            QCOMPARE(reopened.integerForKey(QStringLiteral("thread-%1-%2").arg(t).arg(i)),
                     qint64(i));
    for (const char *prefix : {"proc-a", "proc-b"}) {
        QCOMPARE(reopened.integerForKey(QStringLiteral("%1-count").arg(QLatin1String(prefix))),
                 qint64(kPerProcess));
        for (int i = 0; i < kPerProcess; ++i)
            QVERIFY(
                reopened.stringForKey(QStringLiteral("%1-%2").arg(QLatin1String(prefix)).arg(i)));
    }
}

void SettingsStoreTest::killedWriterLeavesReadableStore()
{
    TestEnvironment environment;
    SettingsStore::shared().setString("before", "kept");
    for (int round = 0; round < 5; ++round) {
        QProcess writer;
        writer.start(helper("settings_writer"), {QStringLiteral("killed"), QStringLiteral("0")});
        QVERIFY(writer.waitForReadyRead(20000));
        QTest::qWait(50 + round * 37);
        writer.kill();
        QVERIFY(writer.waitForFinished(20000));
    }
    SettingsStore reopened(SettingsStore::sharedFilePath());
    QCOMPARE(reopened.stringForKey("before"), QStringLiteral("kept"));
    QVERIFY(reopened.integerForKey("killed-count") > 0);
    QVERIFY(reopened.synchronize());
}

void SettingsStoreTest::standardStoreDefaultsAreNotWritten()
{
    TestEnvironment environment;
    SettingsStore &standard = SettingsStore::standard();
    standard.registerDefaults({{"NSApplicationCrashOnExceptions", true}});
    QVERIFY(standard.boolForKey("NSApplicationCrashOnExceptions"));
    QVERIFY(!SettingsStore::shared().contains("NSApplicationCrashOnExceptions"));
    SettingsStore reopened(SettingsStore::standardFilePath());
    QVERIFY(!reopened.contains("NSApplicationCrashOnExceptions"));
}

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "tst_settingsstore.moc"
