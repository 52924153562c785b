// The clipboard monitor and the repeating timer its ticks run on.
#include "App/Clock.h"
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "LogCapture.h"
#include "Platform/testing/FakePlatform.h"
#include "TestEnvironment.h"
#include "Utils/ClipboardMonitor.h"
#include "Utils/RepeatingTimer.h"
#include "Utils/TimerSource.h"
#include "Utils/WatchPause.h"

#include <QTest>

#include <atomic>
#include <chrono>
#include <memory>

using namespace Costants;
using namespace std::chrono_literals;

namespace {

const QString handedOn = QStringLiteral("copied link handed on: ");

// The log without the lines every accepted link writes on its way.
QStringList outcome(const LogCapture &log)
{
    QStringList lines = log.lines();
    lines.removeIf([](const QString &line) {
        return line.startsWith("checking DOMAIN NAME: ") || line == "USER LOGGED" ||
               line.startsWith("requested was: ") || line.startsWith("gonna paste: ") ||
               line.startsWith("storing: ") || line.startsWith("watching paused until ") ||
               line == "watching resumed";
    });
    return lines;
}

} // namespace

class ClipboardMonitorTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_environment = std::make_unique<TestEnvironment>();
        m_platform = &FakePlatform::installNew();
        SettingsStore::shared().setString(Preferences::userId, QStringLiteral("user-1"));
        Clock::install(&m_clock);
        SettingsStore::shared().setStringArray(Preferences::neverRebrandHosts, {"*.corp.example"});
    }
    void cleanup()
    {
        Clock::install(nullptr);
        m_platform = nullptr;
        m_environment.reset();
    }

    // Steps: "tick"; "copy:A|B" (one change, one item per text, "-" an item without text);
    // "none" (no data at all); "same" (the same text copied again); "paste:X" / "pasteOnly:X"
    // (pasteLink with and without store); "refused:X" (pasteLink with store, the clipboard
    // refusing the write: reported, still stored); "signout"; "race:X" (another program copies X
    // right after the next read of the clipboard); "pause" (for an hour), "later:N" (the clock
    // moves N minutes). A hidden secret and a pause with "--resume" are tst_signin_e2e's.
    void ticks_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expectedLog");
        const QString first = QStringLiteral("first link, ignoring");
        const QString a = QStringLiteral("https://example.com/a");
        const QString b = QStringLiteral("https://example.com/b");
        QTest::newRow("what is there at start is ignored")
            << QStringList{"copy:" + a, "copy:" + b, "tick", "tick"} << QStringList{first};
        QTest::newRow("the same text copied twice is examined twice")
            << QStringList{"tick", "copy:" + a, "tick", "same", "tick"}
            << QStringList{first, handedOn + a, handedOn + a};
        const QString own = QStringLiteral("this is the last branded link, ignoring: ");
        // A paste without store keeps the link stored before.
        QTest::newRow("own stored paste is dropped, whatever its first letter")
            << QStringList{"tick", "paste:" + a,     "tick", "copy:Https://example.com/a",
                           "tick", "pasteOnly:" + b, "tick", "copy:" + a,
                           "tick"}
            << QStringList{first, own + a, own + a, handedOn + b, own + a};
        QTest::newRow("a refused paste is still stored")
            << QStringList{"tick", "refused:" + a, "tick", "copy:" + a, "tick"}
            << QStringList{first, own + a};
        QTest::newRow("sign-out between ticks")
            << QStringList{"tick", "copy:" + a, "tick", "signout", "copy:" + b, "tick"}
            << QStringList{first, handedOn + a, "USER NOT LOGGED"};
        QTest::newRow("no data, no text, several items")
            << QStringList{"tick",   "none", "tick",
                           "copy:-", "tick", "copy:-|no link|Example.org/x|" + a,
                           "tick"}
            << QStringList{first, handedOn + "https://example.org/x", handedOn + a};
        const QString paused = QStringLiteral("watching paused, copy not handed on");
        QTest::newRow("a pause ends by itself")
            << QStringList{"tick", "pause",   "copy:" + a, "tick",      "later:59", "copy:" + a,
                           "tick", "later:1", "tick",      "copy:" + b, "tick"}
            << QStringList{first, paused, paused, handedOn + b};
        // The log names host and reason, never the path or query of an intranet address.
        QTest::newRow("private and listed hosts are not handed on, also signed out")
            << QStringList{"tick",
                           "copy:http://192.168.1.10/admin?session=s3cr3t|http://intranet/wiki|" +
                               a,
                           "tick",
                           "signout",
                           "copy:https://wiki.corp.example/page",
                           "tick"}
            << QStringList{first,
                           "not rebranding an address of 192.168.1.10: private or link-local "
                           "address",
                           "not rebranding an address of intranet: single-label host", handedOn + a,
                           "not rebranding an address of wiki.corp.example: on the user's list "
                           "(*.corp.example)"};
        QTest::newRow("a copy during a tick is handed on once")
            << QStringList{"tick", "copy:" + a, "race:" + b, "tick", "tick", "tick"}
            << QStringList{first, handedOn + a, handedOn + b};
    }
    void ticks()
    {
        QFETCH(QStringList, steps);
        SettingsStore &store = SettingsStore::shared();
        FakePasteboard &clipboard = m_platform->fakePasteboard;
        ClipboardMonitor monitor;
        LogCapture log;
        for (const QString &step : steps) {
            const QString argument = step.section(':', 1);
            if (step == "tick") {
                monitor.periodicCheck();
            } else if (step.startsWith("copy:")) {
                QList<PasteboardItem> items;
                for (const QString &text : argument.split('|'))
                    items.append(text == "-" ? PasteboardItem{} : PasteboardItem{text});
                clipboard.setItems(items);
            } else if (step == "none") {
                clipboard.setItems(std::nullopt);
            } else if (step == "same") {
                clipboard.bumpChangeCount();
            } else if (step.startsWith("paste")) {
                QVERIFY(ClipboardMonitor::pasteLink(argument, step.startsWith("paste:")));
                QCOMPARE(clipboard.writes().last(), argument);
            } else if (step.startsWith("refused:")) {
                clipboard.setFailWrites(true);
                QVERIFY(!ClipboardMonitor::pasteLink(argument, true));
                clipboard.setFailWrites(false);
            } else if (step == "signout") {
                store.removeKeys(Preferences::signOutKeys);
            } else if (step == "pause") {
                WatchPause::pauseFor(WatchPause::oneHour);
            } else if (step.startsWith("later:")) {
                m_clock.advance(argument.toLongLong() * 60 * 1000);
            } else if (step.startsWith("race:")) {
                clipboard.copyAfterNextRead({argument});
            }
        }
        QTEST(outcome(log), "expectedLog");
        QCOMPARE(monitor.lastChange(), clipboard.changeCount());
    }

    // Nothing before the first deadline, then on a worker thread, one tick at a time.
    void timerTicks()
    {
        std::atomic<int> ticks{0};
        std::atomic<int> inside{0};
        std::atomic<int> mostInside{0};
        std::atomic<QThread *> tickThread{nullptr};
        RepeatingTimer timer(1.0);
        timer.setEventHandler([&] {
            const int now = ++inside;
            mostInside = std::max(mostInside.load(), now);
            tickThread = QThread::currentThread();
            // Longer than the period: a second tick must wait, not overlap.
            QThread::msleep(1100);
            --inside;
            ++ticks;
        });
        timer.resume();
        timer.resume(); // a second resume keeps the one source
        QTest::qWait(300);
        QCOMPARE(inside.load() + ticks.load(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(ticks.load() >= 2, 10000);
        QCOMPARE(mostInside.load(), 1);
        QVERIFY(tickThread.load() != nullptr);
        QVERIFY(tickThread.load() != QThread::currentThread());
    }

    void timerTearDown_data()
    {
        QTest::addColumn<bool>("withHandler");
        QTest::addColumn<bool>("resumed");
        QTest::newRow("handler, never resumed") << true << false;
        QTest::newRow("resumed without handler") << false << true;
        QTest::newRow("resumed with handler") << true << true;
    }
    void timerTearDown()
    {
        QFETCH(bool, withHandler);
        QFETCH(bool, resumed);
        auto ticks = std::make_shared<std::atomic<int>>(0);
        {
            RepeatingTimer timer(0.01);
            if (withHandler)
                timer.setEventHandler([ticks] { ++*ticks; });
            if (resumed)
                timer.resume();
            QTest::qWait(50);
        }
        const int after = ticks->load();
        QTest::qWait(100);
        QCOMPARE(ticks->load(), after);
        if (!resumed)
            QCOMPARE(after, 0);
        // Only the timer's copy of the handler held the counter besides us.
        QCOMPARE(ticks.use_count(), 1);
    }

    void timerTearDownWaitsForARunningTick()
    {
        QObject guiObject;
        std::atomic<int> served{0};
        std::atomic<bool> inTick{false};
        std::atomic<bool> finished{false};
        auto timer = std::make_unique<RepeatingTimer>(0.01);
        timer->setEventHandler([&] {
            if (finished)
                return;
            inTick = true;
            QThread::msleep(300);
            // What a clipboard write from a tick does: wait for the GUI thread to run it.
            QMetaObject::invokeMethod(
                &guiObject, [&served] { ++served; }, Qt::BlockingQueuedConnection);
            finished = true;
        });
        timer->resume();
        QTRY_VERIFY(inTick.load());
        // The GUI thread is not running its event loop while it tears the timer down.
        timer.reset();
        QVERIFY(finished.load());
        QCOMPARE(served.load(), 1);
    }
    void cancelledSourceNeverFires()
    {
        std::atomic<int> ticks{0};
        TimerSource source;
        source.schedule(10ms, 10ms);
        source.setEventHandler([&ticks] { ++ticks; });
        source.cancel();
        source.resume();
        QVERIFY(source.isCancelled());
        QTest::qWait(100);
        QCOMPARE(ticks.load(), 0);
    }

private:
    std::unique_ptr<TestEnvironment> m_environment;
    FakePlatform *m_platform = nullptr;
    ManualClock m_clock;
};

QTEST_MAIN(ClipboardMonitorTest)
#include "tst_clipboardmonitor.moc"
