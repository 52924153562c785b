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

// The log without the lines every accepted link writes on its way.
QStringList outcome(const LogCapture &log)
{
    QStringList lines = log.lines();
    lines.removeIf([](const QString &line) {
        return line.startsWith("checking DOMAIN NAME: ") || line == "USER LOGGED" ||
               line.startsWith("requested was: ") || line.startsWith("gonna paste: ") ||
               line.startsWith("storing: ");
    });
    return lines;
}

} // namespace

class ClipboardMonitorTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void copiedTexts_data();
    void copiedTexts();
    void ticks_data();
    void ticks();
    void pasteLink_data();
    void pasteLink();
    void ticksRunOnTheTimerThread();
    void secretContentIsNeverHandedOn();

private:
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

// One copy after the first tick: what is handed on, and what the log says.
void ClipboardMonitorTest::copiedTexts_data()
{
    QTest::addColumn<QStringList>("copied"); // one change, one item per text
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<QString>("lastBranded"); // empty: none stored
    QTest::addColumn<QStringList>("expectedLog");

    QTest::newRow("capitalised schemeless") << QStringList{"Example.com/Path"} << true << ""
                                            << QStringList{handedOn + "https://example.com/Path"};
    QTest::newRow("e-mail") << QStringList{"Jane@example.com"} << true << ""
                            << QStringList{"it is only an email..."};
    QTest::newRow("own short link")
        << QStringList{"https://quorv.link/abc"} << true << "" << QStringList{};
    QTest::newRow("password") << QStringList{"https://me:pw@example.com/x"} << true << ""
                              << QStringList{"link with a password, not rebranded: "
                                             "https://me:<redacted>@example.com/x"};
    QTest::newRow("last branded link")
        << QStringList{"Https://quorv.link/xyz"} << true << "https://quorv.link/xyz"
        << QStringList{"this is the last branded link, ignoring: https://quorv.link/xyz"};
    QTest::newRow("other than last branded")
        << QStringList{"https://example.com/xyz"} << true << "https://quorv.link/xyz"
        << QStringList{handedOn + "https://example.com/xyz"};
    QTest::newRow("not signed in")
        << QStringList{"https://example.com"} << false << "" << QStringList{"USER NOT LOGGED"};
    QTest::newRow("two items two hand-offs")
        << QStringList{"https://a.com", "Example.org/x"} << true << ""
        << QStringList{handedOn + "https://a.com", handedOn + "https://example.org/x"};
    QTest::newRow("two items one rejected")
        << QStringList{"no link here", "https://b.com/2"} << true << ""
        << QStringList{handedOn + "https://b.com/2"};
}

void ClipboardMonitorTest::copiedTexts()
{
    QFETCH(QStringList, copied);
    QFETCH(bool, signedIn);
    QFETCH(QString, lastBranded);
    QFETCH(QStringList, expectedLog);
    SettingsStore &store = SettingsStore::shared();
    if (signedIn)
        store.setString(Preferences::userId, QStringLiteral("user-1"));
    if (!lastBranded.isEmpty())
        store.setString(Preferences::lastBrandedLinkStored, lastBranded);
    store.setStringArray(Preferences::domainNames, {"quorv.link"});

    ClipboardMonitor monitor;
    monitor.periodicCheck();
    LogCapture log;
    m_platform->fakePasteboard.copyTexts(copied);
    monitor.periodicCheck();
    QCOMPARE(outcome(log), expectedLog);
    QCOMPARE(monitor.lastChange(), m_platform->fakePasteboard.changeCount());
}

// Sequences of ticks and clipboard changes. Steps: "tick"; "copy:A|B" (one change, one item
// per text, "-" an item without text); "none" (no data at all); "same" (the same text copied
// again); "paste:X" / "pasteOnly:X" (pasteLink with and without store); "signout";
// "race:X" (another program copies X right after the next read of the clipboard).
void ClipboardMonitorTest::ticks_data()
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
    QTest::newRow("a rejected copy is not looked at again")
        << QStringList{"tick", "copy:jane@example.com", "tick", "tick"}
        << QStringList{first, "it is only an email..."};
    QTest::newRow("own stored paste is dropped, an unstored one is not")
        << QStringList{"tick", "paste:" + a, "tick", "pasteOnly:" + b, "tick"}
        << QStringList{first, "this is the last branded link, ignoring: " + a, handedOn + b};
    QTest::newRow("sign-out between ticks")
        << QStringList{"tick", "copy:" + a, "tick", "signout", "copy:" + b, "tick"}
        << QStringList{first, handedOn + a, "USER NOT LOGGED"};
    QTest::newRow("no data, no text")
        << QStringList{"tick", "none", "tick", "copy:-", "tick", "copy:-|" + a, "tick"}
        << QStringList{first, handedOn + a};
    QTest::newRow("a copy during a tick is handed on once")
        << QStringList{"tick", "copy:" + a, "race:" + b, "tick", "tick", "tick"}
        << QStringList{first, handedOn + a, handedOn + b};
}

