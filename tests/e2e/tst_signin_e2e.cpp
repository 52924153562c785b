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
    void secretIsNeverHandedOn();
    void pastedLinkIsReadByOtherPrograms();
    void ownerThatDoesNotAnswer();
    void trayIconShowsTheFirstPage();
    void hoveredRowCopiesItsLink();
    void favouriteFromTheRow();
    void bottomScrollAsksForTheNextPage();
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
    // The sandbox's record of the last page the list asked for.
    [[nodiscard]] QJsonValue lastPage() { return requests("GET", "/v1/links").last(); }
    // The body of the last link the sandbox was asked to create.
    [[nodiscard]] QJsonObject lastCreated()
    {
        return QJsonDocument::fromJson(
                   requests("POST", "/v1/links").last()["body"].toString().toUtf8())
            .object();
    }
    bool key(const QString &keys) { return m_user->pressKeyIn(kLinks, keys); }
    bool pointAt(int x, int y, bool click) { return m_user->pointAt(kLinks, x, y, click); }
    bool restart(const QString &rule);
    // Opens the list from the tray unless it is shown, and clicks the gear at the top right of its
    // header.
    bool openSettingsMenu();
    // Starts clip_writer on the desktop; it holds the clipboard until its input closes.
    bool startWriter(QProcess &writer, const QStringList &arguments);
    // Starts the program a second time with these arguments; it hands them over and ends.
    bool runSecond(const QStringList &arguments);
    // The sandbox no longer has this link of this workspace.
    bool linkGone(const QString &id, const QString &workspace);
    // The notification daemon shows exactly one notification.
    bool oneNotificationShown();
    // Copies with xclip and waits until the program has handed the copy on.
    void copyAndSeeItHandedOn(const QString &text);

    const QString kLinks = SignInDriver::linksPopoverTitle();
    std::unique_ptr<EndToEndSession> m_session;
    SignInDriver *m_user = nullptr;
    QString m_lastShortUrl;
};

// Where things are in the list's window (360 × 520): the header takes the first 110 pixels,
// rows are 64 high; the hover actions sit at the right end of a row.
namespace layout {
constexpr int firstRowY = 110 + 32;
constexpr int copyX = 167;
constexpr int favouriteX = 200;
constexpr int pickerRowHeight = 36;
} // namespace layout

