#include "App/NotificationCenter.h"

#include <QTest>
#include <QThread>

class NotificationCenterTest : public QObject
{
    Q_OBJECT

private slots:
    void observersOfTheNameRunInOrderWithThePayload();
    void destroyedObserversAreNeverCalled();
    void observersRunOnThePostingThread();
};

void NotificationCenterTest::observersOfTheNameRunInOrderWithThePayload()
{
    NotificationCenter center;
    QObject a, b, sender;
    QStringList calls;
    const auto record = [&calls](const QString &who) {
        return [&calls, who](const Notification &n) {
            calls << who + ":" + n.userInfo.value("currentInternetStatus").toString();
        };
    };
    center.addObserver(&b, "qv-close-popover", record("b"));
    center.addObserver(&a, "qv-close-popover", record("a"));
    center.addObserver(&a, "qv-close-popover", record("a2"));
    center.post("qv-close-popover-x");
    center.post("QV-CLOSE-POPOVER");
    QCOMPARE(calls, QStringList());
    center.post("qv-close-popover", &sender, {{"currentInternetStatus", "reachable"}});
    QCOMPARE(calls, (QStringList{"b:reachable", "a:reachable", "a2:reachable"}));
}

void NotificationCenterTest::destroyedObserversAreNeverCalled()
{
    NotificationCenter center;
    int hits = 0;
    {
        QObject shortLived;
        center.addObserver(&shortLived, "n", [&](const Notification &) { ++hits; });
    }
    QCOMPARE(center.observerCount("n"), 0);
    // A view torn down by an earlier observer of the same post.
    QObject first;
    auto *second = new QObject;
    center.addObserver(&first, "n", [&](const Notification &) {
        ++hits;
        delete second;
    });
    center.addObserver(second, "n", [&](const Notification &) { hits += 100; });
    center.post("n");
    QCOMPARE(hits, 1);
}

void NotificationCenterTest::observersRunOnThePostingThread()
{
    NotificationCenter center;
    QObject observer;
    QThread *seen = nullptr;
    center.addObserver(&observer, "n",
                       [&](const Notification &) { seen = QThread::currentThread(); });
    std::unique_ptr<QThread> poster(QThread::create([&] { center.post("n"); }));
    poster->start();
    QVERIFY(poster->wait(10000));
    QCOMPARE(seen, poster.get());
}

QTEST_GUILESS_MAIN(NotificationCenterTest)
#include "tst_notificationcenter.moc"
