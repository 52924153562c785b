#include "App/Logger.h"
#include "LogCapture.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QTest>
#include <QThread>
#include <QTimeZone>

class LoggerTest : public QObject
{
    Q_OBJECT

private slots:
    void eachItemIsOneLine_data();
    void eachItemIsOneLine();
    void nothingIsWrittenToDisk();
    void concurrentLinesNeverMix();
};

void LoggerTest::eachItemIsOneLine_data()
{
    QTest::addColumn<QVariantList>("items");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("three texts") << QVariantList{"one", "two", "three"}
                                 << QStringList{"one", "two", "three"};
    QTest::newRow("text and status code") << QVariantList{"ERROR RESPONSE API!!!", 404}
                                          << QStringList{"ERROR RESPONSE API!!!", "404"};
    QTest::newRow("empty list") << QVariantList{} << QStringList{};
    QTest::newRow("bool and real") << QVariantList{true, 2.5} << QStringList{"true", "2.5"};
    QTest::newRow("date in UTC") << QVariantList{QDateTime(QDate(2026, 12, 7), QTime(1, 2, 3),
                                                           QTimeZone::utc())}
                                 << QStringList{"2026-12-07T01:02:03Z"};
    QTest::newRow("absent value") << QVariantList{QVariant()} << QStringList{"nil"};
    QTest::newRow("dictionary and array, one line each")
        << QVariantList{QVariantMap{{"a", 1}, {"b", QVariantList{"x", 2}}}, QStringList{"p", "q"}}
        << QStringList{R"({"a":1,"b":["x",2]})", R"(["p","q"])"};
}

void LoggerTest::eachItemIsOneLine()
{
    QFETCH(QVariantList, items);
    QFETCH(QStringList, lines);
    LogCapture capture;
    Logger::shared().log(items);
    QCOMPARE(capture.lines(), lines);
}

void LoggerTest::nothingIsWrittenToDisk()
{
    TestEnvironment environment;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(environment.root());
    {
        LogCapture capture;
        Logger::shared().log({"one", "two", "three"});
        QCOMPARE(capture.lines().size(), 3);
    }
    QDir::setCurrent(previous);
    QCOMPARE(Logger::shared().file(), QStringLiteral("Quorvella-logs.txt"));
    QVERIFY(!Logger::shared().writeToFile());
    QDirIterator it(environment.root(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QVERIFY2(!path.endsWith(QLatin1String("-logs.txt")), qPrintable(path));
    }
}

void LoggerTest::concurrentLinesNeverMix()
{
    LogCapture capture;
    const QString longLine(3000, QLatin1Char('x'));
    QList<QThread *> threads;
    for (int t = 0; t < 4; ++t) {
        threads.append(QThread::create([t, longLine] {
            for (int i = 0; i < 50; ++i)
                Logger::shared().log({QStringLiteral("%1:").arg(t) + longLine});
        }));
        threads.last()->start();
    }
    for (QThread *thread : threads) {
        QVERIFY(thread->wait(30000));
        delete thread;
    }
    const QStringList lines = capture.lines();
    QCOMPARE(lines.size(), 200);
    for (const QString &line : lines)
        QCOMPARE(line.size(), longLine.size() + 2);
}

QTEST_GUILESS_MAIN(LoggerTest)
#include "tst_logger.moc"
