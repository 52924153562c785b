// The link list of the real program on a real X server, against the sandbox: the tray icon
// opens the first page; the user scrolls to the next page, searches, switches workspace,
// hovers a row and copies its link (xclip reads it), marks a favourite and deletes a link
// through the alert. A notification daemon (dunst) shows what the program announces.
#include "DesktopSession.h"
#include "SandboxProcess.h"
#include "SignInDriver.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <memory>

class LinkListEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void trayIconShowsTheFirstPage();
    void hoveredRowCopiesItsLink();
    void favouriteFromTheRow();
    void bottomScrollAsksForTheNextPage();
    void searchAndBack();
    void switchWorkspace();
    void deleteThroughTheAlert();

private:
    [[nodiscard]] QJsonArray requests(const QString &path, const QString &method = "GET");
    // Points at (x, y) of the link list's window; clicks there when asked.
    bool pointAt(const QString &title, int x, int y, bool click);
    bool key(const QString &keys) { return m_user->pressKeyIn(kLinks, keys); }
    bool type(const QString &text);

    const QString kLinks = SignInDriver::linksPopoverTitle();
    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<DesktopSession> m_desktop;
    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<SignInDriver> m_user;
    QProcess m_daemon;
};

// Where things are in the list's window (360 × 520): the header takes the first 110 pixels,
// rows are 64 high; the hover actions sit at the right end of a row.
namespace layout {
constexpr int firstRowY = 110 + 32;
constexpr int copyX = 167;
constexpr int favouriteX = 200;
constexpr int workspaceBoxX = 150;
constexpr int workspaceBoxY = 76;
constexpr int pickerRowHeight = 36;
} // namespace layout

void LinkListEndToEndTest::initTestCase()
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
    SignInDriver::seedPreferences(QStringLiteral("qv-option-doNothing"));
    m_user = std::make_unique<SignInDriver>(*m_desktop);
    QVERIFY(m_user->trayHostRunning());
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY(m_sandbox->isRunning());
    QVERIFY(m_user->startProgram(QStringLiteral(QUORVELLA_BINARY_DIR),
                                 m_sandbox->baseUrl().toString()));
    QVERIFY2(m_user->signInWithDemoAccount(), qPrintable(m_user->output()));
    // A signed-in user's list opens by itself; it is closed again for the first click.
    QVERIFY2(m_user->waitForWindow(kLinks, 15000), qPrintable(m_user->output()));
    QVERIFY(m_user->waitForLine(QStringLiteral("LOADED"), 10000));
    QVERIFY(m_user->clickTrayIcon());
    QTRY_VERIFY_WITH_TIMEOUT(m_user->window(kLinks).isEmpty(), 5000);
}

void LinkListEndToEndTest::cleanupTestCase()
{
    m_user.reset();
    m_sandbox.reset();
    DesktopSession::stop(m_daemon);
    m_desktop.reset();
    m_environment.reset();
}

QJsonArray LinkListEndToEndTest::requests(const QString &path, const QString &method)
{
    return m_sandbox
        ->control("GET", QStringLiteral("/__sandbox/requests?method=%1&path=%2").arg(method, path))
        .json()
        .toObject()
        .value(QStringLiteral("requests"))
        .toArray();
}

bool LinkListEndToEndTest::pointAt(const QString &title, int x, int y, bool click)
{
    const QString window = m_user->window(title);
    if (window.isEmpty())
        return false;
    QProcess tool;
    tool.setProcessEnvironment(m_desktop->environment());
    QStringList arguments{QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                          QString::number(x), QString::number(y)};
    if (click)
        arguments << QStringLiteral("click") << QStringLiteral("1");
    tool.start(QStringLiteral("xdotool"), arguments);
    return tool.waitForFinished(10000) && tool.exitCode() == 0;
}

bool LinkListEndToEndTest::type(const QString &text)
{
    QProcess tool;
    tool.setProcessEnvironment(m_desktop->environment());
    tool.start(QStringLiteral("xdotool"),
               {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), text});
    return tool.waitForFinished(10000) && tool.exitCode() == 0;
}

void LinkListEndToEndTest::trayIconShowsTheFirstPage()
{
    const qsizetype before = requests("/v1/links").size();
    QTest::qWait(1000);
    QVERIFY(m_user->clickTrayIcon());
    QVERIFY2(m_user->waitForWindow(kLinks, 5000), qPrintable(m_user->output().right(3000)));
    QTRY_VERIFY_WITH_TIMEOUT(requests("/v1/links").size() > before, 5000);
    const QJsonObject page = requests("/v1/links").last().toObject();
    QCOMPARE(page.value("query").toString(), QStringLiteral("limit=15"));
    QVERIFY(m_user->waitForLine(QStringLiteral("LOADED"), 5000));
}

