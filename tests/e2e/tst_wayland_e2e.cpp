// The program on a real Wayland compositor: a headless sway, started as an unprivileged user
// (sway refuses root), with the program on Qt's wayland platform, following the clipboard
// through the compositor's data-control manager. wl-copy and wl-paste are the other
// programs; a small wire-protocol client plays an owner that dies or hangs mid-read. The
// demo account signs in on the X11 desktop first (the web view is typed into with xdotool);
// the store keeps it for the run on sway.
#include "App/Costants.h"
#include "EndToEndSession.h"
#include "HeadlessSway.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Costants;

class WaylandEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void copyBecomesShortUrlOnce();
    void ownerFailingMidRead_data();
    void ownerFailingMidRead();
    void listPopoverOnScreen();
    void desktopThatHidesCopiesSaysSo();

private:
    [[nodiscard]] QString pasted() const;
    // Copies with wl-copy, which keeps serving until another copy replaces it.
    bool copy(QProcess &wlCopy, const QString &text);
    [[nodiscard]] qsizetype posts() { return m_session->requests("POST", "/v1/links").size(); }

    std::unique_ptr<EndToEndSession> m_session;
    std::unique_ptr<HeadlessSway> m_sway;
};

void WaylandEndToEndTest::initTestCase()
{
    const QString missing = SignInDriver::missingPrerequisite(
        QUORVELLA_BINARY_DIR,
        EndToEndSession::signedInPrograms() +
            QStringList{"sway", "wl-copy", "wl-paste", "swaymsg", "setpriv", "python3"});
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing + ": no Wayland compositor to test on"));
    m_session = std::make_unique<EndToEndSession>();
    QVERIFY2(m_session->error().isEmpty(), qPrintable(m_session->error()));
    QVERIFY(m_session->signIn(Preferences::OptionsRebrand::autoRebrand));

    m_sway = std::make_unique<HeadlessSway>();
    QVERIFY2(m_sway->error().isEmpty(), qPrintable(m_sway->error()));
    m_session->desktop.useWayland(m_sway->socket());
    QVERIFY(m_session->restart(Preferences::OptionsRebrand::autoRebrand));
    QVERIFY(m_session->user->output().contains(
        "clipboard: Wayland session, watching through zwlr_data_control_manager_v1\n"));
}

QString WaylandEndToEndTest::pasted() const
{
    return QString::fromUtf8(
        m_session->desktop.run("wl-paste", {"--no-newline"}, 5000).value_or(QByteArray()));
}

bool WaylandEndToEndTest::copy(QProcess &wlCopy, const QString &text)
{
    return m_session->desktop.start(wlCopy, "wl-copy", {"--foreground", text});
}

void WaylandEndToEndTest::copyBecomesShortUrlOnce()
{
    const QString destination = "https://example.com/wayland/a-long-destination?from=sway";
    const qsizetype before = posts();
    QProcess wlCopy;
    QVERIFY(copy(wlCopy, destination));
    QString shortUrl;
    QVERIFY(QTest::qWaitFor(
        [&] {
            shortUrl = pasted();
            return shortUrl.startsWith("https://") && !shortUrl.contains("example.com");
        },
        10000));
    QTRY_VERIFY(wlCopy.state() == QProcess::NotRunning); // replaced by the program's link
    QCOMPARE(posts(), before + 1);
    QVERIFY(m_session->user->output().contains("copied link handed on: " + destination + '\n'));
    const QString ignored = "this is the last branded link, ignoring: " + shortUrl;
    QVERIFY(m_session->user->waitForLine(ignored, 5000));
    // Still served after the program's own read: every request gets the whole text. (The same
    // link copied again by another program is tst_clipboardmonitor's.)
    QTest::qWait(1500);
    QCOMPARE(posts(), before + 1);
    QCOMPARE(pasted(), shortUrl);
}

void WaylandEndToEndTest::ownerFailingMidRead_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("logged");
    QTest::newRow("dies after ten bytes") << "partial"
                                          << "";
    QTest::newRow("never writes") << "silent"
                                  << "the clipboard owner does not answer";
}

