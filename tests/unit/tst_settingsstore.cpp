#include "App/SettingsStore.h"
#include "LogCapture.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonValue>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QTimeZone>

#include <sys/stat.h>

namespace {

// Writes a value of a kind: bool, integer, text, date, array, dictionary, data.
void write(SettingsStore &store, const QString &kind, const QVariant &value)
{
    if (kind == "bool")
        store.setBool("k", value.toBool());
    else if (kind == "integer")
        store.setInteger("k", value.toLongLong());
    else if (kind == "text")
        store.setString("k", value.toString());
    else if (kind == "date")
        store.setDate("k", value.toDateTime());
    else if (kind == "array")
        store.setArray("k", value.toList());
    else if (kind == "dictionary")
        store.setDictionary("k", value.toMap());
    else if (kind == "data")
        store.setData("k", value.toByteArray());
}

// Reads the key as a kind; an invalid QVariant when the store answers "absent".
QVariant read(const SettingsStore &store, const QString &kind)
{
    const auto orNothing = [](const auto &optional) {
        return optional ? QVariant::fromValue(*optional) : QVariant();
    };
    if (kind == "bool")
        return store.boolForKey("k") ? QVariant(true) : QVariant();
    if (kind == "integer")
        return store.integerForKey("k") ? QVariant(store.integerForKey("k")) : QVariant();
    if (kind == "text")
        return orNothing(store.stringForKey("k"));
    if (kind == "date")
        return orNothing(store.dateForKey("k"));
    if (kind == "array")
        return orNothing(store.arrayForKey("k"));
    if (kind == "dictionary")
        return orNothing(store.dictionaryForKey("k"));
    return orNothing(store.dataForKey("k"));
}

mode_t modeOf(const QString &path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 07777;
}

const QString kWriter = QStringLiteral(QUORVELLA_BINARY_DIR "/settings_writer");

} // namespace

class SettingsStoreTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnvironment> m_environment;

