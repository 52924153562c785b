// A copied URL becomes a branded link on a real X server: the real program against the
// sandbox, signed in through its own sign-in window, with a real notification daemon (dunst)
// and xclip as the other program on the clipboard.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "DesktopSession.h"
#include "SandboxProcess.h"
#include "SignInDriver.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace Costants;

class RebrandEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void copiedUrlIsRebrandedAtOnce();
    void rebrandCommandReachesTheRunningProgram();
    void questionAnsweredInTheDialogue();
    void newLinkFormFromTheClipboard();

private:
    // Waits for a short URL of the sandbox on the clipboard, other than the one given.
    QString waitForShortUrl(const QString &previous, int timeoutMs);
    [[nodiscard]] QJsonArray createdLinks();
    [[nodiscard]] QStringList notificationSummaries();
    void restartProgram(const QString &rule);

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<DesktopSession> m_desktop;
    // Outlives the program's restarts, so the signed-in user stays known to it.
    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<SignInDriver> m_user;
    QProcess m_daemon;
    QString m_lastShortUrl;
};

void RebrandEndToEndTest::initTestCase()
{
    const QString missing = SignInDriver::missingPrerequisite(
        QStringLiteral(QUORVELLA_BINARY_DIR),
        {QStringLiteral("xclip"), QStringLiteral("dunst"), QStringLiteral("dunstctl")});
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_environment = std::make_unique<TestEnvironment>();
    m_desktop = std::make_unique<DesktopSession>();
    QVERIFY2(m_desktop->isReady(), qPrintable(m_desktop->error()));
    QVERIFY(m_desktop->start(m_daemon, QStringLiteral("dunst"), {}));
    SignInDriver::seedPreferences(Preferences::OptionsRebrand::autoRebrand);
    m_user = std::make_unique<SignInDriver>(*m_desktop);
    QVERIFY(m_user->trayHostRunning());
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY(m_sandbox->isRunning());
    QVERIFY(m_user->startProgram(QStringLiteral(QUORVELLA_BINARY_DIR),
                                 m_sandbox->baseUrl().toString()));
    QVERIFY2(m_user->signInWithDemoAccount(), qPrintable(m_user->output()));
    // The account's domains give the default workspace and domain.
    QVERIFY2(m_user->waitForLine("setting domains first authentication", 15000),
             qPrintable(m_user->output()));
    QTest::qWait(1500);
}

void RebrandEndToEndTest::cleanupTestCase()
{
    m_user.reset();
    m_sandbox.reset();
    DesktopSession::stop(m_daemon);
    m_desktop.reset();
    m_environment.reset();
}

QString RebrandEndToEndTest::waitForShortUrl(const QString &previous, int timeoutMs)
{
    const QString shortUrl = m_user->waitForShortUrl(previous, timeoutMs);
    if (shortUrl.isEmpty()) {
        // The program's last words say where the chain stopped.
        const QStringList lines = m_user->output().split(QLatin1Char('\n'));
        qWarning("%s", qPrintable(lines.mid(std::max<qsizetype>(0, lines.size() - 40)).join('\n')));
    }
    return shortUrl;
}

QJsonArray RebrandEndToEndTest::createdLinks()
{
    return QJsonDocument::fromJson(
               m_user->sandboxControl(QStringLiteral("requests?method=POST&path=/v1/links")))
        .object()
        .value(QStringLiteral("requests"))
        .toArray();
}

QStringList RebrandEndToEndTest::notificationSummaries()
{
    // What was shown ends up in the daemon's history once closed.
    [[maybe_unused]] const QByteArray closed =
        m_user->notificationDaemon({QStringLiteral("close-all")});
    const QJsonObject history =
        QJsonDocument::fromJson(m_user->notificationDaemon({QStringLiteral("history")})).object();
    QStringList summaries;
    for (const QJsonValue &group : history.value(QStringLiteral("data")).toArray())
        for (const QJsonValue &entry : group.toArray())
            summaries.append(entry.toObject()
                                 .value(QStringLiteral("summary"))
                                 .toObject()
                                 .value(QStringLiteral("data"))
                                 .toString());
    return summaries;
}

void RebrandEndToEndTest::copiedUrlIsRebrandedAtOnce()
{
    const QString destination = QStringLiteral(
        "https://example.com/articles/2026/a-rather-long-destination?utm_source=e2e");
    QProcess xclip;
    QVERIFY(m_user->copyToClipboard(xclip, destination));
    m_lastShortUrl = waitForShortUrl(destination, 5000);
    QVERIFY2(!m_lastShortUrl.isEmpty(), qPrintable(m_user->output()));
    DesktopSession::stop(xclip);

    const QJsonArray posts = createdLinks();
    QCOMPARE(posts.size(), 1);
    const QJsonObject body =
        QJsonDocument::fromJson(posts.first().toObject().value("body").toString().toUtf8())
            .object();
    QCOMPARE(body.value("destination").toString(), destination);
    QVERIFY(!body.value("slashtag").toString().isEmpty());
    QVERIFY(!body.value("title").toString().isEmpty());
    QVERIFY(m_lastShortUrl.endsWith(QLatin1Char('/') + body.value("slashtag").toString()));

    // The next tick sees the program's own short URL and leaves it alone.
    QVERIFY2(m_user->waitForLine(QStringLiteral("this is the last branded link, ignoring: ") +
                                     m_lastShortUrl,
                                 5000),
             qPrintable(m_user->output()));
    QVERIFY(notificationSummaries().contains(QStringLiteral("Link rebranded ✨")));
}

