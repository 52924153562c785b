// The signed-in program as a user meets it on a real X server, with a tray host on a private
// session bus, the program's web view helper, a notification daemon (dunst), xclip as the other
// program on the clipboard, and the sandbox, which outlives restarts of the program. One
// sign-in from the tray, then the clipboard shared with other programs, the link list, the
// preferences and the rebranding of copied URLs.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "EndToEndSession.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace Costants;

class SignInEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void signInFromTheTray();
    void otherProgramsOnTheClipboard_data();
    void otherProgramsOnTheClipboard();
    void trayIconShowsTheFirstPage();
    void hoveredRowCopiesItsLink();
    void searchAndBack();
    void switchWorkspace();
    void deleteThroughTheAlert();
    void preferencesChangeTheRule();
    void rebrandCommandReachesTheRunningProgram();
    void undoFromTheNotification();
    void pauseInTheRunningProgramOutlivesARestart();
    void questionAnsweredInTheDialogue();
    void newLinkFormFromTheClipboard();
    void quitFromTheSettingsMenu();

private:
    [[nodiscard]] QJsonArray requests(const QString &method, const QString &path)
    {
        return m_session->requests(method, path);
    }
    // The body of the last link the sandbox was asked to create.
    [[nodiscard]] QJsonObject lastCreated()
    {
        return QJsonDocument::fromJson(
                   requests("POST", "/v1/links").last()["body"].toString().toUtf8())
            .object();
    }
    // The user of the program running now.
    [[nodiscard]] SignInDriver &user() { return *m_session->user; }
    bool key(const QString &keys) { return user().pressKeyIn(kLinks, keys); }
    bool pointAt(int x, int y, bool click) { return user().pointAt(kLinks, x, y, click); }
    // Opens the list from the tray unless it is shown, and clicks the gear at the top right of its
    // header.
    bool openSettingsMenu();
    // Starts clip_writer on the desktop; it holds the clipboard until its input closes.
    bool startWriter(QProcess &writer, const QStringList &arguments)
    {
        return m_session->desktop.start(writer, QUORVELLA_BINARY_DIR "/clip_writer", arguments) &&
               QTest::qWaitFor([&] { return writer.peek(1 << 16).contains("pasted: true\n"); },
                               5000);
    }
    // Starts the program a second time with these arguments; it hands them over and ends.
    bool runSecond(const QStringList &arguments)
    {
        QProcess second;
        return m_session->desktop.start(second, QUORVELLA_BINARY_DIR "/quorvella", arguments) &&
               second.waitForFinished(15000) && second.exitCode() == 0;
    }
    // The sandbox no longer has this link of this workspace.
    bool linkGone(const QString &id, const QString &workspace)
    {
        const QByteArray token = m_session->sandbox->issueAccessToken().toLatin1();
        return m_session->sandbox
                   ->request(
                       "GET", "/v1/links/" + id,
                       {{"Authorization", "Bearer " + token}, {"workspace", workspace.toLatin1()}})
                   .status == 404;
    }
    // The notification daemon shows exactly one notification.
    bool oneNotificationShown()
    {
        return m_session->desktop.run("dunstctl", {"count", "displayed"}).value_or("0").trimmed() ==
               "1";
    }
    // Copies as another program does (xclip); the copy is served until the next one.
    bool copy(const QString &text)
    {
        DesktopSession::stop(m_xclip);
        return user().copyToClipboard(m_xclip, text);
    }
    // Copies and waits until the program has handed the copy on.
    bool copyAndSeeItHandedOn(const QString &text)
    {
        return copy(text) && user().waitForLine("copied link handed on: " + text, 5000);
    }
    // Copies and waits for the program's short URL of the copy on the clipboard.
    QString copyAndWaitForShortUrl(const QString &destination)
    {
        return copy(destination) ? user().waitForShortUrl(destination, 10000) : QString();
    }

    const QString kLinks = SignInDriver::linksPopoverTitle();
    std::unique_ptr<EndToEndSession> m_session;
    QProcess m_xclip;
    QString m_lastShortUrl;
};

// Where things are in the list's window (360 × 520): the header takes the first 110 pixels,
// rows are 64 high; the hover actions sit at the right end of a row.
namespace layout {
constexpr int width = 360;
constexpr int firstRowY = 110 + 32;
constexpr int copyX = 167;
constexpr int pickerRowHeight = 36;
} // namespace layout

