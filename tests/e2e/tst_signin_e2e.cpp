// The sign-in as a user does it: a click on the tray icon, "Sign in", the sandbox's form typed
// into the web view, and the link list at the end. A real X server, a private session bus with
// a tray host, the real program, its web view helper and the sandbox.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "DesktopSession.h"
#include "SignInDriver.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace Costants;

class SignInEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void signInFromTheTray();

private:
    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<DesktopSession> m_desktop;
    std::unique_ptr<SignInDriver> m_user;
};

void SignInEndToEndTest::initTestCase()
{
    const QString missing = SignInDriver::missingPrerequisite(QStringLiteral(QUORVELLA_BINARY_DIR));
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_environment = std::make_unique<TestEnvironment>();
    m_desktop = std::make_unique<DesktopSession>();
    QVERIFY2(m_desktop->isReady(), qPrintable(m_desktop->error()));
    m_user = std::make_unique<SignInDriver>(*m_desktop);
    QVERIFY(m_user->trayHostRunning());
}

void SignInEndToEndTest::cleanupTestCase()
{
    m_user.reset();
    m_desktop.reset();
    m_environment.reset();
}

void SignInEndToEndTest::signInFromTheTray()
{
    SignInDriver &user = *m_user;
    QVERIFY(user.startProgram(QStringLiteral(QUORVELLA_BINARY_DIR)));
    QVERIFY2(user.waitForLineStart("Quorvella: using the sandbox service at", 20000),
             qPrintable(user.output()));
    QVERIFY2(user.waitForLine("NETWORK REACHABLE", 20000), qPrintable(user.output()));

    // A click on the tray icon: signed out, so the sign-in popover.
    QVERIFY(user.clickTrayIcon());
    QVERIFY2(user.waitForLine("TOGGLING", 10000), qPrintable(user.output()));
    QVERIFY(user.waitForWindow(SignInDriver::signInPopoverTitle(), 10000));

    QVERIFY(user.pressSignInButton());
    QVERIFY2(user.waitForLine("login", 10000), qPrintable(user.output()));
    QVERIFY2(user.waitForLine("View OAUTH", 10000), qPrintable(user.output()));
    QVERIFY(user.output().contains("&acr_values=cmd:relogin,register&prompt=login"));
    QVERIFY2(user.waitForLineStart("loaded: http://127.0.0.1:", 90000), qPrintable(user.output()));
    QVERIFY(user.waitForWindow(SignInDriver::webViewTitle(), 20000));

    QVERIFY(user.typeCredentials(QStringLiteral("demo@quorvella.test"), QStringLiteral("demo")));
    if (!user.waitForLine("it is my redirect URI <3", 30000)) {
        const QStringList lines = user.output().split('\n');
        qWarning("%s", qPrintable(lines.mid(std::max<qsizetype>(0, lines.size() - 30)).join('\n')));
        qWarning("sandbox requests: %s", qPrintable(user.sandboxRequests()));
        QFAIL("the redirect never came");
    }
    QVERIFY(user.waitForLine("oauth went good", 5000));
    QVERIFY(user.waitForLine("CLOSING WINDOW", 5000));
    QVERIFY2(user.waitForLine("VALID TOKEN RESPONSE", 15000), qPrintable(user.output()));

    // The token is in the shared store, and the link list is what the user sees now.
    std::optional<QString> accessToken;
    std::optional<QString> refreshToken;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            // The program writes the token key by key: wait for the whole of it.
            const SettingsStore store(SettingsStore::sharedFilePath());
            accessToken = store.stringForKey(Preferences::accessToken);
            refreshToken = store.stringForKey(Preferences::refreshToken);
            return accessToken && refreshToken && store.dateForKey(Preferences::expiresAt);
        }(),
        10000);
    QVERIFY(user.waitForWindow(SignInDriver::linksPopoverTitle(), 15000));
    QTRY_VERIFY_WITH_TIMEOUT(user.window(SignInDriver::webViewTitle()).isEmpty(), 15000);

    // Nothing secret reached standard output.
    const QString log = user.output();
    QVERIFY(!log.contains(*accessToken));
    QVERIFY(!log.contains(*refreshToken));
    QVERIFY(!log.contains(QStringLiteral("c08e47b2-19fa-4d3e-b5a1-6e2f9d07c4b8")));
    static const QRegularExpression code(
        QStringLiteral("code[=:] ?(?!<redacted>)[A-Za-z0-9_-]{6,}"));
    QVERIFY2(!code.match(log).hasMatch(), qPrintable(code.match(log).captured()));
}

QTEST_GUILESS_MAIN(SignInEndToEndTest)
#include "tst_signin_e2e.moc"
