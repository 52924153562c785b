// The X clipboard between the running program and other programs: a copy marked secret, a
// link the program's own code pastes from a worker thread, and an owner that never answers.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "EndToEndSession.h"

#include <QStandardPaths>
#include <QTest>

using namespace Costants;

class ClipboardEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void secretIsNeverHandedOn();
    void pastedLinkIsReadByOtherPrograms();
    void ownerThatDoesNotAnswer();

private:
    // Starts one of the test's own helpers on the desktop; it runs until its input closes.
    bool startHelper(QProcess &helper, const QString &name, const QStringList &arguments);
    // Copies with xclip and waits until the program has handed the copy on.
    void copyAndSeeItHandedOn(const QString &text);

    std::unique_ptr<EndToEndSession> m_session;
};

void ClipboardEndToEndTest::initTestCase()
{
    if (QStandardPaths::findExecutable("xclip").isEmpty())
        QSKIP("xclip is not installed");
    m_session = std::make_unique<EndToEndSession>();
    if (m_session->desktop.lacksPrograms())
        QSKIP(qPrintable(m_session->desktop.error()));
    QVERIFY2(m_session->error().isEmpty(), qPrintable(m_session->error()));
    // A signed-in user, as the sign-in leaves it in the shared store.
    SettingsStore::shared().setString(Preferences::userId, "e2e-user");
    QVERIFY(SettingsStore::shared().synchronize());
    QVERIFY(m_session->desktop.start(m_session->user->program(), QUORVELLA_BINARY_DIR "/quorvella",
                                     {}));
    // The first tick only takes in what is there; copies count from then on.
    QVERIFY(m_session->user->waitForLine("first link, ignoring", 15000));
}

bool ClipboardEndToEndTest::startHelper(QProcess &helper, const QString &name,
                                        const QStringList &arguments)
{
    return m_session->desktop.start(helper, QUORVELLA_BINARY_DIR "/" + name, arguments) &&
           QTest::qWaitFor([&] { return helper.peek(1 << 16).contains(": true\n"); }, 5000);
}

void ClipboardEndToEndTest::copyAndSeeItHandedOn(const QString &text)
{
    QProcess xclip;
    QVERIFY(m_session->user->copyToClipboard(xclip, text));
    QVERIFY(m_session->user->waitForLine("copied link handed on: " + text, 5000));
    DesktopSession::stop(xclip);
}

void ClipboardEndToEndTest::secretIsNeverHandedOn()
{
    QProcess writer;
    QVERIFY(startHelper(writer, "clip_writer",
                        {"--secret", "https://vault.example.com/?password=Hunter2"}));
    QTest::qWait(2500); // two ticks at least see the change
    // The next ordinary copy shows the ticks went on; the secret never appeared.
    copyAndSeeItHandedOn("https://example.com/after-secret");
    QVERIFY(!m_session->user->output().contains("vault.example.com"));
    QVERIFY(!m_session->user->output().contains("Hunter2"));
    DesktopSession::stop(writer);
}

void ClipboardEndToEndTest::pastedLinkIsReadByOtherPrograms()
{
    const QString link = "https://quorv.link/e2e-paste";
    QProcess writer;
    QVERIFY(startHelper(writer, "clip_writer", {link}));
    QVERIFY(writer.peek(1 << 16).contains("pasted: true\n"));
    QVERIFY(QString::fromUtf8(writer.peek(1 << 16)).contains("gonna paste: " + link + '\n'));
    QCOMPARE(m_session->user->clipboardText(), link);
    // The running program sees it too, as a change made by another program.
    QVERIFY(m_session->user->waitForLine("copied link handed on: " + link, 5000));
    DesktopSession::stop(writer);
}

void ClipboardEndToEndTest::ownerThatDoesNotAnswer()
{
    QProcess hog;
    QVERIFY(startHelper(hog, "clip_hog", {}));
    // The program asks once, gives up after X11's timeout, and does not ask again.
    const QString gaveUp = "the clipboard owner does not answer";
    QVERIFY(m_session->user->waitForLine(gaveUp, 15000));
    // Still watching: the next copy by a program that answers is handed on.
    copyAndSeeItHandedOn("https://example.com/after-hang");
    QCOMPARE(m_session->user->output().count(gaveUp), 1);
    DesktopSession::stop(hog);
}

QTEST_GUILESS_MAIN(ClipboardEndToEndTest)
#include "tst_clipboard_e2e.moc"