namespace {

// The store as any other program reads a property list, not through our own store.
QJsonObject storeAsJson()
{
    const QString script = R"(
import json, plistlib, sys
with open(sys.argv[1], 'rb') as f:
    store = plistlib.load(f)
domain = store.get('domainObjectAutoReplace')
print(json.dumps({
    'rule': store.get('qv-option-active'),
    'slashtag': store.get('qv-option-slashtag-rebrand'),
    'workspace': (store.get('workspaceObjectAutoReplace') or {}).get('id'),
    'domain': plistlib.loads(domain) if domain else None,
}))
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
    m_user = m_session->user.get();
}

bool SignInEndToEndTest::restart(const QString &rule)
{
    const bool restarted = m_session->restart(rule);
    m_user = m_session->user.get();
    return restarted;
}

bool SignInEndToEndTest::openSettingsMenu()
{
    if ((m_user->window(kLinks).isEmpty() && !m_user->clickTrayIcon()) ||
        !m_user->waitForWindow(kLinks, 10000) ||
        !m_user->xdotool({"windowfocus", "--sync", m_user->window(kLinks)}))
        return false;
    // The gear is the header's last button, 12 px in from the top right corner.
    const QString shell =
        m_session->desktop.run("xdotool", {"getwindowgeometry", "--shell", m_user->window(kLinks)})
            .value_or(QByteArray());
    const qsizetype at = shell.indexOf("WIDTH=");
    if (at < 0 || !pointAt(shell.mid(at + 6).section('\n', 0, 0).toInt() - 28, 28, true))
        return false;
    QTest::qWait(500);
    return true;
}

void SignInEndToEndTest::signInFromTheTray()
{
    // The tray icon of a signed-out program opens the sign-in popover, "Sign in" the web view.
    QVERIFY(m_session->signIn("qv-option-doNothing"));
    const QStringList lines = m_user->output().split('\n');
    for (const char *line : {"TOGGLING", "login", "View OAUTH", "it is my redirect URI <3",
                             "oauth went good", "CLOSING WINDOW"})
        QVERIFY2(lines.contains(line), line);
    QVERIFY(m_user->output().contains("&acr_values=cmd:relogin,register&prompt=login"));

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
    QVERIFY(m_user->waitForWindow(kLinks, 15000));
    QTRY_VERIFY_WITH_TIMEOUT(m_user->window(SignInDriver::webViewTitle()).isEmpty(), 15000);

    // Nothing secret reached standard output.
    const QString log = m_user->output();
    QVERIFY(!log.contains(*accessToken));
    QVERIFY(!log.contains(*refreshToken));
    QVERIFY(!log.contains("c08e47b2-19fa-4d3e-b5a1-6e2f9d07c4b8"));
    static const QRegularExpression code("code[=:] ?(?!<redacted>)[A-Za-z0-9_-]{6,}");
    QVERIFY2(!code.match(log).hasMatch(), qPrintable(code.match(log).captured()));
}

bool SignInEndToEndTest::startWriter(QProcess &writer, const QStringList &arguments)
{
    return m_session->desktop.start(writer, QUORVELLA_BINARY_DIR "/clip_writer", arguments) &&
           QTest::qWaitFor([&] { return writer.peek(1 << 16).contains("pasted: true\n"); }, 5000);
}

void SignInEndToEndTest::copyAndSeeItHandedOn(const QString &text)
{
    QProcess xclip;
    QVERIFY(m_user->copyToClipboard(xclip, text));
    QVERIFY(m_user->waitForLine("copied link handed on: " + text, 5000));
    DesktopSession::stop(xclip);
}

void SignInEndToEndTest::secretIsNeverHandedOn()
{
    QProcess writer;
    QVERIFY(startWriter(writer, {"--secret", "https://vault.example.com/?password=Hunter2"}));
    QTest::qWait(2500); // two ticks at least see the change
    // The next ordinary copy shows the ticks went on; the secret never appeared.
    copyAndSeeItHandedOn("https://example.com/after-secret");
    QVERIFY(!m_user->output().contains("vault.example.com"));
    QVERIFY(!m_user->output().contains("Hunter2"));
    DesktopSession::stop(writer);
}

void SignInEndToEndTest::pastedLinkIsReadByOtherPrograms()
{
    // Pasted by the program's own code from a worker thread of another process.
    const QString link = "https://example.com/e2e-paste";
    QProcess writer;
    QVERIFY(startWriter(writer, {link}));
    QVERIFY(QString::fromUtf8(writer.peek(1 << 16)).contains("gonna paste: " + link + '\n'));
    QCOMPARE(m_user->clipboardText(), link);
    // The running program sees it too, as a change made by another program.
    QVERIFY(m_user->waitForLine("copied link handed on: " + link, 5000));
    DesktopSession::stop(writer);
}

void SignInEndToEndTest::ownerThatDoesNotAnswer()
{
    QProcess hog;
    QVERIFY(startWriter(hog, {"--hog", "https://example.com/never-served"}));
    // The program asks once, gives up after X11's timeout, and does not ask again.
    const QString gaveUp = "the clipboard owner does not answer";
    QVERIFY(m_user->waitForLine(gaveUp, 15000));
    // Still watching: the next copy by a program that answers is handed on.
    copyAndSeeItHandedOn("https://example.com/after-hang");
    QCOMPARE(m_user->output().count(gaveUp), 1);
    QVERIFY(!m_user->output().contains("never-served"));
    DesktopSession::stop(hog);
}

void SignInEndToEndTest::trayIconShowsTheFirstPage()
{
    // The list the sign-in opened closes at a click; the next click opens the first page.
    QVERIFY(m_user->waitForLine("LOADED", 10000));
    QVERIFY(m_user->clickTrayIcon());
    QTRY_VERIFY_WITH_TIMEOUT(m_user->window(kLinks).isEmpty(), 5000);
    const qsizetype before = requests("GET", "/v1/links").size();
    QTest::qWait(1000);
    QVERIFY(m_user->clickTrayIcon());
    QVERIFY(m_user->waitForWindow(kLinks, 5000));
    QTRY_VERIFY_WITH_TIMEOUT(requests("GET", "/v1/links").size() > before, 5000);
    QCOMPARE(lastPage()["query"].toString(), "limit=15");
    QVERIFY(m_user->waitForLine("LOADED", 5000));
}

void SignInEndToEndTest::hoveredRowCopiesItsLink()
{
    // The newest link of "Personal": quorv.link/welcome, over https.
    QVERIFY(pointAt(60, layout::firstRowY, false));
    QTest::qWait(300);
    QVERIFY(pointAt(layout::copyX, layout::firstRowY, true));
    QTRY_COMPARE_WITH_TIMEOUT(m_user->clipboardText(), "https://quorv.link/welcome", 5000);
    QVERIFY(m_user->waitForLine("manually copy: https://quorv.link/welcome", 3000));
}

void SignInEndToEndTest::favouriteFromTheRow()
{
    const QString path = "/v1/links/wsp-personal-l000/favourite";
    QVERIFY(pointAt(layout::favouriteX, layout::firstRowY, true));
    QTRY_COMPARE_WITH_TIMEOUT(requests("POST", path).size(), 1, 5000);
    QCOMPARE(requests("POST", path).first()["body"].toString(), R"({"favourite":true})");
    QVERIFY(m_user->waitForLine("YAP FAV: ", 5000));
}

void SignInEndToEndTest::bottomScrollAsksForTheNextPage()
{
    QVERIFY(pointAt(100, 300, false));
    QVERIFY(m_user->xdotool({"click", "--repeat", "40", "--delay", "20", "5"}));
    QTRY_COMPARE_WITH_TIMEOUT(lastPage()["query"].toString(), "limit=15&last=wsp-personal-l014",
                              5000);
}

void SignInEndToEndTest::searchAndBack()
{
    QVERIFY(key("slash"));
    QTest::qWait(200);
    QVERIFY(m_user->type("docs"));
    QVERIFY(key("Return"));
    QTRY_VERIFY_WITH_TIMEOUT(!requests("GET", "/v1/links/search").isEmpty(), 5000);
    QCOMPARE(requests("GET", "/v1/links/search").last()["query"].toString(), "limit=15&term=docs");
    // Escape leaves the search: the plain list comes back.
    const qsizetype plain = requests("GET", "/v1/links").size();
    QVERIFY(key("Escape"));
    QTRY_VERIFY_WITH_TIMEOUT(requests("GET", "/v1/links").size() > plain, 5000);
    QVERIFY(!m_user->window(kLinks).isEmpty());
}

void SignInEndToEndTest::switchWorkspace()
{
    QVERIFY(pointAt(150, 76, true)); // the workspace box in the header
    const QString picker = "Quorvella workspaces";
    QVERIFY(m_user->waitForWindow(picker, 5000));
    QTest::qWait(300);
    // Archive, Marketing, Personal: the second row.
    const qsizetype before = requests("GET", "/v1/links").size();
    QVERIFY(m_user->pointAt(picker, 100, 6 + layout::pickerRowHeight * 3 / 2, true));
    QTRY_VERIFY_WITH_TIMEOUT(requests("GET", "/v1/links").size() > before, 5000);
    QCOMPARE(lastPage()["headers"]["workspace"].toString(), "wsp-marketing");
    QTRY_VERIFY_WITH_TIMEOUT(m_user->window(picker).isEmpty(), 3000);
    // Choosing closes the picker, not the list.
    QTest::qWait(500);
    QVERIFY(!m_user->window(kLinks).isEmpty());
}

void SignInEndToEndTest::deleteThroughTheAlert()
{
    // The keyboard picks the first row of "Marketing"; Delete asks. Return keeps the link (the
    // safe answer is the default); the button before "Cancel" deletes it.
    QVERIFY(m_user->waitForLine("LOADED", 5000));
    QTest::qWait(300);
    QVERIFY(key("Down"));
    QVERIFY(key("Delete"));
    QVERIFY(m_user->waitForWindow("Quorvella", 5000));
    QVERIFY(m_user->pressKeyIn("Quorvella", "Return"));
    QTRY_VERIFY_WITH_TIMEOUT(m_user->window("Quorvella").isEmpty(), 5000);
    QTest::qWait(500);
    QCOMPARE(requests("DELETE", "/v1/links/wsp-marketing-l000").size(), 0);
    QVERIFY(key("Delete"));
    QVERIFY(m_user->waitForWindow("Quorvella", 5000));
    QVERIFY(m_user->pressKeyIn("Quorvella", "shift+Tab"));
    QVERIFY(m_user->pressKeyIn("Quorvella", "Return"));
    QTRY_COMPARE_WITH_TIMEOUT(requests("DELETE", "/v1/links/wsp-marketing-l000").size(), 1, 5000);
    QVERIFY(linkGone("wsp-marketing-l000", "wsp-marketing"));
    QVERIFY(m_user->waitForLine("Delete notification for: wsp-marketing-l000", 5000));
}

void SignInEndToEndTest::preferencesChangeTheRule()
{
    // "Preferences..." from the settings menu.
    QVERIFY(restart(Preferences::OptionsRebrand::notification));
    QVERIFY(openSettingsMenu());
    // "Preferences..." is the menu's first item.
    QVERIFY(m_user->pressKeys({"Down", "Return"}));
    const QString title = "Quorvella Preferences";
    // The general pane fills its pop-ups as it opens.
    QVERIFY(m_user->waitForLine("setting domains", 10000));
    QVERIFY(m_user->waitForWindow(title, 10000));
    QVERIFY(m_user->xdotool({"windowfocus", "--sync", m_user->window(title)}));
    QTest::qWait(500);

    // From the toolbar's "General": "Account", five checkboxes, then: rule "Rebrand it at once",
    // workspace Marketing (one up from the default Personal), its second domain, slashtag
    // "Suggested from the page title".
    QVERIFY(
        m_user->pressKeys({"Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "Down", "Tab", "Up"}));
    QVERIFY(m_user->waitForLine("wsp-marketing", 5000));
    QTest::qWait(1500); // the new workspace's domains
    QVERIFY(m_user->pressKeys({"Tab", "Down", "Tab", "Down", "Escape"}));
    QVERIFY(m_user->waitForLine("closing", 5000));

    const QJsonObject stored = storeAsJson();
    QCOMPARE(stored["rule"].toString(), Preferences::OptionsRebrand::autoRebrand);
    QCOMPARE(stored["slashtag"].toString(), Preferences::OptionsRebrand::slashtagSuggested);
    QCOMPARE(stored["workspace"].toString(), "wsp-marketing");
    const QString domainId = stored["domain"]["id"].toString();
    QVERIFY2(!domainId.isEmpty(), QJsonDocument(stored).toJson().constData());
    const qsizetype before = requests("POST", "/v1/links").size();

    // The new rule: a copied URL is rebranded at once, in that workspace, on that domain.
    const QString destination = "https://example.com/articles/2026/a-rather-long-destination"
                                "?utm_source=e2e";
    QProcess xclip;
    QVERIFY(m_user->copyToClipboard(xclip, destination));
    m_lastShortUrl = m_user->waitForShortUrl(destination, 10000);
    QVERIFY(!m_lastShortUrl.isEmpty());
    DesktopSession::stop(xclip);
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
    QVERIFY(
        m_user->waitForLine("this is the last branded link, ignoring: " + m_lastShortUrl, 5000));
    QVERIFY(m_session->notificationSummaries().contains("Link rebranded ✨"));
}

void SignInEndToEndTest::rebrandCommandReachesTheRunningProgram()
{
    const qsizetype before = requests("POST", "/v1/links").size();
    QVERIFY(runSecond({"--rebrand", "https://example.com/from/the/command/line"}));
    m_lastShortUrl = m_user->waitForShortUrl(m_lastShortUrl, 5000);
    QVERIFY(!m_lastShortUrl.isEmpty());
    QCOMPARE(requests("POST", "/v1/links").size(), before + 1);
    // A click on "Link rebranded ✨" reaches the program from the daemon over D-Bus and opens
    // the link's editor.
    QTRY_VERIFY_WITH_TIMEOUT(oneNotificationShown(), 5000);
    QVERIFY(m_session->desktop.run("dunstctl", {"action", "0"}));
    QVERIFY(m_user->waitForLine("Branded notification success", 5000));
    QVERIFY(m_user->waitForWindow("Quorvella edit link", 10000));
}

bool SignInEndToEndTest::runSecond(const QStringList &arguments)
{
    QProcess second;
    return m_session->desktop.start(second, QUORVELLA_BINARY_DIR "/quorvella", arguments) &&
           second.waitForFinished(15000) && second.exitCode() == 0;
}

bool SignInEndToEndTest::linkGone(const QString &id, const QString &workspace)
{
    const QString token = m_session->sandbox->issueAccessToken();
    return m_session->sandbox
               ->request("GET", "/v1/links/" + id,
                         {{"Authorization", "Bearer " + token.toLatin1()},
                          {"workspace", workspace.toLatin1()}})
               .status == 404;
}

bool SignInEndToEndTest::oneNotificationShown()
{
    return m_session->desktop.run("dunstctl", {"count", "displayed"}).value_or("0").trimmed() ==
           "1";
}

void SignInEndToEndTest::undoFromTheNotification()
{
    QVERIFY(restart(Preferences::OptionsRebrand::autoRebrand));
    const QString destination = "https://example.com/rebranded/by/mistake";
    const qsizetype posts = requests("POST", "/v1/links").size();
    QProcess xclip;
    QVERIFY(m_user->copyToClipboard(xclip, destination));
    QVERIFY(!m_user->waitForShortUrl(destination, 10000).isEmpty());
    DesktopSession::stop(xclip);
    QTRY_VERIFY_WITH_TIMEOUT(oneNotificationShown(), 5000);
    // "Undo" on "Link rebranded ✨", from the daemon over D-Bus.
    QVERIFY(m_session->chooseNotificationAction("Undo"));
    QVERIFY(m_user->waitForLineStart("rebrand undone: ", 5000));
    const QString id = m_user->output().section("rebrand undone: ", 1).section('\n', 0, 0);
    QCOMPARE(requests("DELETE", "/v1/links/" + id).size(), 1);
    QVERIFY(linkGone(id, requests("POST", "/v1/links").last()["headers"]["workspace"].toString()));
    QTRY_COMPARE_WITH_TIMEOUT(m_user->clipboardText(), destination, 5000);
    // The address back on the clipboard is not rebranded again.
    QVERIFY(m_user->waitForLine("this is the last branded link, ignoring: " + destination, 5000));
    QTest::qWait(2500);
    QCOMPARE(requests("POST", "/v1/links").size(), posts + 1);
}

void SignInEndToEndTest::pauseInTheRunningProgramOutlivesARestart()
{
    const qsizetype posts = requests("POST", "/v1/links").size();
    QVERIFY(runSecond({"--pause=5"}));
    QVERIFY(m_user->waitForLineStart("watching paused until ", 5000));
    const QString paused = "watching paused, copy not handed on";
    const QString before = "https://example.com/copied/before/the/restart";
    QProcess xclip;
    QVERIFY(m_user->copyToClipboard(xclip, before));
    QVERIFY(m_user->waitForLine(paused, 5000));
    DesktopSession::stop(xclip);

    // Still paused after a restart; a copy made then stays untouched after "--resume".
    QVERIFY(restart(Preferences::OptionsRebrand::autoRebrand));
    const QString during = "https://example.com/copied/during/the/pause";
    QVERIFY(m_user->copyToClipboard(xclip, during));
    QVERIFY(m_user->waitForLine(paused, 5000));
    QVERIFY(runSecond({"--resume"}));
    QVERIFY(m_user->waitForLine("watching resumed", 5000));
    QTest::qWait(2500);
    DesktopSession::stop(xclip);
    QCOMPARE(requests("POST", "/v1/links").size(), posts);
    QVERIFY(!m_user->output().contains("copied link handed on: "));
    // Watching again.
    copyAndSeeItHandedOn("https://example.com/after/the/pause");
}

void SignInEndToEndTest::questionAnsweredInTheDialogue()
{
    QVERIFY(restart(Preferences::OptionsRebrand::notification));
    const QString destination = "https://example.com/asked/first";
    const qsizetype before = requests("POST", "/v1/links").size();
    QProcess xclip;
    QVERIFY(m_user->copyToClipboard(xclip, destination));
    // "Do you want to Rebrand this link?", in a modal dialogue of the program.
    QVERIFY(m_user->waitForWindow("Quorvella", 5000));
    // Nothing is created before the user answers.
    QCOMPARE(requests("POST", "/v1/links").size(), before);
    // "Rebrand" is the default button.
    QVERIFY(m_user->pressKeyIn("Quorvella", "Return"));
    QVERIFY(!m_user->waitForShortUrl(destination, 5000).isEmpty());
    DesktopSession::stop(xclip);
    QCOMPARE(requests("POST", "/v1/links").size(), before + 1);
    QVERIFY(m_session->notificationSummaries().contains("Link rebranded ✨"));
}

void SignInEndToEndTest::newLinkFormFromTheClipboard()
{
    // The workspace copied URLs go to; the form offers its domains.
    SettingsStore::shared().setDictionary(Preferences::workspaceObjectAutoReplace,
                                          {{"id", "wsp-personal"}, {"name", "Personal"}});
    QVERIFY(restart(Preferences::OptionsRebrand::askEditLink));
    const QString destination = "https://example.com/opened/in/the/form";
    const qsizetype before = requests("POST", "/v1/links").size();
    QProcess xclip;
    QVERIFY(m_user->copyToClipboard(xclip, destination));
    // The new-link form opens with the copied URL and its proposals; Enter creates.
    QVERIFY(m_user->waitForWindow("Quorvella new link", 5000));
    QVERIFY(m_user->waitForLine("RESPONSE TITLE", 5000));
    QTest::qWait(500);
    QVERIFY(m_user->pressKeyIn("Quorvella new link", "Return"));
    QTRY_COMPARE_WITH_TIMEOUT(requests("POST", "/v1/links").size(), before + 1, 5000);
    QCOMPARE(lastCreated()["destination"].toString(), destination);
    QCOMPARE(lastCreated()["domainId"].toString(), "dom-quorv-link");
    DesktopSession::stop(xclip);
}

void SignInEndToEndTest::quitFromTheSettingsMenu()
{
    // "Quit Quorvella", the menu's last item, ends the program cleanly: status 0 and no crash
    // report left for the next start to send.
    const QString crashes = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                            "/Quorvella/crashes";
    // A fresh start: no form of the tests before stands in the way of the list.
    QVERIFY(restart(Preferences::OptionsRebrand::notification));
    QVERIFY(openSettingsMenu());
    // Below it: a separator, "Pause for 1 hour" and "Pause until tomorrow".
    QVERIFY(m_user->pressKeys({"Up", "Up", "Up", "Return"}));
    QProcess &program = m_user->program();
    QTRY_COMPARE_WITH_TIMEOUT(program.state(), QProcess::NotRunning, 10000);
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(QDir(crashes).entryList(QDir::Files).isEmpty(), qPrintable(crashes));
}

QTEST_GUILESS_MAIN(SignInEndToEndTest)
#include "tst_signin_e2e.moc"