namespace {

// The store as any other program reads a property list, not through our own store; the domain
// is a property list of its own in it.
QJsonObject storeAsJson()
{
    const QString script = R"(
import json, plistlib, sys
store = plistlib.load(open(sys.argv[1], 'rb'))
domain = store.get('domainObjectAutoReplace')
store['domainObjectAutoReplace'] = plistlib.loads(domain) if domain else None
print(json.dumps(store, default=str))
)";
    QProcess python;
    python.start("python3", {"-c", script, SettingsStore::sharedFilePath()});
    python.waitForFinished(10000);
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

} // namespace

void SignInEndToEndTest::initTestCase()
{
    const QString missing = SignInDriver::missingPrerequisite(
        QUORVELLA_BINARY_DIR, EndToEndSession::signedInPrograms() << "python3");
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_session = std::make_unique<EndToEndSession>();
    QVERIFY2(m_session->error().isEmpty(), qPrintable(m_session->error()));
}

bool SignInEndToEndTest::openSettingsMenu()
{
    // The gear is the header's last button, 12 px in from the top right corner.
    if ((user().window(kLinks).isEmpty() && !user().clickTrayIcon()) ||
        !user().waitForWindow(kLinks, 10000) ||
        !user().xdotool({"windowfocus", "--sync", user().window(kLinks)}) ||
        !pointAt(layout::width - 28, 28, true))
        return false;
    QTest::qWait(500);
    return true;
}

void SignInEndToEndTest::signInFromTheTray()
{
    // The tray icon of a signed-out program opens the sign-in popover, "Sign in" the web view.
    QVERIFY(m_session->signIn("qv-option-doNothing"));
    const QStringList lines = user().output().split('\n');
    for (const char *line : {"TOGGLING", "login", "View OAUTH", "it is my redirect URI <3",
                             "oauth went good", "CLOSING WINDOW"})
        QVERIFY2(lines.contains(line), line);
    QVERIFY(user().output().contains("&acr_values=cmd:relogin,register&prompt=login"));

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
    QVERIFY(user().waitForWindow(kLinks, 15000));
    QTRY_VERIFY_WITH_TIMEOUT(user().window(SignInDriver::webViewTitle()).isEmpty(), 15000);

    // Nothing secret reached standard output.
    const QString log = user().output();
    QVERIFY(!log.contains(*accessToken));
    QVERIFY(!log.contains(*refreshToken));
    QVERIFY(!log.contains("c08e47b2-19fa-4d3e-b5a1-6e2f9d07c4b8"));
    static const QRegularExpression code("code[=:] ?(?!<redacted>)[A-Za-z0-9_-]{6,}");
    QVERIFY2(!code.match(log).hasMatch(), qPrintable(code.match(log).captured()));
}

void SignInEndToEndTest::otherProgramsOnTheClipboard_data()
{
    // clip_writer's arguments, what the running program logs once for it, and texts it never
    // logs.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QStringList>("hidden");
    const QString link = "https://example.com/e2e-paste";
    QTest::newRow("pasted by our own code from a worker thread")
        << QStringList{link} << "copied link handed on: " + link << QStringList();
    QTest::newRow("secret") << QStringList{"--secret",
                                           "https://vault.example.com/?password=Hunter2"}
                            << QString() << QStringList{"vault.example.com", "Hunter2"};
    QTest::newRow("owner that does not answer")
        << QStringList{"--hog", "https://example.com/never-served"}
        << "the clipboard owner does not answer" << QStringList{"never-served"};
}

void SignInEndToEndTest::otherProgramsOnTheClipboard()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, logged);
    QFETCH(QStringList, hidden);
    QProcess writer;
    QVERIFY(startWriter(writer, arguments));
    if (logged.isEmpty())
        QTest::qWait(2500); // two ticks at least see the change
    else
        QVERIFY(user().waitForLine(logged, 15000)); // a hung owner: after X11's timeout
    // Still watching: the next copy by a program that answers is handed on.
    QVERIFY(copyAndSeeItHandedOn("https://example.com/after/" +
                                 QUrl::toPercentEncoding(QTest::currentDataTag())));
    if (!logged.isEmpty())
        QCOMPARE(user().output().count(logged), 1); // asked once, not again
    for (const QString &text : hidden)
        QVERIFY2(!user().output().contains(text), qPrintable(text));
    DesktopSession::stop(writer);
}

