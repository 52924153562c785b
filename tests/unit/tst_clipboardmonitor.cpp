#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "LogCapture.h"
#include "Platform/linux/ClipboardPasteboard.h"
#include "Platform/testing/FakePlatform.h"
#include "TestEnvironment.h"
#include "Utils/ClipboardMonitor.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>

#include <memory>

using namespace Costants;

namespace {

const QString handedOn = QStringLiteral("copied link handed on: ");

} // namespace

class ClipboardMonitorTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void copiedTexts_data();
    void copiedTexts();
    void createdIdle();
    void firstTickIgnoresWhatIsThere_data();
    void firstTickIgnoresWhatIsThere();
    void unchangedCountReadsNothingElse();
    void sameTextCopiedTwiceIsExaminedTwice();
    void rejectedCopyIsNotLookedAtAgain();
    void itemsWithoutText_data();
    void itemsWithoutText();
    void pasteLink_data();
    void pasteLink();
    void ownPastedLinkIsDroppedNextTick();
    void signOutBetweenTicks();
    void ticksRunOnTheTimerThread();
    void secretContentIsNeverHandedOn();

private:
    // One tick to take in whatever is on the clipboard at start.
    void settle(ClipboardMonitor &monitor);

    std::unique_ptr<TestEnvironment> m_environment;
    FakePlatform *m_platform = nullptr;
};

void ClipboardMonitorTest::init()
{
    m_environment = std::make_unique<TestEnvironment>();
    m_platform = &FakePlatform::installNew();
}

void ClipboardMonitorTest::cleanup()
{
    m_platform = nullptr;
    m_environment.reset();
}

void ClipboardMonitorTest::settle(ClipboardMonitor &monitor)
{
    monitor.periodicCheck();
    QCOMPARE(monitor.lastChange(), m_platform->fakePasteboard.changeCount());
}

void ClipboardMonitorTest::copiedTexts_data()
{
    QTest::addColumn<QStringList>("copied"); // one change, one item per text
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<QString>("lastBranded"); // empty: none stored
    QTest::addColumn<QStringList>("domainNames");
    QTest::addColumn<QStringList>("expectedLog");

    const QStringList none;
    const QStringList branded = {"quorv.link"};
    auto accepted = [](const QString &host, const QString &url) {
        return QStringList{"checking DOMAIN NAME: " + host, "USER LOGGED", handedOn + url};
    };

    QTest::newRow("capitalised schemeless") << QStringList{"Example.com/Path"} << true << "" << none
                                            << accepted("example.com", "https://example.com/Path");
    QTest::newRow("http keeps scheme") << QStringList{"http://example.com/x"} << true << "" << none
                                       << accepted("example.com", "http://example.com/x");
    QTest::newRow("https kept") << QStringList{"https://example.com"} << true << "" << none
                                << accepted("example.com", "https://example.com");
    QTest::newRow("capital scheme") << QStringList{"Https://example.com/A"} << true << "" << none
                                    << accepted("example.com", "https://example.com/A");
    QTest::newRow("upper-case scheme kept")
        << QStringList{"HTTP://EXAMPLE.COM"} << true << "" << none
        << accepted("EXAMPLE.COM", "hTTP://EXAMPLE.COM");
    QTest::newRow("ftp kept") << QStringList{"ftp://files.example.com/a"} << true << "" << none
                              << accepted("files.example.com", "ftp://files.example.com/a");
    QTest::newRow("blank inside") << QStringList{"WWW.Example.COM/A B"} << true << "" << none
                                  << QStringList{};
    QTest::newRow("www schemeless") << QStringList{"Www.intranet/Home"} << true << "" << none
                                    << accepted("www.intranet", "https://www.intranet/Home");
    QTest::newRow("http with at") << QStringList{"http://me@example.com/x"} << true << "" << none
                                  << accepted("example.com", "http://me@example.com/x");
    QTest::newRow("e-mail") << QStringList{"Jane@example.com"} << true << "" << none
                            << QStringList{"it is only an email..."};
    QTest::newRow("leading blank")
        << QStringList{" https://example.com"} << true << "" << none << QStringList{};
    QTest::newRow("trailing blank")
        << QStringList{"https://example.com "} << true << "" << none << QStringList{};
    QTest::newRow("trailing newline")
        << QStringList{"https://example.com\n"} << true << "" << none << QStringList{};
    QTest::newRow("two urls one text")
        << QStringList{"https://a.com https://b.com"} << true << "" << none << QStringList{};
    QTest::newRow("prose") << QStringList{"Have a look at example.com"} << true << "" << none
                           << QStringList{};
    QTest::newRow("empty text") << QStringList{""} << true << "" << none << QStringList{};
    QTest::newRow("branded link") << QStringList{"https://quorv.link/abc"} << true << "" << branded
                                  << QStringList{"checking DOMAIN NAME: quorv.link"};
    QTest::newRow("branded schemeless capital")
        << QStringList{"Quorv.link/abc"} << true << "" << branded
        << QStringList{"checking DOMAIN NAME: quorv.link"};
    QTest::newRow("branded other case")
        << QStringList{"https://QUORV.LINK/abc"} << true << "" << branded
        << accepted("QUORV.LINK", "https://QUORV.LINK/abc");
    QTest::newRow("last branded link")
        << QStringList{"https://quorv.link/xyz"} << true << "https://quorv.link/xyz" << branded
        << QStringList{"this is the last branded link, ignoring: https://quorv.link/xyz",
                       "requested was: https://quorv.link/xyz"};
    QTest::newRow("last branded link capitalised")
        << QStringList{"Https://quorv.link/xyz"} << true << "https://quorv.link/xyz" << none
        << QStringList{"this is the last branded link, ignoring: https://quorv.link/xyz",
                       "requested was: https://quorv.link/xyz"};
    QTest::newRow("other than last branded")
        << QStringList{"https://example.com/xyz"} << true << "https://quorv.link/xyz" << none
        << accepted("example.com", "https://example.com/xyz");
    QTest::newRow("not signed in")
        << QStringList{"https://example.com"} << false << "" << none
        << QStringList{"checking DOMAIN NAME: example.com", "USER NOT LOGGED"};
    QTest::newRow("two items two hand-offs")
        << QStringList{"https://a.com", "Example.org/x"} << true << "" << none
        << accepted("a.com", "https://a.com") + accepted("example.org", "https://example.org/x");
    QTest::newRow("two items one rejected")
        << QStringList{"no link here", "https://b.com/2"} << true << "" << none
        << accepted("b.com", "https://b.com/2");
    QTest::newRow("two items not signed in")
        << QStringList{"https://a.com", "https://b.com"} << false << "" << none
        << QStringList{"checking DOMAIN NAME: a.com", "USER NOT LOGGED",
                       "checking DOMAIN NAME: b.com", "USER NOT LOGGED"};
}