void RebrandEndToEndTest::rebrandCommandReachesTheRunningProgram()
{
    const QString destination = QStringLiteral("https://example.com/from/the/command/line");
    QProcess second;
    QVERIFY(m_desktop->start(second, QStringLiteral(QUORVELLA_BINARY_DIR "/quorvella"),
                             {QStringLiteral("--rebrand"), destination}));
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitCode(), 0);
    const QString shortUrl = waitForShortUrl(m_lastShortUrl, 5000);
    QVERIFY2(!shortUrl.isEmpty(), qPrintable(m_user->output()));
    m_lastShortUrl = shortUrl;
    QCOMPARE(createdLinks().size(), 2);
}

void RebrandEndToEndTest::restartProgram(const QString &rule)
{
    m_user.reset(); // the program stops, the store keeps the signed-in user
    SignInDriver::seedPreferences(rule);
    m_user = std::make_unique<SignInDriver>(*m_desktop);
    QVERIFY(m_user->startProgram(QStringLiteral(QUORVELLA_BINARY_DIR),
                                 m_sandbox->baseUrl().toString()));
    QVERIFY2(m_user->waitForLine(QStringLiteral("first link, ignoring"), 20000),
             qPrintable(m_user->output()));
}

void RebrandEndToEndTest::questionAnsweredInTheDialogue()
{
    restartProgram(Preferences::OptionsRebrand::notification);
    const QString destination = QStringLiteral("https://example.com/asked/first");
    const qsizetype before = createdLinks().size();
    QProcess xclip;
    QVERIFY(m_user->copyToClipboard(xclip, destination));
    // "Do you want to Rebrand this link?", in a modal dialogue of the program.
    if (!m_user->waitForWindow(QStringLiteral("Quorvella"), 5000)) {
        const QStringList log = m_user->output().split(QLatin1Char('\n'));
        qWarning("%s", qPrintable(log.mid(std::max<qsizetype>(0, log.size() - 30)).join('\n')));
        QFAIL("the question was not shown");
    }
    // Nothing is created before the user answers.
    QCOMPARE(createdLinks().size(), before);
    // "Rebrand" is the default button.
    QVERIFY(m_user->pressKeyIn(QStringLiteral("Quorvella"), QStringLiteral("Return")));
    const QString shortUrl = waitForShortUrl(destination, 5000);
    QVERIFY2(!shortUrl.isEmpty(), qPrintable(m_user->output()));
    DesktopSession::stop(xclip);
    QCOMPARE(createdLinks().size(), before + 1);
    QVERIFY(notificationSummaries().contains(QStringLiteral("Link rebranded ✨")));
}

void RebrandEndToEndTest::newLinkFormFromTheClipboard()
{
    // The workspace the link list shows; the form offers its domains.
    SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView,
                                          {{QStringLiteral("id"), QStringLiteral("wsp-personal")},
                                           {QStringLiteral("name"), QStringLiteral("Personal")}});
    restartProgram(Preferences::OptionsRebrand::askEditLink);
    const QString destination = QStringLiteral("https://example.com/opened/in/the/form");
    const qsizetype before = createdLinks().size();
    QProcess xclip;
    QVERIFY(m_user->copyToClipboard(xclip, destination));
    // The new-link form opens with the copied URL and its proposals; Enter creates.
    QVERIFY2(m_user->waitForWindow(QStringLiteral("Quorvella new link"), 5000),
             qPrintable(m_user->output()));
    QVERIFY2(m_user->waitForLine(QStringLiteral("RESPONSE TITLE"), 5000),
             qPrintable(m_user->output()));
    QTest::qWait(500);
    QVERIFY(m_user->pressKeyIn(QStringLiteral("Quorvella new link"), QStringLiteral("Return")));
    QTRY_COMPARE_WITH_TIMEOUT(createdLinks().size(), before + 1, 5000);
    const QJsonObject created =
        QJsonDocument::fromJson(createdLinks().last().toObject().value("body").toString().toUtf8())
            .object();
    QCOMPARE(created.value("destination").toString(), destination);
    QCOMPARE(created.value("domainId").toString(), QStringLiteral("dom-quorv-link"));
    DesktopSession::stop(xclip);
}

QTEST_GUILESS_MAIN(RebrandEndToEndTest)
#include "tst_rebrand_e2e.moc"
