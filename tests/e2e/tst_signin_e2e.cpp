// The sign-in as a user does it: a click on the tray icon, "Sign in", the sandbox's form typed
// into the web view, and the link list at the end. A real X server, a private session bus with
// a tray host, the real program, its web view helper and the sandbox.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "EndToEndSession.h"

#include <QRegularExpression>
#include <QTest>

using namespace Costants;

class SignInEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void signInFromTheTray();
};

void SignInEndToEndTest::signInFromTheTray()
{
    const QString missing = SignInDriver::missingPrerequisite(QUORVELLA_BINARY_DIR);
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    EndToEndSession session;
    QVERIFY2(session.error().isEmpty(), qPrintable(session.error()));
    SignInDriver &user = *session.user;
    QVERIFY(user.startProgram(QUORVELLA_BINARY_DIR));
    QVERIFY(user.waitForLineStart("Quorvella: using the sandbox service at", 20000));
    QVERIFY(user.waitForLine("NETWORK REACHABLE", 20000));

    // A click on the tray icon: signed out, so the sign-in popover.
    QVERIFY(user.clickTrayIcon());
    QVERIFY(user.waitForLine("TOGGLING", 10000));
    QVERIFY(user.waitForWindow(SignInDriver::signInPopoverTitle(), 10000));

    QVERIFY(user.pressSignInButton());
    QVERIFY(user.waitForLine("login", 10000));
    QVERIFY(user.waitForLine("View OAUTH", 10000));
    QVERIFY(user.output().contains("&acr_values=cmd:relogin,register&prompt=login"));
    QVERIFY(user.waitForLineStart("loaded: http://127.0.0.1:", 90000));
    QVERIFY(user.waitForWindow(SignInDriver::webViewTitle(), 20000));

    QVERIFY(user.typeCredentials("demo@quorvella.test", "demo"));
    QVERIFY(user.waitForLine("it is my redirect URI <3", 30000));
    QVERIFY(user.waitForLine("oauth went good", 5000));
    QVERIFY(user.waitForLine("CLOSING WINDOW", 5000));
    QVERIFY(user.waitForLine("VALID TOKEN RESPONSE", 15000));

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
    QVERIFY(!log.contains("c08e47b2-19fa-4d3e-b5a1-6e2f9d07c4b8"));
    static const QRegularExpression code("code[=:] ?(?!<redacted>)[A-Za-z0-9_-]{6,}");
    QVERIFY2(!code.match(log).hasMatch(), qPrintable(code.match(log).captured()));
}

QTEST_GUILESS_MAIN(SignInEndToEndTest)
#include "tst_signin_e2e.moc"
