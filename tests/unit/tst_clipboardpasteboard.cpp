#include "Platform/linux/ClipboardPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

class ClipboardPasteboardTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void changesBySomebodyElse_data();
    void changesBySomebodyElse();
    void burstOfChangesStaysCounted();
    void writeOnGuiThread();
    void writeFromAnotherThread();
    void waylandIsRecognised_data();
    void waylandIsRecognised();
};

void ClipboardPasteboardTest::init()
{
    QGuiApplication::clipboard()->clear();
}

void ClipboardPasteboardTest::changesBySomebodyElse_data()
{
    QTest::addColumn<QString>("text");    // empty: no text format
    QTest::addColumn<QByteArray>("hint"); // empty: no password-manager hint
    QTest::addColumn<int>("expectedItems");
    QTest::addColumn<QString>("expectedText"); // of the first item; empty: none

    QTest::newRow("plain text") << "https://example.com" << QByteArray() << 1
                                << "https://example.com";
    QTest::newRow("secret") << "hunter2" << QByteArray("secret") << 0 << "";
    QTest::newRow("secret with newline") << "hunter2" << QByteArray("secret\n") << 0 << "";
    QTest::newRow("other hint") << "https://example.com" << QByteArray("accepted") << 1
                                << "https://example.com";
    QTest::newRow("no text") << "" << QByteArray() << 1 << "";
}

void ClipboardPasteboardTest::changesBySomebodyElse()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, hint);
    QFETCH(int, expectedItems);
    QFETCH(QString, expectedText);

    ClipboardPasteboard pasteboard;
    const qint64 before = pasteboard.changeCount();
    auto *data = new QMimeData;
    if (!text.isEmpty())
        data->setText(text);
    else
        data->setData(QStringLiteral("image/png"), QByteArrayLiteral("\x89PNG"));
    if (!hint.isEmpty())
        data->setData(QStringLiteral("x-kde-passwordManagerHint"), hint);
    QGuiApplication::clipboard()->setMimeData(data);

    QTRY_VERIFY(pasteboard.changeCount() > before);
    const std::optional<QList<PasteboardItem>> items = pasteboard.items();
    QVERIFY(items.has_value());
    QCOMPARE(items->size(), expectedItems);
    if (expectedItems > 0) {
        QCOMPARE(items->front().plainText.has_value(), !expectedText.isEmpty());
        QCOMPARE(items->front().plainText.value_or(QString()), expectedText);
    }
}

void ClipboardPasteboardTest::burstOfChangesStaysCounted()
{
    ClipboardPasteboard pasteboard;
    const qint64 before = pasteboard.changeCount();
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("one"));
    clipboard->setText(QStringLiteral("two"));
    clipboard->setText(QStringLiteral("three"));
    // One read serves the burst, but each change still counts.
    QTRY_COMPARE(pasteboard.changeCount(), before + 3);
    QCOMPARE(pasteboard.items()->front().plainText,
             std::optional<QString>(QStringLiteral("three")));
}

void ClipboardPasteboardTest::writeOnGuiThread()
{
    ClipboardPasteboard pasteboard;
    const qint64 before = pasteboard.changeCount();
    QVERIFY(pasteboard.setString(QStringLiteral("https://quorv.link/a")));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("https://quorv.link/a"));
    QTRY_VERIFY(pasteboard.changeCount() > before);
    QCOMPARE(pasteboard.items()->front().plainText,
             std::optional<QString>(QStringLiteral("https://quorv.link/a")));
}

void ClipboardPasteboardTest::writeFromAnotherThread()
{
    ClipboardPasteboard pasteboard;
    std::atomic<int> result{-1};
    std::atomic<QThread *> writer{nullptr};
    std::unique_ptr<QThread> thread(QThread::create([&] {
        writer = QThread::currentThread();
        result = pasteboard.setString(QStringLiteral("https://quorv.link/b")) ? 1 : 0;
    }));
    thread->start();
    // The write waits for this thread's event loop, which QTRY_ keeps running.
    QTRY_COMPARE(result.load(), 1);
    QVERIFY(thread->wait(5000));
    QVERIFY(writer.load() != QThread::currentThread());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("https://quorv.link/b"));
}

void ClipboardPasteboardTest::waylandIsRecognised_data()
{
    QTest::addColumn<QString>("platformName");
    QTest::addColumn<bool>("wayland");
    QTest::newRow("wayland") << "wayland" << true;
    QTest::newRow("wayland-egl") << "wayland-egl" << true;
    QTest::newRow("xcb") << "xcb" << false;
    QTest::newRow("offscreen") << "offscreen" << false;
    QTest::newRow("empty") << "" << false;
}

void ClipboardPasteboardTest::waylandIsRecognised()
{
    QFETCH(QString, platformName);
    QFETCH(bool, wayland);
    QCOMPARE(ClipboardPasteboard::isWaylandPlatform(platformName), wayland);
}

QTEST_MAIN(ClipboardPasteboardTest)
#include "tst_clipboardpasteboard.moc"
