// The preferences on a real X server: "Preferences..." from the settings menu of the signed-in
// program, the rule, workspace, domain and slashtag strategy changed with the keyboard, the
// store read back with Python's plistlib, and a copied URL then rebranded by the new rule.
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

class PreferencesEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void preferencesChangeTheRule();

private:
    bool xdotool(const QStringList &arguments);
    bool keys(const QStringList &sequence);
    [[nodiscard]] QJsonObject storeAsJson();

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<DesktopSession> m_desktop;
    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<SignInDriver> m_user;
};

void PreferencesEndToEndTest::initTestCase()
{
    const QString missing = SignInDriver::missingPrerequisite(
        QStringLiteral(QUORVELLA_BINARY_DIR), {QStringLiteral("xclip"), QStringLiteral("python3")});
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_environment = std::make_unique<TestEnvironment>();
    m_desktop = std::make_unique<DesktopSession>();
    QVERIFY2(m_desktop->isReady(), qPrintable(m_desktop->error()));
    SignInDriver::seedPreferences(Preferences::OptionsRebrand::notification);
    m_user = std::make_unique<SignInDriver>(*m_desktop);
    QVERIFY(m_user->trayHostRunning());
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY(m_sandbox->isRunning());
    QVERIFY(m_user->startProgram(QStringLiteral(QUORVELLA_BINARY_DIR),
                                 m_sandbox->baseUrl().toString()));
    QVERIFY2(m_user->signInWithDemoAccount(), qPrintable(m_user->output()));
    QVERIFY2(m_user->waitForLine("setting domains first authentication", 15000),
             qPrintable(m_user->output()));
}

void PreferencesEndToEndTest::cleanupTestCase()
{
    m_user.reset();
    m_sandbox.reset();
    m_desktop.reset();
    m_environment.reset();
}

bool PreferencesEndToEndTest::xdotool(const QStringList &arguments)
{
    QProcess tool;
    tool.setProcessEnvironment(m_desktop->environment());
    tool.start(QStringLiteral("xdotool"), arguments);
    return tool.waitForFinished(20000) && tool.exitCode() == 0;
}

bool PreferencesEndToEndTest::keys(const QStringList &sequence)
{
    for (const QString &key : sequence) {
        if (!xdotool({"key", key}))
            return false;
        QTest::qWait(150);
    }
    return true;
}

QJsonObject PreferencesEndToEndTest::storeAsJson()
{
    // Read as any other program reads a property list, not through our own store.
    const QString script = QStringLiteral(R"(
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
)");
    QProcess python;
    python.start(QStringLiteral("python3"), {"-c", script, SettingsStore::sharedFilePath()});
    if (!python.waitForFinished(10000))
        return {};
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

void PreferencesEndToEndTest::preferencesChangeTheRule()
{
    // The settings menu hangs off the gear at the top right of the link list, which the
    // sign-in has opened.
    if (!m_user->waitForWindow(SignInDriver::linksPopoverTitle(), 3000))
        QVERIFY(m_user->clickTrayIcon());
    QVERIFY(m_user->waitForWindow(SignInDriver::linksPopoverTitle(), 10000));
    const QString popover = m_user->window(SignInDriver::linksPopoverTitle());
    QVERIFY(xdotool({"windowfocus", "--sync", popover}));
    // The gear is the header's last button, 12 px in from the top right corner.
    QProcess geometry;
    geometry.setProcessEnvironment(m_desktop->environment());
    geometry.start(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", popover});
    QVERIFY(geometry.waitForFinished(5000));
    const QString shell = QString::fromUtf8(geometry.readAllStandardOutput());
    const qsizetype at = shell.indexOf(QStringLiteral("WIDTH="));
    QVERIFY(at >= 0);
    const int width = shell.mid(at + 6).section(QLatin1Char('\n'), 0, 0).toInt();
    QVERIFY(xdotool(
        {"mousemove", "--window", popover, QString::number(width - 28), "28", "click", "1"}));
    QTest::qWait(500);
    // "Preferences..." is the menu's first item.
    QVERIFY(keys({"Down", "Return"}));
    const QString title = QStringLiteral("Quorvella Preferences");
    // The general pane fills its pop-ups as it opens.
    QVERIFY2(m_user->waitForLine("setting domains", 10000),
             qPrintable(m_user->output().right(800)));
    QVERIFY(m_user->waitForWindow(title, 10000));
    QVERIFY(xdotool({"windowfocus", "--sync", m_user->window(title)}));
    QTest::qWait(500);

    // Five checkboxes, then: rule "Rebrand it at once", workspace Marketing (one up from
    // the default Personal), its second domain, slashtag "Suggested from the page title".
    QVERIFY(keys({"Tab", "Tab", "Tab", "Tab", "Tab", "Down", "Tab", "Up"}));
    QVERIFY(m_user->waitForLine("wsp-marketing", 5000));
    QTest::qWait(1500); // the new workspace's domains
    QVERIFY(keys({"Tab", "Down", "Tab", "Down", "Escape"}));
    QVERIFY(m_user->waitForLine("closing", 5000));

    const QJsonObject stored = storeAsJson();
    QCOMPARE(stored.value("rule").toString(), Preferences::OptionsRebrand::autoRebrand);
    QCOMPARE(stored.value("slashtag").toString(), Preferences::OptionsRebrand::slashtagSuggested);
    QCOMPARE(stored.value("workspace").toString(), QStringLiteral("wsp-marketing"));
    const QString domainId = stored.value("domain").toObject().value("id").toString();
    QVERIFY2(!domainId.isEmpty(), qPrintable(QJsonDocument(stored).toJson()));

    // The new rule: a copied URL is rebranded at once, in that workspace, on that domain.
    const QString destination = QStringLiteral("https://example.com/preferences/changed");
    QProcess xclip;
    QVERIFY(m_user->copyToClipboard(xclip, destination));
    QVERIFY2(!m_user->waitForShortUrl(destination, 10000).isEmpty(), qPrintable(m_user->output()));
    DesktopSession::stop(xclip);
    const QJsonArray posts =
        QJsonDocument::fromJson(m_user->sandboxControl("requests?method=POST&path=/v1/links"))
            .object()
            .value("requests")
            .toArray();
    QCOMPARE(posts.size(), 1);
    const QJsonObject request = posts.first().toObject();
    QCOMPARE(request.value("headers").toObject().value("workspace").toString(),
             QStringLiteral("wsp-marketing"));
    QVERIFY2(request.value("body").toString().contains(domainId),
             qPrintable(request.value("body").toString()));
}

QTEST_GUILESS_MAIN(PreferencesEndToEndTest)
#include "tst_preferences_e2e.moc"
