// The link list of the real program on a real X server, against the sandbox: the tray icon
// opens the first page; the user scrolls to the next page, searches, switches workspace,
// hovers a row and copies its link (xclip reads it), marks a favourite and deletes a link
// through the alert. A notification daemon (dunst) shows what the program announces.
#include "EndToEndSession.h"

#include <QJsonValue>
#include <QTest>

class LinkListEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void trayIconShowsTheFirstPage();
    void hoveredRowCopiesItsLink();
    void favouriteFromTheRow();
    void bottomScrollAsksForTheNextPage();
    void searchAndBack();
    void switchWorkspace();
    void deleteThroughTheAlert();

private:
    // The sandbox's record of the last page the list asked for.
    [[nodiscard]] QJsonValue lastPage() { return m_session->requests("GET", "/v1/links").last(); }
    bool key(const QString &keys) { return m_user->pressKeyIn(kLinks, keys); }
    bool pointAt(int x, int y, bool click) { return m_user->pointAt(kLinks, x, y, click); }

    const QString kLinks = SignInDriver::linksPopoverTitle();
    std::unique_ptr<EndToEndSession> m_session;
    SignInDriver *m_user = nullptr;
};

// Where things are in the list's window (360 × 520): the header takes the first 110 pixels,
// rows are 64 high; the hover actions sit at the right end of a row.
namespace layout {
constexpr int firstRowY = 110 + 32;
constexpr int copyX = 167;
constexpr int favouriteX = 200;
constexpr int pickerRowHeight = 36;
} // namespace layout

void LinkListEndToEndTest::initTestCase()
{
    const QString missing = SignInDriver::missingPrerequisite(QUORVELLA_BINARY_DIR,
                                                              EndToEndSession::signedInPrograms());
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_session = std::make_unique<EndToEndSession>();
    QVERIFY2(m_session->error().isEmpty(), qPrintable(m_session->error()));
    QVERIFY(m_session->signIn("qv-option-doNothing"));
    m_user = m_session->user.get();
    // A signed-in user's list opens by itself; it is closed again for the first click.
    QVERIFY(m_user->waitForWindow(kLinks, 15000));
    QVERIFY(m_user->waitForLine("LOADED", 10000));
    QVERIFY(m_user->clickTrayIcon());
    QTRY_VERIFY_WITH_TIMEOUT(m_user->window(kLinks).isEmpty(), 5000);
}

void LinkListEndToEndTest::trayIconShowsTheFirstPage()
{
    const qsizetype before = m_session->requests("GET", "/v1/links").size();
    QTest::qWait(1000);
    QVERIFY(m_user->clickTrayIcon());
    QVERIFY(m_user->waitForWindow(kLinks, 5000));
    QTRY_VERIFY_WITH_TIMEOUT(m_session->requests("GET", "/v1/links").size() > before, 5000);
    QCOMPARE(lastPage()["query"].toString(), "limit=15");
    QVERIFY(m_user->waitForLine("LOADED", 5000));
}

void LinkListEndToEndTest::hoveredRowCopiesItsLink()
{
    // The newest link of "Personal": quorv.link/welcome, over https.
    QVERIFY(pointAt(60, layout::firstRowY, false));
    QTest::qWait(300);
    QVERIFY(pointAt(layout::copyX, layout::firstRowY, true));
    QTRY_COMPARE_WITH_TIMEOUT(m_user->clipboardText(), "https://quorv.link/welcome", 5000);
    QVERIFY(m_user->waitForLine("manually copy: https://quorv.link/welcome", 3000));
}

void LinkListEndToEndTest::favouriteFromTheRow()
{
    const QString path = "/v1/links/wsp-personal-l000/favourite";
    QVERIFY(pointAt(layout::favouriteX, layout::firstRowY, true));
    QTRY_COMPARE_WITH_TIMEOUT(m_session->requests("POST", path).size(), 1, 5000);
    QCOMPARE(m_session->requests("POST", path).first()["body"].toString(), R"({"favourite":true})");
    QVERIFY(m_user->waitForLine("YAP FAV: ", 5000));
}

void LinkListEndToEndTest::bottomScrollAsksForTheNextPage()
{
    QVERIFY(pointAt(100, 300, false));
    QVERIFY(m_user->xdotool({"click", "--repeat", "40", "--delay", "20", "5"}));
    QTRY_COMPARE_WITH_TIMEOUT(lastPage()["query"].toString(), "limit=15&last=wsp-personal-l014",
                              5000);
}

void LinkListEndToEndTest::searchAndBack()
{
    QVERIFY(key("slash"));
    QTest::qWait(200);
    QVERIFY(m_user->type("docs"));
    QVERIFY(key("Return"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_session->requests("GET", "/v1/links/search").isEmpty(), 5000);
    QCOMPARE(m_session->requests("GET", "/v1/links/search").last()["query"].toString(),
             "limit=15&term=docs");
    // Escape leaves the search: the plain list comes back.
    const qsizetype plain = m_session->requests("GET", "/v1/links").size();
    QVERIFY(key("Escape"));
    QTRY_VERIFY_WITH_TIMEOUT(m_session->requests("GET", "/v1/links").size() > plain, 5000);
    QVERIFY(!m_user->window(kLinks).isEmpty());
}

void LinkListEndToEndTest::switchWorkspace()
{
    QVERIFY(pointAt(150, 76, true)); // the workspace box in the header
    const QString picker = "Quorvella workspaces";
    QVERIFY(m_user->waitForWindow(picker, 5000));
    QTest::qWait(300);
    // Archive, Marketing, Personal: the second row.
    const qsizetype before = m_session->requests("GET", "/v1/links").size();
    QVERIFY(m_user->pointAt(picker, 100, 6 + layout::pickerRowHeight * 3 / 2, true));
    QTRY_VERIFY_WITH_TIMEOUT(m_session->requests("GET", "/v1/links").size() > before, 5000);
    QCOMPARE(lastPage()["headers"]["workspace"].toString(), "wsp-marketing");
    QTRY_VERIFY_WITH_TIMEOUT(m_user->window(picker).isEmpty(), 3000);
    // Choosing closes the picker, not the list.
    QTest::qWait(500);
    QVERIFY(!m_user->window(kLinks).isEmpty());
}

void LinkListEndToEndTest::deleteThroughTheAlert()
{
    // The keyboard picks the first row of "Marketing"; Delete asks, Return confirms.
    QVERIFY(m_user->waitForLine("LOADED", 5000));
    QTest::qWait(300);
    QVERIFY(key("Down"));
    QVERIFY(key("Delete"));
    QVERIFY(m_user->waitForWindow("Quorvella", 5000));
    QVERIFY(m_user->pressKeyIn("Quorvella", "Return"));
    QTRY_COMPARE_WITH_TIMEOUT(m_session->requests("DELETE", "/v1/links/wsp-marketing-l000").size(),
                              1, 5000);
    const QString token = m_session->sandbox->issueAccessToken();
    const auto gone = m_session->sandbox->request(
        "GET", "/v1/links/wsp-marketing-l000",
        {{"Authorization", "Bearer " + token.toLatin1()}, {"workspace", "wsp-marketing"}});
    QCOMPARE(gone.status, 404);
    QVERIFY(m_user->waitForLine("Delete notification for: wsp-marketing-l000", 5000));
}

QTEST_GUILESS_MAIN(LinkListEndToEndTest)
#include "tst_linklist_e2e.moc"