void ClipboardMonitorTest::copiedTexts()
{
    QFETCH(QStringList, copied);
    QFETCH(bool, signedIn);
    QFETCH(QString, lastBranded);
    QFETCH(QStringList, domainNames);
    QFETCH(QStringList, expectedLog);

    SettingsStore &store = SettingsStore::shared();
    if (signedIn)
        store.setString(Preferences::userId, QStringLiteral("user-1"));
    if (!lastBranded.isEmpty())
        store.setString(Preferences::lastBrandedLinkStored, lastBranded);
    if (!domainNames.isEmpty())
        store.setStringArray(Preferences::domainNames, domainNames);

    ClipboardMonitor monitor;
    settle(monitor);
    LogCapture log;
    m_platform->fakePasteboard.copyTexts(copied);
    monitor.periodicCheck();
    QCOMPARE(log.lines(), expectedLog);
    QCOMPARE(monitor.lastChange(), m_platform->fakePasteboard.changeCount());
}

void ClipboardMonitorTest::createdIdle()
{
    ClipboardMonitor monitor;
    QCOMPARE(monitor.lastChange(), qint64(-1));
    QCOMPARE(monitor.repeatingTimer().timeInterval(), 1.0);
    QCOMPARE(monitor.repeatingTimer().state(), RepeatingTimer::State::suspended);
    QVERIFY(!monitor.repeatingTimer().hasTimer());
    QCOMPARE(m_platform->fakePasteboard.changeCountReads(), 0);
}

void ClipboardMonitorTest::firstTickIgnoresWhatIsThere_data()
{
    QTest::addColumn<int>("changesBeforeStart");
    QTest::newRow("untouched clipboard") << 0;
    QTest::newRow("copied just before") << 1;
    QTest::newRow("many copies before") << 5;
}

void ClipboardMonitorTest::firstTickIgnoresWhatIsThere()
{
    QFETCH(int, changesBeforeStart);
    SettingsStore::shared().setString(Preferences::userId, QStringLiteral("user-1"));
    for (int i = 0; i < changesBeforeStart; ++i)
        m_platform->fakePasteboard.copyTexts({QStringLiteral("https://example.com/%1").arg(i)});

    ClipboardMonitor monitor;
    LogCapture log;
    monitor.periodicCheck();
    QCOMPARE(log.lines(), QStringList{"first link, ignoring"});
    QCOMPARE(monitor.lastChange(), qint64(changesBeforeStart));
    QCOMPARE(m_platform->fakePasteboard.itemReads(), 0);
}

