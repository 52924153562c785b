#include "App/NotificationCenter.h"

#include <QTest>
#include <QThread>

class NotificationCenterTest : public QObject
{
    Q_OBJECT

private slots:
    void observersRunInRegistrationOrder();
    void onlyObserversOfTheNameRun();
    void destroyedObserverIsRemoved();
    void observerRemovedDuringPostIsNotCalled();
    void observersRunOnThePostingThread();
    void payloadReachesObserver();
};

void NotificationCenterTest::observersRunInRegistrationOrder()
{
    NotificationCenter center;
    QObject a, b, c;
    QStringList calls;
    center.addObserver(&b, "n", [&](const Notification &) { calls << "b"; });
    center.addObserver(&a, "n", [&](const Notification &) { calls << "a"; });
    center.addObserver(&c, "n", [&](const Notification &) { calls << "c"; });
    center.addObserver(&a, "n", [&](const Notification &) { calls << "a2"; });
    center.post("n");
    QCOMPARE(calls, (QStringList{"b", "a", "c", "a2"}));
}

void NotificationCenterTest::onlyObserversOfTheNameRun()
{
    NotificationCenter center;
    QObject observer;
    int hits = 0;
    center.addObserver(&observer, "qv-close-popover", [&](const Notification &) { ++hits; });
    center.post("qv-close-popover-x");
    center.post("QV-CLOSE-POPOVER");
    QCOMPARE(hits, 0);
    center.post("qv-close-popover");
    QCOMPARE(hits, 1);
}

void NotificationCenterTest::destroyedObserverIsRemoved()
{
    NotificationCenter center;
    int hits = 0;
    {
        QObject shortLived;
        center.addObserver(&shortLived, "n", [&](const Notification &) { ++hits; });
        QCOMPARE(center.observerCount("n"), 1);
    }
    QCOMPARE(center.observerCount("n"), 0);
    center.post("n");
    QCOMPARE(hits, 0);
}

void NotificationCenterTest::observerRemovedDuringPostIsNotCalled()
{
    NotificationCenter center;
    QObject first;
    auto *second = new QObject;
    int secondHits = 0;
    int firstHits = 0;
    center.addObserver(&first, "n", [&](const Notification &) {
        ++firstHits;
        delete second; // a view torn down by an earlier observer of the same post
    });
    center.addObserver(second, "n", [&](const Notification &) { ++secondHits; });
    center.post("n");
    QCOMPARE(firstHits, 1);
    QCOMPARE(secondHits, 0);
}

void NotificationCenterTest::observersRunOnThePostingThread()
{
    NotificationCenter center;
    QObject observer;
    QThread *seen = nullptr;
    center.addObserver(&observer, "n",
                       [&](const Notification &) { seen = QThread::currentThread(); });
    QThread *poster = QThread::create([&] { center.post("n"); });
    poster->start();
    QVERIFY(poster->wait(10000));
    QCOMPARE(seen, poster);
    delete poster;
}

void NotificationCenterTest::payloadReachesObserver()
{
    NotificationCenter center;
    QObject observer;
    QObject sender;
    Notification received;
    center.addObserver(&observer, "qv-change-internet-reachability",
                       [&](const Notification &n) { received = n; });
    center.post(
        "qv-change-internet-reachability", &sender,
        {{"previousInternetStatus", "notReachable"}, {"currentInternetStatus", "reachable"}});
    QCOMPARE(received.name, QStringLiteral("qv-change-internet-reachability"));
    QCOMPARE(received.object, &sender);
    QCOMPARE(received.userInfo.value("currentInternetStatus").toString(),
             QStringLiteral("reachable"));
}

QTEST_GUILESS_MAIN(NotificationCenterTest)
#include "tst_notificationcenter.moc"