void WaylandEndToEndTest::ownerFailingMidRead()
{
    QFETCH(QString, mode);
    QFETCH(QString, logged);
    const QString text = "https://example.com/owner-" + mode;
    QProcess owner;
    QVERIFY(m_session->desktop.start(
        owner, "python3", {QFINDTESTDATA("wayland_owner.py"), m_sway->socket(), text, mode}));
    QVERIFY(QTest::qWaitFor([&] { return owner.peek(64).contains("asked"); }, 5000));
    if (!logged.isEmpty())
        QVERIFY(m_session->user->waitForLine(logged, 6000));
    DesktopSession::stop(owner);

    // The program neither hangs nor ends: the next copy is handed on as ever.
    const QString after = "https://example.com/after-" + mode;
    QProcess wlCopy;
    QVERIFY(copy(wlCopy, after));
    QVERIFY(m_session->user->waitForLine("copied link handed on: " + after, 5000));
    QVERIFY(!m_session->user->output().contains("copied link handed on: https://ex\n"));
    QVERIFY(!m_session->user->output().contains("owner-" + mode));
    QTRY_VERIFY_WITH_TIMEOUT(pasted().startsWith("https://") && !pasted().contains("example.com"),
                             10000);
    DesktopSession::stop(wlCopy);
}

void WaylandEndToEndTest::listPopoverOnScreen()
{
    // The tray icon is a StatusNotifierItem on the session bus, as on X11.
    QVERIFY(m_session->user->clickTrayIcon());
    QVERIFY(m_session->user->waitForLine("LOADED", 10000));
    // Where the compositor put the popover: inside the output, never off it.
    QJsonObject popover;
    const auto find = [&] {
        QList<QJsonObject> nodes{
            QJsonDocument::fromJson(
                m_session->desktop
                    .run("swaymsg", {"-s", m_sway->ipcSocket(), "-r", "-t", "get_tree"}, 5000)
                    .value_or(QByteArray()))
                .object()};
        while (!nodes.isEmpty()) {
            const QJsonObject node = nodes.takeFirst();
            if (node["name"].toString() == SignInDriver::linksPopoverTitle() &&
                node["visible"].toBool())
                popover = node;
            for (const char *children : {"nodes", "floating_nodes"})
                for (const QJsonValue &child : node[children].toArray())
                    nodes.append(child.toObject());
        }
        return !popover.isEmpty();
    };
    QVERIFY(QTest::qWaitFor(find, 10000));
    const QJsonObject rect = popover["rect"].toObject();
    const QRect placed(rect["x"].toInt(), rect["y"].toInt(), rect["width"].toInt(),
                       rect["height"].toInt());
    QVERIFY2(QRect(0, 0, 1280, 800).contains(placed),
             qPrintable(QJsonDocument(rect).toJson(QJsonDocument::Compact)));
    // Floated at the popover's own size, not stretched over the output by the tiling.
    QVERIFY(placed.width() > 100 && placed.height() > 100 && placed.width() < 1280);
}

void WaylandEndToEndTest::desktopThatHidesCopiesSaysSo()
{
    // A Wayland session with neither a data-control manager nor XWayland, and a platform the
    // user chose: the program says once, in the log and as a notification, what still works.
    m_session->desktop.useWayland(m_sway->socket() + "-gone", "offscreen");
    QVERIFY(m_session->restart(Preferences::OptionsRebrand::autoRebrand));
    const QString title = "Quorvella cannot see your copies here";
    QVERIFY(m_session->user->waitForLineStart(title + ": ", 5000));
    QVERIFY(m_session->user->output().contains("quorvella --rebrand TEXT"));
    QVERIFY(m_session->user->output().contains("clipboard: Wayland session without "
                                               "data-control or XWayland to use"));
    QTRY_VERIFY_WITH_TIMEOUT(m_session->notificationSummaries().contains(title), 5000);
    QCOMPARE(m_session->user->output().count(title), 1);
}

QTEST_GUILESS_MAIN(WaylandEndToEndTest)
#include "tst_wayland_e2e.moc"
