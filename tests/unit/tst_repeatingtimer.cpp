#include "Utils/RepeatingTimer.h"
#include "Utils/TimerSource.h"

#include <QObject>
#include <QTest>
#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>

using namespace std::chrono_literals;

class RepeatingTimerTest : public QObject
{
    Q_OBJECT

private slots:
    void ticksRunOnAWorkerThreadOneAtATime();
    void nothingFiresBeforeTheFirstDeadline();
    void tearDown_data();
    void tearDown();
    void tearDownWaitsForARunningTick();
    void tearDownWhileATickWaitsForTheGuiThread();
    void cancelledSourceNeverFires();
};

void RepeatingTimerTest::ticksRunOnAWorkerThreadOneAtATime()
{
    std::atomic<int> ticks{0};
    std::atomic<int> inside{0};
    std::atomic<int> mostInside{0};
    std::atomic<QThread *> tickThread{nullptr};
    RepeatingTimer timer(0.02);
    timer.setEventHandler([&] {
        const int now = ++inside;
        mostInside = std::max(mostInside.load(), now);
        tickThread = QThread::currentThread();
        // Longer than the period: a second tick must wait, not overlap.
        QThread::msleep(50);
        --inside;
        ++ticks;
    });
    timer.resume();
    timer.resume(); // a second resume keeps the one source
    QTRY_VERIFY(ticks.load() >= 4);
    QCOMPARE(mostInside.load(), 1);
    QVERIFY(tickThread.load() != nullptr);
    QVERIFY(tickThread.load() != QThread::currentThread());
}

void RepeatingTimerTest::nothingFiresBeforeTheFirstDeadline()
{
    std::atomic<int> ticks{0};
    RepeatingTimer timer(1.0);
    timer.setEventHandler([&ticks] { ++ticks; });
    timer.resume();
    // The first tick comes one period after resuming, not at once.
    QTest::qWait(300);
    QCOMPARE(ticks.load(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.load() >= 1, 5000);
}

void RepeatingTimerTest::tearDown_data()
{
    QTest::addColumn<bool>("withHandler");
    QTest::addColumn<bool>("resumed");
    QTest::newRow("never used") << false << false;
    QTest::newRow("handler, never resumed") << true << false;
    QTest::newRow("resumed without handler") << false << true;
    QTest::newRow("resumed with handler") << true << true;
}

void RepeatingTimerTest::tearDown()
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

void RepeatingTimerTest::tearDownWaitsForARunningTick()
{
    std::atomic<bool> inTick{false};
    std::atomic<bool> finished{false};
    auto timer = std::make_unique<RepeatingTimer>(0.01);
    timer->setEventHandler([&] {
        if (finished)
            return;
        inTick = true;
        QThread::msleep(300);
        finished = true;
    });
    timer->resume();
    QTRY_VERIFY(inTick.load());
    timer.reset();
    QVERIFY(finished.load());
}

void RepeatingTimerTest::tearDownWhileATickWaitsForTheGuiThread()
{
    QObject guiObject;
    std::atomic<int> served{0};
    std::atomic<bool> inTick{false};
    auto timer = std::make_unique<RepeatingTimer>(0.01);
    timer->setEventHandler([&] {
        inTick = true;
        QThread::msleep(100);
        // What a clipboard write from a tick does: wait for the GUI thread to run it.
        QMetaObject::invokeMethod(
            &guiObject, [&served] { ++served; }, Qt::BlockingQueuedConnection);
    });
    timer->resume();
    QTRY_VERIFY(inTick.load());
    // The GUI thread is not running its event loop while it tears the timer down.
    timer.reset();
    QVERIFY(served.load() >= 1);
}

void RepeatingTimerTest::cancelledSourceNeverFires()
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

QTEST_GUILESS_MAIN(RepeatingTimerTest)
#include "tst_repeatingtimer.moc"