void ClipboardMonitorTest::unchangedCountReadsNothingElse()
{
    m_platform->fakePasteboard.copyTexts({QStringLiteral("https://example.com")});
    ClipboardMonitor monitor;
    settle(monitor);
    LogCapture log;
    const int readsBefore = m_platform->fakePasteboard.changeCountReads();
    for (int i = 0; i < 5; ++i)
        monitor.periodicCheck();
    QCOMPARE(m_platform->fakePasteboard.changeCountReads(), readsBefore + 5);
    QCOMPARE(m_platform->fakePasteboard.itemReads(), 0);
    QVERIFY(log.lines().isEmpty());
}

void ClipboardMonitorTest::sameTextCopiedTwiceIsExaminedTwice()
{
    SettingsStore::shared().setString(Preferences::userId, QStringLiteral("user-1"));
    ClipboardMonitor monitor;
    settle(monitor);
    LogCapture log;
    m_platform->fakePasteboard.copyTexts({QStringLiteral("https://example.com/a")});
    monitor.periodicCheck();
    m_platform->fakePasteboard.bumpChangeCount();
    monitor.periodicCheck();
    QCOMPARE(log.count(handedOn + "https://example.com/a"), 2);
}

void ClipboardMonitorTest::rejectedCopyIsNotLookedAtAgain()
{
    ClipboardMonitor monitor;
    settle(monitor);
    LogCapture log;
    m_platform->fakePasteboard.copyTexts({QStringLiteral("jane@example.com")});
    monitor.periodicCheck();
    monitor.periodicCheck();
    monitor.periodicCheck();
    QCOMPARE(log.lines(), QStringList{"it is only an email..."});
    QCOMPARE(m_platform->fakePasteboard.itemReads(), 1);
}

void ClipboardMonitorTest::itemsWithoutText_data()
{
    QTest::addColumn<bool>("absent");
    QTest::addColumn<int>("textlessItems");
    QTest::addColumn<QString>("textAfter"); // empty: no text item after them
    QTest::addColumn<QStringList>("expectedLog");

    QTest::newRow("no data at all") << true << 0 << "" << QStringList{};
    QTest::newRow("empty item list") << false << 0 << "" << QStringList{};
    QTest::newRow("one image item") << false << 1 << "" << QStringList{};
    QTest::newRow("image then url") << false << 2 << "https://example.com"
                                    << QStringList{"checking DOMAIN NAME: example.com",
                                                   "USER LOGGED", handedOn + "https://example.com"};
}

void ClipboardMonitorTest::itemsWithoutText()
{
    QFETCH(bool, absent);
    QFETCH(int, textlessItems);
    QFETCH(QString, textAfter);
    QFETCH(QStringList, expectedLog);
    SettingsStore::shared().setString(Preferences::userId, QStringLiteral("user-1"));
    ClipboardMonitor monitor;
    settle(monitor);
    LogCapture log;
    if (absent) {
        m_platform->fakePasteboard.setItems(std::nullopt);
    } else {
        QList<PasteboardItem> items(textlessItems);
        if (!textAfter.isEmpty())
            items.append(PasteboardItem{textAfter});
        m_platform->fakePasteboard.setItems(items);
    }
    monitor.periodicCheck();
    QCOMPARE(log.lines(), expectedLog);
}

void ClipboardMonitorTest::pasteLink_data()
{
    QTest::addColumn<bool>("store");
    QTest::addColumn<bool>("failWrite");
    QTest::newRow("store") << true << false;
    QTest::newRow("no store") << false << false;
    QTest::newRow("store, clipboard refuses") << true << true;
    QTest::newRow("no store, clipboard refuses") << false << true;
}

void ClipboardMonitorTest::pasteLink()
{
    QFETCH(bool, store);
    QFETCH(bool, failWrite);
    const QString link = QStringLiteral("https://quorv.link/new");
    SettingsStore::shared().setString(Preferences::lastBrandedLinkStored,
                                      QStringLiteral("https://quorv.link/old"));
    m_platform->fakePasteboard.setFailWrites(failWrite);
    LogCapture log;

    QCOMPARE(ClipboardMonitor::pasteLink(link, store), !failWrite);
    QStringList expected{"gonna paste: " + link};
    if (store)
        expected.append("storing: " + link);
    QCOMPARE(log.lines(), expected);
    QCOMPARE(m_platform->fakePasteboard.writes(), QStringList{link});
    QCOMPARE(SettingsStore::shared().stringForKey(Preferences::lastBrandedLinkStored),
             std::optional<QString>(store ? link : QStringLiteral("https://quorv.link/old")));
    const std::optional<QList<PasteboardItem>> items = m_platform->fakePasteboard.items();
    QCOMPARE(items.has_value(), !failWrite);
}

