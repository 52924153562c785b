#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "DesktopSession.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace Costants;

namespace {

const QString handedOn = QStringLiteral("copied link handed on: ");

// Everything a process has written on its standard output so far, line by line.
class OutputLines
{
public:
    explicit OutputLines(QProcess &process)
        : m_process(process)
    {}
    QStringList lines()
    {
        m_text += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    bool contains(const QString &line) { return lines().contains(line); }
    bool anyContains(const QString &part)
    {
        for (const QString &line : lines()) {
            if (line.contains(part))
                return true;
        }
        return false;
    }
    QString all()
    {
        lines();
        return m_text;
    }

private:
    QProcess &m_process;
    QString m_text;
};

} // namespace

class ClipboardEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void secretIsNeverHandedOn();
    void pastedLinkIsReadByOtherPrograms();
    void ownerThatDoesNotAnswer();

private:
    // Puts a text on the clipboard with xclip, which serves it until stopped.
    void copyWithXclip(QProcess &xclip, const QString &text);

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<DesktopSession> m_desktop;
    std::unique_ptr<QProcess> m_program;
    std::unique_ptr<OutputLines> m_output;
};

void ClipboardEndToEndTest::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
        QSKIP("xclip is not installed");
    m_environment = std::make_unique<TestEnvironment>();

    m_desktop = std::make_unique<DesktopSession>();
    if (m_desktop->lacksPrograms())
        QSKIP(qPrintable(m_desktop->error()));
    QVERIFY2(m_desktop->isReady(), qPrintable(m_desktop->error()));

    // A signed-in user, as the sign-in leaves it in the shared store.
    SettingsStore::shared().setString(Preferences::userId, QStringLiteral("e2e-user"));
    QVERIFY(SettingsStore::shared().synchronize());

    m_program = std::make_unique<QProcess>();
    m_program->setProcessChannelMode(QProcess::SeparateChannels);
    QVERIFY2(m_desktop->start(*m_program, QStringLiteral(QUORVELLA_BINARY_DIR "/quorvella"), {}),
             qPrintable(m_program->errorString()));
    m_output = std::make_unique<OutputLines>(*m_program);
    // The first tick only takes in what is there; copies count from then on.
    QTRY_VERIFY2_WITH_TIMEOUT(m_output->contains(QStringLiteral("first link, ignoring")),
                              qPrintable(m_output->all()), 15000);
}

void ClipboardEndToEndTest::cleanupTestCase()
{
    if (m_program)
        DesktopSession::stop(*m_program);
    m_output.reset();
    m_program.reset();
    m_desktop.reset();
    m_environment.reset();
}

void ClipboardEndToEndTest::copyWithXclip(QProcess &xclip, const QString &text)
{
    // -quiet keeps xclip in the foreground, so the test can stop it.
    QVERIFY(m_desktop->start(
        xclip, QStringLiteral("xclip"),
        {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard")}));
    xclip.write(text.toUtf8());
    xclip.closeWriteChannel();
}

void ClipboardEndToEndTest::secretIsNeverHandedOn()
{
    const QString secret = QStringLiteral("https://vault.example.com/?password=Hunter2");
    QProcess writer;
    writer.setProcessChannelMode(QProcess::SeparateChannels);
    QVERIFY(m_desktop->start(writer, QStringLiteral(QUORVELLA_BINARY_DIR "/clip_writer"),
                             {QStringLiteral("--secret"), secret}));
    OutputLines writerOutput(writer);
    QTRY_VERIFY_WITH_TIMEOUT(writerOutput.contains(QStringLiteral("pasted: true")), 5000);
    // Two ticks at least see the change.
    QTest::qWait(2500);

    // The next ordinary copy shows the ticks went on; the secret never appeared.
    QProcess xclip;
    copyWithXclip(xclip, QStringLiteral("https://example.com/after-secret"));
    QTRY_VERIFY_WITH_TIMEOUT(m_output->contains(handedOn + "https://example.com/after-secret"),
                             5000);
    QVERIFY2(!m_output->anyContains(QStringLiteral("vault.example.com")),
             qPrintable(m_output->all()));
    QVERIFY(!m_output->anyContains(QStringLiteral("Hunter2")));
    DesktopSession::stop(xclip);
    writer.closeWriteChannel();
    QVERIFY(writer.waitForFinished(5000));
}

void ClipboardEndToEndTest::pastedLinkIsReadByOtherPrograms()
{
    const QString link = QStringLiteral("https://quorv.link/e2e-paste");
    QProcess writer;
    writer.setProcessChannelMode(QProcess::SeparateChannels);
    QVERIFY(m_desktop->start(writer, QStringLiteral(QUORVELLA_BINARY_DIR "/clip_writer"), {link}));
    OutputLines writerOutput(writer);
    QTRY_VERIFY2_WITH_TIMEOUT(writerOutput.contains(QStringLiteral("pasted: true")),
                              qPrintable(writerOutput.all()), 5000);
    QVERIFY(writerOutput.contains(QStringLiteral("gonna paste: ") + link));

    QProcess reader;
    QVERIFY(m_desktop->start(
        reader, QStringLiteral("xclip"),
        {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")}));
    QVERIFY(reader.waitForFinished(10000));
    QCOMPARE(QString::fromUtf8(reader.readAllStandardOutput()), link);

    // The running program sees it too, as a change made by another program.
    QTRY_VERIFY_WITH_TIMEOUT(m_output->contains(handedOn + link), 5000);
    writer.closeWriteChannel();
    QVERIFY(writer.waitForFinished(5000));
}

void ClipboardEndToEndTest::ownerThatDoesNotAnswer()
{
    QProcess hog;
    hog.setProcessChannelMode(QProcess::SeparateChannels);
    QVERIFY(m_desktop->start(hog, QStringLiteral(QUORVELLA_BINARY_DIR "/clip_hog"), {}));
    OutputLines hogOutput(hog);
    QTRY_VERIFY_WITH_TIMEOUT(hogOutput.contains(QStringLiteral("owning: true")), 5000);
    // The program asks once, gives up after X11's timeout, and does not ask again.
    QTRY_VERIFY2_WITH_TIMEOUT(
        m_output->contains(QStringLiteral("the clipboard owner does not answer")),
        qPrintable(m_output->all()), 15000);

    // Still watching: the next copy by a program that answers is handed on.
    QProcess xclip;
    copyWithXclip(xclip, QStringLiteral("https://example.com/after-hang"));
    QTRY_VERIFY_WITH_TIMEOUT(m_output->contains(handedOn + "https://example.com/after-hang"), 5000);
    QCOMPARE(m_output->lines().count(QStringLiteral("the clipboard owner does not answer")), 1);
    DesktopSession::stop(xclip);
    hog.closeWriteChannel();
    QVERIFY(hog.waitForFinished(5000));
}

QTEST_GUILESS_MAIN(ClipboardEndToEndTest)
#include "tst_clipboard_e2e.moc"