void LinkListEndToEndTest::hoveredRowCopiesItsLink()
{
    // The newest link of "Personal": quorv.link/welcome, over https.
    QVERIFY(pointAt(kLinks, 60, layout::firstRowY, false));
    QTest::qWait(300);
    QVERIFY(pointAt(kLinks, layout::copyX, layout::firstRowY, true));
    QTRY_COMPARE_WITH_TIMEOUT(m_user->clipboardText(), QStringLiteral("https://quorv.link/welcome"),
                              5000);
    QVERIFY(m_user->waitForLine(QStringLiteral("manually copy: https://quorv.link/welcome"), 3000));
}

void LinkListEndToEndTest::favouriteFromTheRow()
{
    QVERIFY(pointAt(kLinks, layout::favouriteX, layout::firstRowY, true));
    QTRY_COMPARE_WITH_TIMEOUT(requests("/v1/links/wsp-personal-l000/favourite", "POST").size(), 1,
                              5000);
    QCOMPARE(requests("/v1/links/wsp-personal-l000/favourite", "POST")
                 .first()
                 .toObject()
                 .value("body")
                 .toString(),
             QStringLiteral(R"({"favourite":true})"));
    QVERIFY(m_user->waitForLine(QStringLiteral("YAP FAV: "), 5000));
}

void LinkListEndToEndTest::bottomScrollAsksForTheNextPage()
{
    QProcess wheel;
    wheel.setProcessEnvironment(m_desktop->environment());
    QVERIFY(pointAt(kLinks, 100, 300, false));
    wheel.start(QStringLiteral("xdotool"),
                {QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("40"),
                 QStringLiteral("--delay"), QStringLiteral("20"), QStringLiteral("5")});
    QVERIFY(wheel.waitForFinished(10000));
    QTRY_VERIFY_WITH_TIMEOUT(requests("/v1/links").last().toObject().value("query").toString() ==
                                 QStringLiteral("limit=15&last=wsp-personal-l014"),
                             5000);
}

void LinkListEndToEndTest::searchAndBack()
{
    QVERIFY(key(QStringLiteral("slash")));
    QTest::qWait(200);
    QVERIFY(type(QStringLiteral("docs")));
    QVERIFY(key(QStringLiteral("Return")));
    QTRY_VERIFY_WITH_TIMEOUT(!requests("/v1/links/search").isEmpty(), 5000);
    QCOMPARE(requests("/v1/links/search").last().toObject().value("query").toString(),
             QStringLiteral("limit=15&term=docs"));
    // Escape leaves the search: the plain list comes back.
    const qsizetype plain = requests("/v1/links").size();
    QVERIFY(key(QStringLiteral("Escape")));
    QTRY_VERIFY_WITH_TIMEOUT(requests("/v1/links").size() > plain, 5000);
    QVERIFY(!m_user->window(kLinks).isEmpty());
}

void LinkListEndToEndTest::switchWorkspace()
{
    QVERIFY(pointAt(kLinks, layout::workspaceBoxX, layout::workspaceBoxY, true));
    const QString picker = QStringLiteral("Quorvella workspaces");
    QVERIFY(m_user->waitForWindow(picker, 5000));
    QTest::qWait(300);
    // Archive, Marketing, Personal: the second row.
    const qsizetype before = requests("/v1/links").size();
    QVERIFY(pointAt(picker, 100, 6 + layout::pickerRowHeight + layout::pickerRowHeight / 2, true));
    QTRY_VERIFY_WITH_TIMEOUT(requests("/v1/links").size() > before, 5000);
    const QJsonObject page = requests("/v1/links").last().toObject();
    QCOMPARE(page.value("headers").toObject().value("workspace").toString(),
             QStringLiteral("wsp-marketing"));
    QTRY_VERIFY_WITH_TIMEOUT(m_user->window(picker).isEmpty(), 3000);
    // Choosing closes the picker, not the list.
    QTest::qWait(500);
    QVERIFY(!m_user->window(kLinks).isEmpty());
}

void LinkListEndToEndTest::deleteThroughTheAlert()
{
    // The keyboard picks the first row of "Marketing"; Delete asks, Return confirms.
    QVERIFY(m_user->waitForLine(QStringLiteral("LOADED"), 5000));
    QTest::qWait(300);
    QVERIFY(key(QStringLiteral("Down")));
    QVERIFY(key(QStringLiteral("Delete")));
    QVERIFY(m_user->waitForWindow(QStringLiteral("Quorvella"), 5000));
    QVERIFY(m_user->pressKeyIn(QStringLiteral("Quorvella"), QStringLiteral("Return")));
    QTRY_COMPARE_WITH_TIMEOUT(requests("/v1/links/wsp-marketing-l000", "DELETE").size(), 1, 5000);
    const QString token = m_sandbox->issueAccessToken();
    const auto gone = m_sandbox->request(
        "GET", "/v1/links/wsp-marketing-l000",
        {{"Authorization", "Bearer " + token.toLatin1()}, {"workspace", "wsp-marketing"}});
    QCOMPARE(gone.status, 404);
    QVERIFY(
        m_user->waitForLine(QStringLiteral("Delete notification for: wsp-marketing-l000"), 5000));
}

QTEST_GUILESS_MAIN(LinkListEndToEndTest)
#include "tst_linklist_e2e.moc"