void SignInEndToEndTest::trayIconShowsTheFirstPage()
{
    // The list the sign-in opened closes at a click; the next click opens the first page.
    QVERIFY(user().waitForLine("LOADED", 10000));
    QVERIFY(user().clickTrayIcon());
    QTRY_VERIFY_WITH_TIMEOUT(user().window(kLinks).isEmpty(), 5000);
    const qsizetype before = requests("GET", "/v1/links").size();
    QTest::qWait(1000);
    QVERIFY(user().clickTrayIcon());
    QVERIFY(user().waitForWindow(kLinks, 5000));
    QTRY_VERIFY_WITH_TIMEOUT(requests("GET", "/v1/links").size() > before, 5000);
    QCOMPARE(requests("GET", "/v1/links").last()["query"].toString(), "limit=15");
    QVERIFY(user().waitForLine("LOADED", 5000));
}

void SignInEndToEndTest::hoveredRowCopiesItsLink()
{
    // The newest link of "Personal": quorv.link/welcome, over https.
    QVERIFY(pointAt(60, layout::firstRowY, false));
    QTest::qWait(300);
    QVERIFY(pointAt(layout::copyX, layout::firstRowY, true));
    QTRY_COMPARE_WITH_TIMEOUT(user().clipboardText(), "https://quorv.link/welcome", 5000);
}

void SignInEndToEndTest::searchAndBack()
{
    QVERIFY(key("slash"));
    QTest::qWait(200);
    QVERIFY(user().type("docs"));
    QVERIFY(key("Return"));
    QTRY_VERIFY_WITH_TIMEOUT(!requests("GET", "/v1/links/search").isEmpty(), 5000);
    QCOMPARE(requests("GET", "/v1/links/search").last()["query"].toString(), "limit=15&term=docs");
    // Escape leaves the search: the plain list comes back.
    const qsizetype plain = requests("GET", "/v1/links").size();
    QVERIFY(key("Escape"));
    QTRY_VERIFY_WITH_TIMEOUT(requests("GET", "/v1/links").size() > plain, 5000);
    QVERIFY(!user().window(kLinks).isEmpty());
}