void ClipboardMonitorTest::ownPastedLinkIsDroppedNextTick()
{
    SettingsStore::shared().setString(Preferences::userId, QStringLiteral("user-1"));
    ClipboardMonitor monitor;
    settle(monitor);
    LogCapture log;
    const QString link = QStringLiteral("https://short.example/abc");
    QVERIFY(ClipboardMonitor::pasteLink(link, true));
    log.clear();
    monitor.periodicCheck();
    QCOMPARE(log.lines(), (QStringList{"this is the last branded link, ignoring: " + link,
                                       "requested was: " + link}));

    // Without storing, the link pasted is examined like any copy.
    QVERIFY(ClipboardMonitor::pasteLink(QStringLiteral("https://example.com/copied"), false));
    log.clear();
    monitor.periodicCheck();
    QCOMPARE(log.count(handedOn + "https://example.com/copied"), 1);
}

void ClipboardMonitorTest::signOutBetweenTicks()
{
    SettingsStore &store = SettingsStore::shared();
    store.setString(Preferences::userId, QStringLiteral("user-1"));
    ClipboardMonitor monitor;
    settle(monitor);
    LogCapture log;
    m_platform->fakePasteboard.copyTexts({QStringLiteral("https://example.com/1")});
    monitor.periodicCheck();
    store.removeKeys(Preferences::signOutKeys);
    m_platform->fakePasteboard.copyTexts({QStringLiteral("https://example.com/2")});
    monitor.periodicCheck();
    QCOMPARE(log.count(QStringLiteral("USER LOGGED")), 1);
    QCOMPARE(log.count(QStringLiteral("USER NOT LOGGED")), 1);
    QCOMPARE(log.count(handedOn + "https://example.com/2"), 0);
}

void ClipboardMonitorTest::ticksRunOnTheTimerThread()
{
    SettingsStore::shared().setString(Preferences::userId, QStringLiteral("user-1"));
    m_platform->fakePasteboard.copyTexts({QStringLiteral("https://example.com/at-start")});
    LogCapture log;
    {
        ClipboardMonitor monitor;
        monitor.start();
        QCOMPARE(monitor.repeatingTimer().state(), RepeatingTimer::State::resumed);
        QVERIFY(monitor.repeatingTimer().hasEventHandler());
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(QStringLiteral("first link, ignoring")), 5000);
        QVERIFY(m_platform->fakePasteboard.lastReader() != nullptr);
        QVERIFY(m_platform->fakePasteboard.lastReader() != QThread::currentThread());

        m_platform->fakePasteboard.copyTexts({QStringLiteral("Example.com/copied")});
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(handedOn + "https://example.com/copied"), 5000);
        QCOMPARE(log.count(handedOn + "https://example.com/at-start"), 0);
    }
    // Gone with the monitor: no tick reads the clipboard any more.
    const int reads = m_platform->fakePasteboard.changeCountReads();
    QTest::qWait(1500);
    QCOMPARE(m_platform->fakePasteboard.changeCountReads(), reads);
}

void ClipboardMonitorTest::secretContentIsNeverHandedOn()
{
    SettingsStore::shared().setString(Preferences::userId, QStringLiteral("user-1"));
    ClipboardPasteboard clipboard;
    m_platform->realPasteboard = &clipboard;
    ClipboardMonitor monitor;
    monitor.periodicCheck();
    LogCapture log;

    const QString secret = QStringLiteral("https://bank.example.com/?password=hunter2");
    auto *data = new QMimeData;
    data->setText(secret);
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    const qint64 before = clipboard.changeCount();
    QGuiApplication::clipboard()->setMimeData(data);
    QTRY_VERIFY(clipboard.changeCount() > before);
    monitor.periodicCheck();

    QCOMPARE(monitor.lastChange(), clipboard.changeCount());
    for (const QString &line : log.lines())
        QVERIFY2(!line.contains(QStringLiteral("bank.example.com")), qPrintable(line));
    QVERIFY(log.lines().isEmpty());

    // The next ordinary copy is handed on as usual.
    QGuiApplication::clipboard()->setText(QStringLiteral("https://example.com/after"));
    QTRY_VERIFY(clipboard.changeCount() > monitor.lastChange());
    monitor.periodicCheck();
    QCOMPARE(log.count(handedOn + "https://example.com/after"), 1);
    m_platform->realPasteboard = nullptr;
}

QTEST_MAIN(ClipboardMonitorTest)
#include "tst_clipboardmonitor.moc"
