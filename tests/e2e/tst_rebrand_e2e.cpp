// A copied URL becomes a branded link on a real X server: the real program against the
// sandbox, signed in through its own sign-in window, with a real notification daemon (dunst)
// and xclip as the other program on the clipboard.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "EndToEndSession.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Costants;

class RebrandEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void copiedUrlIsRebrandedAtOnce();
    void rebrandCommandReachesTheRunningProgram();
    void questionAnsweredInTheDialogue();
    void newLinkFormFromTheClipboard();

private:
    // The body of the last link the sandbox was asked to create.
    [[nodiscard]] QJsonObject lastCreated();

    std::unique_ptr<EndToEndSession> m_session;
    QString m_lastShortUrl;
};

void RebrandEndToEndTest::initTestCase()
{
    const QString missing = SignInDriver::missingPrerequisite(QUORVELLA_BINARY_DIR,
                                                              EndToEndSession::signedInPrograms());
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_session = std::make_unique<EndToEndSession>();
    QVERIFY2(m_session->error().isEmpty(), qPrintable(m_session->error()));
    QVERIFY(m_session->signIn(Preferences::OptionsRebrand::autoRebrand));
    QTest::qWait(1500);
}

QJsonObject RebrandEndToEndTest::lastCreated()
{
    const QJsonArray posts = m_session->requests("POST", "/v1/links");
    return QJsonDocument::fromJson(posts.last()["body"].toString().toUtf8()).object();
}

void RebrandEndToEndTest::copiedUrlIsRebrandedAtOnce()
{
    const QString destination = "https://example.com/articles/2026/a-rather-long-destination"
                                "?utm_source=e2e";
    QProcess xclip;
    QVERIFY(m_session->user->copyToClipboard(xclip, destination));
    m_lastShortUrl = m_session->user->waitForShortUrl(destination, 5000);
    QVERIFY(!m_lastShortUrl.isEmpty());
    DesktopSession::stop(xclip);

    QCOMPARE(m_session->requests("POST", "/v1/links").size(), 1);
    const QJsonObject body = lastCreated();
    QCOMPARE(body["destination"].toString(), destination);
    QVERIFY(!body["slashtag"].toString().isEmpty());
    QVERIFY(!body["title"].toString().isEmpty());
    QVERIFY(m_lastShortUrl.endsWith('/' + body["slashtag"].toString()));

    // The next tick sees the program's own short URL and leaves it alone.
    QVERIFY(m_session->user->waitForLine(
        "this is the last branded link, ignoring: " + m_lastShortUrl, 5000));
    QVERIFY(m_session->notificationSummaries().contains("Link rebranded ✨"));
}

void RebrandEndToEndTest::rebrandCommandReachesTheRunningProgram()
{
    QProcess second;
    QVERIFY(m_session->desktop.start(second, QUORVELLA_BINARY_DIR "/quorvella",
                                     {"--rebrand", "https://example.com/from/the/command/line"}));
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitCode(), 0);
    m_lastShortUrl = m_session->user->waitForShortUrl(m_lastShortUrl, 5000);
    QVERIFY(!m_lastShortUrl.isEmpty());
    QCOMPARE(m_session->requests("POST", "/v1/links").size(), 2);
}

void RebrandEndToEndTest::questionAnsweredInTheDialogue()
{
    QVERIFY(m_session->restart(Preferences::OptionsRebrand::notification));
    const QString destination = "https://example.com/asked/first";
    const qsizetype before = m_session->requests("POST", "/v1/links").size();
    QProcess xclip;
    QVERIFY(m_session->user->copyToClipboard(xclip, destination));
    // "Do you want to Rebrand this link?", in a modal dialogue of the program.
    QVERIFY(m_session->user->waitForWindow("Quorvella", 5000));
    // Nothing is created before the user answers.
    QCOMPARE(m_session->requests("POST", "/v1/links").size(), before);
    // "Rebrand" is the default button.
    QVERIFY(m_session->user->pressKeyIn("Quorvella", "Return"));
    QVERIFY(!m_session->user->waitForShortUrl(destination, 5000).isEmpty());
    DesktopSession::stop(xclip);
    QCOMPARE(m_session->requests("POST", "/v1/links").size(), before + 1);
    QVERIFY(m_session->notificationSummaries().contains("Link rebranded ✨"));
}

void RebrandEndToEndTest::newLinkFormFromTheClipboard()
{
    // The workspace the link list shows; the form offers its domains.
    SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView,
                                          {{"id", "wsp-personal"}, {"name", "Personal"}});
    QVERIFY(m_session->restart(Preferences::OptionsRebrand::askEditLink));
    const QString destination = "https://example.com/opened/in/the/form";
    const qsizetype before = m_session->requests("POST", "/v1/links").size();
    QProcess xclip;
    QVERIFY(m_session->user->copyToClipboard(xclip, destination));
    // The new-link form opens with the copied URL and its proposals; Enter creates.
    QVERIFY(m_session->user->waitForWindow("Quorvella new link", 5000));
    QVERIFY(m_session->user->waitForLine("RESPONSE TITLE", 5000));
    QTest::qWait(500);
    QVERIFY(m_session->user->pressKeyIn("Quorvella new link", "Return"));
    QTRY_COMPARE_WITH_TIMEOUT(m_session->requests("POST", "/v1/links").size(), before + 1, 5000);
    QCOMPARE(lastCreated()["destination"].toString(), destination);
    QCOMPARE(lastCreated()["domainId"].toString(), "dom-quorv-link");
    DesktopSession::stop(xclip);
}

QTEST_GUILESS_MAIN(RebrandEndToEndTest)
#include "tst_rebrand_e2e.moc"