void SignInEndToEndTest::switchWorkspace()
{
    QVERIFY(pointAt(150, 76, true)); // the workspace box in the header
    const QString picker = "Quorvella workspaces";
    QVERIFY(user().waitForWindow(picker, 5000));
    QTest::qWait(300);
    // Archive, Marketing, Personal: the second row.
    const qsizetype before = requests("GET", "/v1/links").size();
    QVERIFY(user().pointAt(picker, 100, 6 + layout::pickerRowHeight * 3 / 2, true));
    QTRY_VERIFY_WITH_TIMEOUT(requests("GET", "/v1/links").size() > before, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(user().window(picker).isEmpty(), 3000);
    // Choosing closes the picker, not the list.
    QTest::qWait(500);
    QVERIFY(!user().window(kLinks).isEmpty());
}

void SignInEndToEndTest::deleteThroughTheAlert()
{
    // The keyboard picks the first row of "Marketing"; Delete asks. Return keeps the link (the
    // safe answer is the default); the button before "Cancel" deletes it.
    QVERIFY(user().waitForLine("LOADED", 5000));
    QTest::qWait(300);
    QVERIFY(key("Down"));
    QVERIFY(key("Delete"));
    QVERIFY(user().waitForWindow("Quorvella", 5000));
    QVERIFY(user().pressKeyIn("Quorvella", "Return"));
    QTRY_VERIFY_WITH_TIMEOUT(user().window("Quorvella").isEmpty(), 5000);
    QTest::qWait(500);
    QCOMPARE(requests("DELETE", "/v1/links/wsp-marketing-l000").size(), 0);
    QVERIFY(key("Delete"));
    QVERIFY(user().waitForWindow("Quorvella", 5000));
    QVERIFY(user().pressKeyIn("Quorvella", "shift+Tab"));
    QVERIFY(user().pressKeyIn("Quorvella", "Return"));
    QTRY_COMPARE_WITH_TIMEOUT(requests("DELETE", "/v1/links/wsp-marketing-l000").size(), 1, 5000);
}

void SignInEndToEndTest::preferencesChangeTheRule()
{
    // "Preferences..." from the settings menu.
    QVERIFY(m_session->restart(Preferences::OptionsRebrand::notification));
    QVERIFY(openSettingsMenu());
    // "Preferences..." is the menu's first item.
    QVERIFY(user().pressKeys({"Down", "Return"}));
    const QString title = "Quorvella Preferences";
    // The general pane fills its pop-ups as it opens.
    QVERIFY(user().waitForLine("setting domains", 10000));
    QVERIFY(user().waitForWindow(title, 10000));
    QVERIFY(user().xdotool({"windowfocus", "--sync", user().window(title)}));
    QTest::qWait(500);

    // From the toolbar's "General": "Account", five checkboxes, then: rule "Rebrand it at once",
    // workspace Marketing (one up from the default Personal), its second domain, slashtag
    // "Suggested from the page title".
    QVERIFY(
        user().pressKeys({"Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Down", "Tab", "Up"}));
    QVERIFY(user().waitForLine("wsp-marketing", 5000));
    QTest::qWait(1500); // the new workspace's domains
    QVERIFY(user().pressKeys({"Tab", "Down", "Tab", "Down", "Escape"}));
    QVERIFY(user().waitForLine("closing", 5000));

    const QJsonObject stored = storeAsJson();
    QCOMPARE(stored["qv-option-active"].toString(), Preferences::OptionsRebrand::autoRebrand);
    QCOMPARE(stored["qv-option-slashtag-rebrand"].toString(),
             Preferences::OptionsRebrand::slashtagSuggested);
    QCOMPARE(stored["workspaceObjectAutoReplace"]["id"].toString(), "wsp-marketing");
    const QString domainId = stored["domainObjectAutoReplace"]["id"].toString();
    QVERIFY2(!domainId.isEmpty(), QJsonDocument(stored).toJson().constData());
    const qsizetype before = requests("POST", "/v1/links").size();

    // The new rule: a copied URL is rebranded at once, in that workspace, on that domain.
    const QString destination = "https://example.com/articles/2026/a-rather-long-destination"
                                "?utm_source=e2e";
    m_lastShortUrl = copyAndWaitForShortUrl(destination);
    QVERIFY(!m_lastShortUrl.isEmpty());
    const QJsonArray posts = requests("POST", "/v1/links");
    QCOMPARE(posts.size(), before + 1);
    QCOMPARE(posts.last()["headers"]["workspace"].toString(), "wsp-marketing");
    const QJsonObject body = lastCreated();
    QCOMPARE(body["destination"].toString(), destination);
    QVERIFY2(posts.last()["body"].toString().contains(domainId),
             qPrintable(posts.last()["body"].toString()));
    QVERIFY(!body["slashtag"].toString().isEmpty());
    QVERIFY(!body["title"].toString().isEmpty());
    QVERIFY(m_lastShortUrl.endsWith('/' + body["slashtag"].toString()));

    // The next tick sees the program's own short URL and leaves it alone.
    QVERIFY(user().waitForLine("this is the last branded link, ignoring: " + m_lastShortUrl, 5000));
    QVERIFY(m_session->notificationSummaries().contains("Link rebranded ✨"));
}

void SignInEndToEndTest::rebrandCommandReachesTheRunningProgram()
{
    const qsizetype before = requests("POST", "/v1/links").size();
    QVERIFY(runSecond({"--rebrand", "https://example.com/from/the/command/line"}));
    m_lastShortUrl = user().waitForShortUrl(m_lastShortUrl, 5000);
    QVERIFY(!m_lastShortUrl.isEmpty());
    QCOMPARE(requests("POST", "/v1/links").size(), before + 1);
    // A click on "Link rebranded ✨" reaches the program from the daemon over D-Bus and opens
    // the link's editor.
    QTRY_VERIFY_WITH_TIMEOUT(oneNotificationShown(), 5000);
    QVERIFY(m_session->desktop.run("dunstctl", {"action", "0"}));
    QVERIFY(user().waitForLine("Branded notification success", 5000));
    QVERIFY(user().waitForWindow("Quorvella edit link", 10000));
}

void SignInEndToEndTest::undoFromTheNotification()
{
    QVERIFY(m_session->restart(Preferences::OptionsRebrand::autoRebrand));
    const QString destination = "https://example.com/rebranded/by/mistake";
    const qsizetype posts = requests("POST", "/v1/links").size();
    QVERIFY(!copyAndWaitForShortUrl(destination).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(oneNotificationShown(), 5000);
    // "Undo" on "Link rebranded ✨", from the daemon over D-Bus.
    QVERIFY(m_session->chooseNotificationAction("Undo"));
    QVERIFY(user().waitForLineStart("rebrand undone: ", 5000));
    const QString id = user().output().section("rebrand undone: ", 1).section('\n', 0, 0);
    QCOMPARE(requests("DELETE", "/v1/links/" + id).size(), 1);
    QVERIFY(linkGone(id, requests("POST", "/v1/links").last()["headers"]["workspace"].toString()));
    QTRY_COMPARE_WITH_TIMEOUT(user().clipboardText(), destination, 5000);
    // The address back on the clipboard is not rebranded again.
    QVERIFY(user().waitForLine("this is the last branded link, ignoring: " + destination, 5000));
    QTest::qWait(2500);
    QCOMPARE(requests("POST", "/v1/links").size(), posts + 1);
}

void SignInEndToEndTest::pauseInTheRunningProgramOutlivesARestart()
{
    const qsizetype posts = requests("POST", "/v1/links").size();
    QVERIFY(runSecond({"--pause=5"}));
    QVERIFY(user().waitForLineStart("watching paused until ", 5000));
    const QString paused = "watching paused, copy not handed on";
    QVERIFY(copy("https://example.com/copied/before/the/restart"));
    QVERIFY(user().waitForLine(paused, 5000));
    DesktopSession::stop(m_xclip);

    // Still paused after a restart; a copy made then stays untouched after "--resume".
    QVERIFY(m_session->restart(Preferences::OptionsRebrand::autoRebrand));
    QVERIFY(copy("https://example.com/copied/during/the/pause"));
    QVERIFY(user().waitForLine(paused, 5000));
    QVERIFY(runSecond({"--resume"}));
    QVERIFY(user().waitForLine("watching resumed", 5000));
    QTest::qWait(2500);
    QCOMPARE(requests("POST", "/v1/links").size(), posts);
    QVERIFY(!user().output().contains("copied link handed on: "));
    // Watching again.
    QVERIFY(copyAndSeeItHandedOn("https://example.com/after/the/pause"));
}

void SignInEndToEndTest::questionAnsweredInTheDialogue()
{
    QVERIFY(m_session->restart(Preferences::OptionsRebrand::notification));
    const QString destination = "https://example.com/asked/first";
    const qsizetype before = requests("POST", "/v1/links").size();
    QVERIFY(copy(destination));
    // "Do you want to Rebrand this link?", in a modal dialogue of the program.
    QVERIFY(user().waitForWindow("Quorvella", 5000));
    // Nothing is created before the user answers.
    QCOMPARE(requests("POST", "/v1/links").size(), before);
    // "Rebrand" is the default button.
    QVERIFY(user().pressKeyIn("Quorvella", "Return"));
    QVERIFY(!user().waitForShortUrl(destination, 5000).isEmpty());
    QCOMPARE(requests("POST", "/v1/links").size(), before + 1);
    QVERIFY(m_session->notificationSummaries().contains("Link rebranded ✨"));
}

void SignInEndToEndTest::newLinkFormFromTheClipboard()
{
    // The workspace copied URLs go to; the form offers its domains.
    SettingsStore::shared().setDictionary(Preferences::workspaceObjectAutoReplace,
                                          {{"id", "wsp-personal"}, {"name", "Personal"}});
    QVERIFY(m_session->restart(Preferences::OptionsRebrand::askEditLink));
    const QString destination = "https://example.com/opened/in/the/form";
    const qsizetype before = requests("POST", "/v1/links").size();
    QVERIFY(copy(destination));
    // The new-link form opens with the copied URL and its proposals; Enter creates.
    QVERIFY(user().waitForWindow("Quorvella new link", 5000));
    QVERIFY(user().waitForLine("RESPONSE TITLE", 5000));
    QTest::qWait(500);
    QVERIFY(user().pressKeyIn("Quorvella new link", "Return"));
    QTRY_COMPARE_WITH_TIMEOUT(requests("POST", "/v1/links").size(), before + 1, 5000);
    QCOMPARE(lastCreated()["destination"].toString(), destination);
    QCOMPARE(lastCreated()["domainId"].toString(), "dom-quorv-link");
}

void SignInEndToEndTest::quitFromTheSettingsMenu()
{
    // "Quit Quorvella", the menu's last item, ends the program cleanly: status 0 and no crash
    // report left for the next start to send.
    const QString crashes = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                            "/Quorvella/crashes";
    // A fresh start: no form of the tests before stands in the way of the list.
    QVERIFY(m_session->restart(Preferences::OptionsRebrand::notification));
    QVERIFY(openSettingsMenu());
    // Below it: a separator, "Pause for 1 hour" and "Pause until tomorrow".
    QVERIFY(user().pressKeys({"Up", "Up", "Up", "Return"}));
    QProcess &program = user().program();
    QTRY_COMPARE_WITH_TIMEOUT(program.state(), QProcess::NotRunning, 10000);
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(QDir(crashes).entryList(QDir::Files).isEmpty(), qPrintable(crashes));
}

QTEST_GUILESS_MAIN(SignInEndToEndTest)
#include "tst_signin_e2e.moc"
