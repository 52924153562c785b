// The preferences on a real X server: "Preferences..." from the settings menu of the signed-in
// program, the rule, workspace, domain and slashtag strategy changed with the keyboard, the
// store read back with Python's plistlib, and a copied URL then rebranded by the new rule.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "EndToEndSession.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Costants;

class PreferencesEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void preferencesChangeTheRule();
};

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

void PreferencesEndToEndTest::preferencesChangeTheRule()
{
    const QString missing = SignInDriver::missingPrerequisite(
        QUORVELLA_BINARY_DIR, EndToEndSession::signedInPrograms() << "python3");
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    EndToEndSession session;
    QVERIFY2(session.error().isEmpty(), qPrintable(session.error()));
    QVERIFY(session.signIn(Preferences::OptionsRebrand::notification));
    SignInDriver &user = *session.user;

    // The settings menu hangs off the gear at the top right of the link list, which the
    // sign-in has opened.
    const QString links = SignInDriver::linksPopoverTitle();
    if (!user.waitForWindow(links, 3000))
        QVERIFY(user.clickTrayIcon());
    QVERIFY(user.waitForWindow(links, 10000));
    QVERIFY(user.xdotool({"windowfocus", "--sync", user.window(links)}));
    // The gear is the header's last button, 12 px in from the top right corner.
    const QString shell =
        session.desktop.run("xdotool", {"getwindowgeometry", "--shell", user.window(links)})
            .value_or(QByteArray());
    const qsizetype at = shell.indexOf("WIDTH=");
    QVERIFY(at >= 0);
    const int width = shell.mid(at + 6).section('\n', 0, 0).toInt();
    QVERIFY(user.pointAt(links, width - 28, 28, true));
    QTest::qWait(500);
    // "Preferences..." is the menu's first item.
    QVERIFY(user.pressKeys({"Down", "Return"}));
    const QString title = "Quorvella Preferences";
    // The general pane fills its pop-ups as it opens.
    QVERIFY(user.waitForLine("setting domains", 10000));
    QVERIFY(user.waitForWindow(title, 10000));
    QVERIFY(user.xdotool({"windowfocus", "--sync", user.window(title)}));
    QTest::qWait(500);

    // Five checkboxes, then: rule "Rebrand it at once", workspace Marketing (one up from
    // the default Personal), its second domain, slashtag "Suggested from the page title".
    QVERIFY(user.pressKeys({"Tab", "Tab", "Tab", "Tab", "Tab", "Down", "Tab", "Up"}));
    QVERIFY(user.waitForLine("wsp-marketing", 5000));
    QTest::qWait(1500); // the new workspace's domains
    QVERIFY(user.pressKeys({"Tab", "Down", "Tab", "Down", "Escape"}));
    QVERIFY(user.waitForLine("closing", 5000));

    const QJsonObject stored = storeAsJson();
    QCOMPARE(stored["rule"].toString(), Preferences::OptionsRebrand::autoRebrand);
    QCOMPARE(stored["slashtag"].toString(), Preferences::OptionsRebrand::slashtagSuggested);
    QCOMPARE(stored["workspace"].toString(), "wsp-marketing");
    const QString domainId = stored["domain"]["id"].toString();
    QVERIFY2(!domainId.isEmpty(), QJsonDocument(stored).toJson().constData());

    // The new rule: a copied URL is rebranded at once, in that workspace, on that domain.
    const QString destination = "https://example.com/preferences/changed";
    QProcess xclip;
    QVERIFY(user.copyToClipboard(xclip, destination));
    QVERIFY(!user.waitForShortUrl(destination, 10000).isEmpty());
    DesktopSession::stop(xclip);
    const QJsonArray posts = session.requests("POST", "/v1/links");
    QCOMPARE(posts.size(), 1);
    QCOMPARE(posts.first()["headers"]["workspace"].toString(), "wsp-marketing");
    QVERIFY2(posts.first()["body"].toString().contains(domainId),
             qPrintable(posts.first()["body"].toString()));
}

QTEST_GUILESS_MAIN(PreferencesEndToEndTest)
#include "tst_preferences_e2e.moc"