void ClipboardMonitorTest::ticks()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expectedLog);
    SettingsStore &store = SettingsStore::shared();
    store.setString(Preferences::userId, QStringLiteral("user-1"));
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
        } else if (step == "signout") {
            store.removeKeys(Preferences::signOutKeys);
        } else if (step.startsWith("race:")) {
            clipboard.copyAfterNextRead({argument});
        }
    }
    QCOMPARE(outcome(log), expectedLog);
}

void ClipboardMonitorTest::pasteLink_data()
{
    QTest::addColumn<bool>("store");
    QTest::addColumn<bool>("failWrite");
    QTest::newRow("store") << true << false;
    QTest::newRow("no store") << false << false;
    QTest::newRow("store, clipboard refuses") << true << true;
}

void ClipboardMonitorTest::pasteLink()
{
    QFETCH(bool, store);
    QFETCH(bool, failWrite);
    const QString link = QStringLiteral("https://quorv.link/new");
    const QString old = QStringLiteral("https://quorv.link/old");
    SettingsStore::shared().setString(Preferences::lastBrandedLinkStored, old);
    m_platform->fakePasteboard.setFailWrites(failWrite);
    LogCapture log;
    QCOMPARE(ClipboardMonitor::pasteLink(link, store), !failWrite);
    QStringList expected{"gonna paste: " + link};
    if (store)
        expected.append("storing: " + link);
    QCOMPARE(log.lines(), expected);
    QCOMPARE(m_platform->fakePasteboard.writes(), QStringList{link});
    QCOMPARE(SettingsStore::shared().stringForKey(Preferences::lastBrandedLinkStored),
             std::optional<QString>(store ? link : old));
}

void ClipboardMonitorTest::ticksRunOnTheTimerThread()
{
    SettingsStore::shared().setString(Preferences::userId, QStringLiteral("user-1"));
    m_platform->fakePasteboard.copyTexts({QStringLiteral("https://example.com/at-start")});
    LogCapture log;
    {
        ClipboardMonitor monitor;
        monitor.start();
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(QStringLiteral("first link, ignoring")), 5000);
        QVERIFY(m_platform->fakePasteboard.lastReader() != nullptr);
        QVERIFY(m_platform->fakePasteboard.lastReader() != QThread::currentThread());
        m_platform->fakePasteboard.copyTexts({QStringLiteral("Example.com/copied")});
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(handedOn + "https://example.com/copied"), 5000);
    }
    // Gone with the monitor: no tick reads the clipboard any more.
    const int reads = m_platform->fakePasteboard.snapshotReads();
    QTest::qWait(1500);
    QCOMPARE(m_platform->fakePasteboard.snapshotReads(), reads);
}

void ClipboardMonitorTest::secretContentIsNeverHandedOn()
{
    SettingsStore::shared().setString(Preferences::userId, QStringLiteral("user-1"));
    ClipboardPasteboard clipboard;
    m_platform->realPasteboard = &clipboard;
    ClipboardMonitor monitor;
    monitor.periodicCheck();
    LogCapture log;

    auto *data = new QMimeData;
    data->setText(QStringLiteral("https://bank.example.com/?password=hunter2"));
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    const qint64 before = clipboard.changeCount();
    QGuiApplication::clipboard()->setMimeData(data);
    QTRY_VERIFY(clipboard.changeCount() > before);
    monitor.periodicCheck();
    QCOMPARE(monitor.lastChange(), clipboard.changeCount());
    QCOMPARE(log.lines(), QStringList());

    // The next ordinary copy is handed on as usual.
    QGuiApplication::clipboard()->setText(QStringLiteral("https://example.com/after"));
    QTRY_VERIFY(clipboard.changeCount() > monitor.lastChange());
    monitor.periodicCheck();
    QCOMPARE(log.count(handedOn + "https://example.com/after"), 1);
    m_platform->realPasteboard = nullptr;
}

QTEST_MAIN(ClipboardMonitorTest)
#include "tst_clipboardmonitor.moc"