private slots:
    void init() { m_environment = std::make_unique<TestEnvironment>(); }
    void cleanup() { m_environment.reset(); }
    // A value written as one kind and read as another (or the same) kind, before and after the
    // file is reopened; a read of another kind answers "absent".
    void valuesKeepTheirKind_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("readAs");
        QTest::addColumn<QVariant>("expected"); // invalid: absent
        const auto same = [](const char *name, const char *kind, const QVariant &value) {
            QTest::newRow(name) << QString(kind) << value << QString(kind) << value;
        };
        const auto other = [](const char *name, const char *kind, const QVariant &value,
                              const char *readAs) {
            QTest::newRow(name) << QString(kind) << value << QString(readAs) << QVariant();
        };
        const QDateTime date(QDate(2026, 12, 7), QTime(10, 30, 15, 250), QTimeZone::utc());
        const QVariantMap nested{{"id", "ws1"},
                                 {"ratio", 0.25},
                                 {"count", 3},
                                 {"flags", QVariantList{true, 1.5, "x"}},
                                 {"inner", QVariantMap{{"deep", -7}}}};
        same("bool", "bool", true);
        same("big integer", "integer", 1234567890123LL);
        same("negative integer", "integer", -42LL);
        same("unicode text", "text", "Ünïcode ✨ 链接");
        same("empty text", "text", QString(""));
        same("date to the millisecond", "date", date);
        same("date before 2001", "date",
             QDateTime(QDate(1999, 1, 2), QTime(3, 4, 5), QTimeZone::utc()));
        same("array", "array", QVariantList{"a.link", 2});
        same("nested dictionary with reals", "dictionary", nested);
        same("binary data", "data", QByteArray("\0bplist\xff", 8));
        // A service answer's nulls are left out, the rest kept.
        const QVariant null = QVariant::fromValue(nullptr);
        QTest::newRow("nulls left out")
            << "dictionary"
            << QVariant(QVariantMap{
                   {"id", "ws1"}, {"name", null}, {"members", QVariantList{1, null, "x"}}})
            << "dictionary"
            << QVariant(QVariantMap{{"id", "ws1"}, {"members", QVariantList{1, "x"}}});
        other("absent", "", {}, "text");
        other("date read as text", "date", date, "text");
        other("text read as date", "text", "2026-12-07T10:00:00Z", "date");
        other("integer read as bool", "integer", 1LL, "bool");
        other("bool read as integer", "bool", true, "integer");
        other("text read as dictionary", "text", "x", "dictionary");
        other("integer read as data", "integer", 1LL, "data");
    }
    void valuesKeepTheirKind()
    {
        QFETCH(QString, kind);
        QFETCH(QVariant, value);
        QFETCH(QString, readAs);
        QFETCH(QVariant, expected);
        write(SettingsStore::shared(), kind, value);
        SettingsStore::shared().synchronize();
        const SettingsStore reopened(SettingsStore::sharedFilePath());
        const SettingsStore *const stores[] = {&SettingsStore::shared(), &reopened};
        for (const SettingsStore *store : stores) {
            const QVariant found = read(*store, readAs);
            QCOMPARE(found.isValid(), expected.isValid());
            if (readAs == "array" || readAs == "dictionary")
                QCOMPARE(QJsonValue::fromVariant(found), QJsonValue::fromVariant(expected));
            else if (expected.isValid())
                QCOMPARE(found, expected);
            if (kind == "dictionary" && expected.isValid()) // reals stay reals
                QCOMPARE(found.toMap().value("ratio").typeId(),
                         expected.toMap().value("ratio").typeId());
        }
    }

    void independentReaderSeesEachKind()
    {
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            QSKIP("python3 is not installed: no independent property-list reader");
        SettingsStore &store = SettingsStore::shared();
        store.setBool("flag", true);
        store.setInteger("number", -5);
        store.setString("text", QStringLiteral("ünï"));
        store.setDate("when", QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone::utc()));
        store.setStringArray("names", {"a", "b"});
        store.setDictionary("dict", {{"real", 1.5}, {"id", "x"}});
        store.setData("blob", QByteArray("\x01\x02", 2));
        store.synchronize();

        // Each key with the kind and value another program reads, one line each.
        const QString script = QStringLiteral(R"(
import plistlib, sys, datetime
assert open(sys.argv[1], 'rb').read(8) == b'bplist00'
d = plistlib.load(open(sys.argv[1], 'rb'))
kinds = {bool: 'bool', int: 'int', float: 'real', str: 'text', list: 'array', dict: 'dict',
         bytes: 'data', datetime.datetime: 'date'}
for k in sorted(d): print(k, kinds[type(d[k])], repr(d[k]))
)");
        QProcess reader;
        reader.start(python, {QStringLiteral("-c"), script, SettingsStore::sharedFilePath()});
        QVERIFY(reader.waitForFinished(20000));
        QCOMPARE(reader.exitCode(), 0);
        QCOMPARE(
            QString::fromUtf8(reader.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
            (QStringList{"blob data b'\\x01\\x02'", "dict dict {'id': 'x', 'real': 1.5}",
                         "flag bool True", "names array ['a', 'b']", "number int -5",
                         "text text 'ünï'", "when date datetime.datetime(2026, 1, 2, 3, 4, 5)"}));
    }

    void fileAndFolderStayPrivate()
    {
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

    void corruptFileNeverBlocksWrites()
    {
        QVERIFY(writeFile(SettingsStore::sharedFilePath(), "bplist00 this is not a property list"));
        SettingsStore store(SettingsStore::sharedFilePath());
        QVERIFY(!store.contains("anything"));
        store.setString("k", "v");
        SettingsStore reopened(SettingsStore::sharedFilePath());
        QCOMPARE(reopened.stringForKey("k"), QStringLiteral("v"));
    }

    void threadsAndTwoProcessesLoseNoWrite()
    {
        constexpr int kWrites = 60; // by each thread and each process
        const QString prefixes[] = {"proc-a", "proc-b"};
        QProcess writers[2];
        for (int p = 0; p < 2; ++p)
            writers[p].start(kWriter, {prefixes[p], QString::number(kWrites)});
        const auto key = [](int t, int i) {
            return QStringLiteral("thread-%1-%2").arg(t).arg(i);
        };
        std::unique_ptr<QThread> threads[3];
        for (int t = 0; t < 3; ++t) {
            threads[t].reset(QThread::create([t, key] {
                for (int i = 0; i < kWrites; ++i)
                    SettingsStore::shared().setInteger(key(t, i), i);
            }));
            threads[t]->start();
        }
        for (const auto &thread : threads)
            QVERIFY(thread->wait(60000));
        for (QProcess &writer : writers) {
            QVERIFY(writer.waitForFinished(60000));
            QCOMPARE(writer.exitCode(), 0);
        }
        SettingsStore::shared().synchronize();

        SettingsStore reopened(SettingsStore::sharedFilePath());
        for (int t = 0; t < 3; ++t)
            for (int i = 0; i < kWrites; ++i)
                QCOMPARE(reopened.integerForKey(key(t, i)), qint64(i));
        for (const QString &prefix : prefixes) {
            QCOMPARE(reopened.integerForKey(prefix + "-count"), qint64(kWrites));
            for (int i = 0; i < kWrites; ++i)
                QVERIFY(reopened.stringForKey(prefix + '-' + QString::number(i)));
        }
    }

    void killedWriterLeavesReadableStore()
    {
        SettingsStore::shared().setString("before", "kept");
        for (int round = 0; round < 5; ++round) {
            QProcess writer;
            writer.start(kWriter, {QStringLiteral("killed"), QStringLiteral("0")});
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

    void standardStoreDefaultsAreNotWritten()
    {
        SettingsStore &standard = SettingsStore::standard();
        standard.registerDefaults({{"NSApplicationCrashOnExceptions", true}});
        QVERIFY(standard.boolForKey("NSApplicationCrashOnExceptions"));
        QVERIFY(!SettingsStore::shared().contains("NSApplicationCrashOnExceptions"));
        SettingsStore reopened(SettingsStore::standardFilePath());
        QVERIFY(!reopened.contains("NSApplicationCrashOnExceptions"));
    }
};

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "tst_settingsstore.moc"
