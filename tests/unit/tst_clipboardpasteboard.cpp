// The real clipboard and message boxes of the Linux platform, on the offscreen platform.

#include "Platform/linux/ClipboardPasteboard.h"
#include "Platform/linux/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

class ClipboardPasteboardTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QGuiApplication::clipboard()->clear(); }
    void changesBySomebodyElse_data();
    void changesBySomebodyElse();
    void burstAndOwnWrites();
    void writeFromAnotherThread();
    void alertClosedWithoutAButtonAnswersNothing();
};

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
    const PasteboardSnapshot snapshot = pasteboard.snapshot();
    QCOMPARE(snapshot.changeCount, pasteboard.changeCount());
    QVERIFY(snapshot.items.has_value());
    QCOMPARE(snapshot.items->size(), expectedItems);
    if (expectedItems > 0)
        QCOMPARE(snapshot.items->front().plainText.value_or(QString()), expectedText);
}

void ClipboardPasteboardTest::burstAndOwnWrites()
{
    ClipboardPasteboard pasteboard;
    const qint64 before = pasteboard.changeCount();
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("one"));
    clipboard->setText(QStringLiteral("two"));
    QVERIFY(pasteboard.setString(QStringLiteral("https://quorv.link/a")));
    QCOMPARE(clipboard->text(), QStringLiteral("https://quorv.link/a"));
    // One read serves the burst, but each change still counts.
    QTRY_COMPARE(pasteboard.changeCount(), before + 3);
    QCOMPARE(pasteboard.snapshot().items->front().plainText,
             std::optional<QString>(QStringLiteral("https://quorv.link/a")));
}

void ClipboardPasteboardTest::writeFromAnotherThread()
{
    ClipboardPasteboard pasteboard;
    std::atomic<int> result{-1};
    std::unique_ptr<QThread> thread(QThread::create(
        [&] { result = pasteboard.setString(QStringLiteral("https://quorv.link/b")) ? 1 : 0; }));
    thread->start();
    // The write waits for this thread's event loop, which QTRY_ keeps running.
    QTRY_COMPARE(result.load(), 1);
    QVERIFY(thread->wait(5000));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("https://quorv.link/b"));
}

void ClipboardPasteboardTest::alertClosedWithoutAButtonAnswersNothing()
{
    MessageBoxAlertPresenter presenter;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->reject();
    });
    closer.start(20);
    const int answer = presenter.runModal({"Rebrand?",
                                           "https://example.com",
                                           Alert::Style::Warning,
                                           {QStringLiteral("Rebrand"), QStringLiteral("Cancel")}});
    QCOMPARE(answer, AlertPresenter::NoAnswer);
}

QTEST_MAIN(ClipboardPasteboardTest)
#include "tst_clipboardpasteboard.moc"
