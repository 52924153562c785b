// The tray's popovers and menus, on the platform doubles and a service that answers "{}".
#include "../integration/ServiceHarness.h"
#include "App/EventMonitor.h"
#include "App/PopoversManager.h"
#include "HttpSink.h"
#include "Services/TokenManager.h"
#include "Utils/RebrandUndo.h"
#include "Utils/WatchPause.h"
#include "Views/Popover.h"
#include "Views/ViewController.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QWindow>

using namespace Costants;

namespace {

void storeToken(const QDateTime &expiresAt)
{
    QVERIFY(TokenManager("access-1", "Bearer", expiresAt, "refresh-1").save());
}

} // namespace

class PopoversManagerTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<HttpSink> m_service;
    ServiceClient m_client;
    std::unique_ptr<PopoversManager> m_manager;

    void clickTray() { qobject_cast<FakeStatusItem *>(m_manager->statusItem())->click(); }

    // The popovers on screen, joined by "+"; empty when none is.
    [[nodiscard]] QString shown() const
    {
        QStringList open;
        const std::pair<const char *, Popover *> popovers[] = {
            {"Links", m_manager->popoverLinks()},
            {"Login", m_manager->popoverLogin()},
            {"NoInternet", m_manager->popoverNoInternet()},
            {"NewLink", m_manager->popoverNewLink()},
            {"EditLink", m_manager->popoverEditLink()}};
        for (const auto &[name, popover] : popovers) {
            if (popover->isShown())
                open.append(QLatin1String(name));
        }
        return open.join('+');
    }

    // Opens a menu (a click on the gear, a right click on the tray icon) and clicks the entry
    // with this title (none: closes the menu). Gives the accessible names of the entries.
    QStringList pick(const std::function<void()> &open, const QString &title)
    {
        QStringList offered;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            poll.stop();
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(menu);
            QAction *chosen = nullptr;
            for (int i = 0; i < menu->actions().size(); ++i) {
                QAction *action = menu->actions().at(i);
                if (!action->isSeparator())
                    offered << accessible->child(i)->text(QAccessible::Name);
                if (action->text() == title)
                    chosen = action;
            }
            if (chosen)
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(chosen).center());
            else
                menu->close();
        });
        poll.start(20);
        open();
        // A menu that does not block is read once it is up; none: no entries.
        if (!QTest::qWaitFor([&poll] { return !poll.isActive(); }))
            return {};
        return offered;
    }
    // The gear's menu: the entries after "Quit", the ones this program adds.
    QStringList pick(QAbstractButton *gear, const QString &title)
    {
        const QStringList all = pick([gear] { QTest::mouseClick(gear, Qt::LeftButton); }, title);
        return all.mid(all.indexOf(Menu::quit) + 1);
    }

private slots:
    void initTestCase() { ControllerRegistry::registerAll(); }

    void init()
    {
        m_environment = std::make_unique<TestEnvironment>();
        FakePlatform::installNew();
        m_service = std::make_unique<HttpSink>();
        m_client.makeClient(m_service->origin());
        m_manager = std::make_unique<PopoversManager>(std::make_unique<FakeStatusItem>(),
                                                      m_client.m_api.get(),
                                                      m_client.m_authentication.get());
        // A click on the tray icon, wired as the program wires it.
        connect(m_manager->statusItem(), &StatusItem::activated, m_manager.get(),
                &PopoversManager::toggleFromStatusItem);
    }

    void cleanup()
    {
        RebrandUndo::shared().forget();
        RebrandUndo::shared().setDeleter({});
        Clock::install(nullptr);
        m_manager.reset();
        m_client.dropClient();
        m_service.reset();
        m_environment.reset();
    }

    // Steps: "click" (the tray icon), "+" (the list's add button), "outside" (a click in another
    // program), "online"/"offline", "wait" (longer than the tray's double-click guard), "=X" (X
    // is shown now), "~X" (X is shown soon); anything else is a notification the edit form or a
    // row of the list posts.
    void routing_data()
    {
        QTest::addColumn<QString>("token"); // "valid" or "expired"
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("shown");
        const QString editLink = NotificationViews::newsEditLinkPopover;
        QTest::newRow("offline, then reachable replaces it by the list")
            << "valid" << QStringList{"offline", "click", "=NoInternet", "online"} << "Links";
        QTest::newRow("expired: a refresh, then the list")
            << "expired" << QStringList{"click", "=", "~Links"} << "Links";
        QTest::newRow("a click on the new-link form shows the list")
            << "valid" << QStringList{"click", "+", "=NewLink", "click"} << "Links";
        QTest::newRow("a click on the edit form shows the list")
            << "valid" << QStringList{editLink, "=EditLink", "click"} << "Links";
        QTest::newRow("close-popover leaves the edit form")
            << "valid" << QStringList{editLink, NotificationViews::closePopover} << "EditLink";
        QTest::newRow("edit form declined: list and a fresh edit form")
            << "valid" << QStringList{editLink, NotificationViews::editLinkPopover,
                                      "=",      NotificationViews::togglePopover,
                                      "=Links", NotificationViews::closeEditLinkPopover}
            << "Links+EditLink";
        QTest::newRow("outside click closes the edit form")
            << "valid" << QStringList{editLink, "=EditLink", "outside"} << "";
        // Clicking the tray moves the focus to the tray host first, then the tray reports the
        // click that was meant to close the list.
        QTest::newRow("tray click that closed by focus does not reopen")
            << "valid"
            << QStringList{"click", "=Links", "outside", "=", "click", "=", "wait", "click"}
            << "Links";
    }

    void routing()
    {
        QFETCH(QString, token);
        QFETCH(QStringList, steps);
        QFETCH(QString, shown);
        storeToken(QDateTime::currentDateTimeUtc().addSecs(token == "valid" ? 3600 : -60));
        m_service->setResponse(
            "/connect/token",
            {200,
             "application/json",
             R"({"access_token":"access-2","token_type":"Bearer","expires_in":3600,
                                   "refresh_token":"refresh-2"})",
             {}});
        for (const QString &step : steps) {
            if (step == "click")
                clickTray();
            else if (step == "+")
                QTest::mouseClick(
                    m_manager->popoverLinks()->findChild<QAbstractButton *>("addButton"),
                    Qt::LeftButton);
            else if (step == "outside")
                m_manager->eventMonitor()->handleOutsideClick();
            else if (step == "online" || step == "offline")
                m_client.m_reachability->report(step == "online");
            else if (step == "wait")
                QTest::qWait(600);
            else if (step.startsWith('='))
                QCOMPARE(this->shown(), step.mid(1));
            else if (step.startsWith('~'))
                QTRY_COMPARE(this->shown(), step.mid(1));
            else
                NotificationCenter::shared().post(step);
        }
        QCOMPARE(this->shown(), shown);
        // The outside-click monitor runs exactly while something is shown.
        QCOMPARE(m_manager->eventMonitor()->isRunning(), !shown.isEmpty());
    }

    // The entries after the design's own, as the gear's menu offers them to the user and to a
    // screen reader, each picked with the mouse; then the tray icon's right click, which offers
    // "Open" before the same entries.
    void settingsMenuUndoesAndPauses()
    {
        // Whole seconds, as the store keeps dates.
        ManualClock clock(QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC));
        Clock::install(&clock);
        SettingsStore &store = SettingsStore::shared();
        store.setString(Preferences::userId, "user-1");
        QStringList deletes;
        RebrandUndo::shared().setDeleter(
            [&deletes](const QString &id, const RebrandUndo::DeleteCompletion &) {
                deletes << id;
            });
        clickTray();
        QCOMPARE(shown(), QStringLiteral("Login"));
        auto *gear =
            m_manager->popoverLogin()->contentViewController()->findChild<QAbstractButton *>(
                "settingsButton");
        QVERIFY(gear);
        const QString pauseHour = "Pause for 1 hour";
        const QString pauseDay = "Pause until tomorrow";
        const QString resume = "Resume watching";
        const QString undo = "Undo last rebrand";

        QCOMPARE(pick(gear, pauseHour), (QStringList{pauseHour, pauseDay}));
        QCOMPARE(store.dateForKey(Preferences::watchingPausedUntil),
                 std::optional(clock.now().addSecs(3600)));
        QCOMPARE(pick(gear, resume), QStringList{resume});
        QVERIFY(!store.contains(Preferences::watchingPausedUntil));

        RebrandUndo::shared().remember("link-1", "https://example.org/a", "https://s.test/a");
        clock.advance(119 * 1000);
        QCOMPARE(pick(gear, undo), (QStringList{undo, pauseHour, pauseDay}));
        QCOMPARE(deletes, QStringList{"link-1"});
        clock.advance(1000); // two minutes: no undo offered any more
        QCOMPARE(pick(gear, pauseDay), (QStringList{pauseHour, pauseDay}));
        QCOMPARE(store.dateForKey(Preferences::watchingPausedUntil),
                 std::optional(WatchPause::startOfNextDay(clock.now())));
        const QStringList entries =
            pick([gear] { QTest::mouseClick(gear, Qt::LeftButton); }, QString());
        QCOMPARE(entries.mid(entries.indexOf(Menu::quit) + 1), QStringList{resume});

        // "Open" shows what a click on the icon shows.
        clickTray();
        QCOMPARE(shown(), QString());
        QMenu *menu = qobject_cast<FakeStatusItem *>(m_manager->statusItem())->contextMenu();
        QCOMPARE(pick([menu] { menu->popup(QPoint(900, 40)); }, Menu::openQuorvella),
                 QStringList{Menu::openQuorvella} + entries);
        QTRY_VERIFY(!menu->isVisible());
        QCOMPARE(shown(), QStringLiteral("Login"));
    }

    void signOutRemovesExactlyItsKeys()
    {
        storeToken(QDateTime::currentDateTimeUtc().addSecs(3600));
        SettingsStore &store = SettingsStore::shared();
        const QStringList removed =
            QStringLiteral(
                "qv-last-branded-link-stored destinationURL lastChange "
                "workspaceObjectMainView workspaceObjectAutoReplace domainObjectAutoReplace "
                "fullName email access_token token_type expires_at expires_in refresh_token "
                "domainNames workspaceIdsListToCheckDomains workspaceIdsListCheckedDomains "
                "qv-preferences-dont-ask-launch-login qv-preference-user-id")
                .split(' ');
        const QStringList kept = {"qv-app-default-set", "qv-option-active",
                                  "qv-preferences-startup", "qv-account-workspace-pairs",
                                  "qv-preference-edit-link-id"};
        for (const QString &key : removed + kept) {
            if (!store.contains(key))
                store.setString(key, QStringLiteral("value of ") + key);
        }
        QStringList posted;
        QObject recorder;
        for (const QString &name : {NotificationViews::closePopover,
                                    NotificationViews::resetDefault, NotificationViews::logout})
            NotificationCenter::shared().addObserver(
                &recorder, name, [&posted](const Notification &n) { posted << n.name; });
        clickTray();
        QCOMPARE(shown(), QStringLiteral("Links"));

        // Signed out from the list's own settings menu, whose loop still runs: the list goes
        // once control is back in the event loop, not under the menu's feet.
        QPointer<ViewController> view = m_manager->popoverLinks()->contentViewController();
        auto *gear = view->findChild<QAbstractButton *>("settingsButton");
        QVERIFY(gear);
        pick(gear, Menu::signOut);
        QVERIFY(!m_manager->popoverLinks()->contentViewController()); // dropped by "qv-logout"
        QTRY_VERIFY(!view);
        SettingsStore reopened(SettingsStore::sharedFilePath());
        for (const QString &key : removed)
            QVERIFY2(!reopened.contains(key), qPrintable(key));
        for (const QString &key : kept)
            QVERIFY2(reopened.contains(key), qPrintable(key));
        QCOMPARE(posted, (QStringList{"qv-close-popover", "qv-reset-default", "qv-logout"}));
        QCOMPARE(shown(), QString());
        clickTray();
        QCOMPARE(shown(), QStringLiteral("Login"));
    }

    // Two screens side by side, the primary on the left with a panel of 30 at its top.
    void placement_data()
    {
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("tray at the top right")
            << QRect(1200, 4, 24, 24) << QPoint() << QPoint(953, 36);
        QTest::newRow("tray at the bottom opens upwards")
            << QRect(600, 776, 24, 24) << QPoint() << QPoint(451, 470);
        QTest::newRow("tray on the second screen")
            << QRect(2000, 0, 24, 24) << QPoint(10, 500) << QPoint(1851, 29);
        QTest::newRow("tray at the left edge: kept on screen")
            << QRect(0, 4, 24, 24) << QPoint() << QPoint(6, 36);
        QTest::newRow("tray at the right edge of the second screen: kept on screen")
            << QRect(3180, 0, 20, 24) << QPoint() << QPoint(2873, 29);
        QTest::newRow("no geometry, pointer on the second screen")
            << QRect() << QPoint(2000, 900) << QPoint(2873, 6);
        QTest::newRow("no geometry, pointer off every screen: the primary")
            << QRect() << QPoint(-500, -500) << QPoint(953, 36);
        QTest::newRow("geometry off every screen: as without")
            << QRect(5000, 5000, 24, 24) << QPoint(2000, 900) << QPoint(2873, 6);
    }

    void placement()
    {
        QFETCH(QRect, anchor);
        QFETCH(QPoint, pointer);
        const QList<Popover::Screen> screens = {
            {QRect(0, 0, 1280, 800), QRect(0, 30, 1280, 770)},
            {QRect(1280, 0, 1920, 1080), QRect(1280, 0, 1920, 1080)}};
        const QSize size(320, 300);
        const QPoint at = Popover::placement(size, anchor, Popover::Edge::Lower, screens, pointer);
        QTEST(at, "expected");
        const bool onAScreen = std::any_of(screens.cbegin(), screens.cend(), [&](const auto &s) {
            return s.available.contains(QRect(at, size));
        });
        QVERIFY(onAScreen);
    }

    void hiddenPopoverGivesItsSurfaceBack_data()
    {
        QTest::addColumn<bool>("hidden");
        QTest::newRow("shown: kept") << false;
        QTest::newRow("hidden: released, opens again") << true;
    }

    void hiddenPopoverGivesItsSurfaceBack()
    {
        QFETCH(bool, hidden);
        Popover popover;
        popover.setWindowTitle(QStringLiteral("released"));
        popover.setContentViewController(std::make_unique<ViewController>());
        const Qt::WindowFlags flags = popover.windowFlags();
        popover.show(QRect(100, 0, 24, 24));
        QVERIFY(QTest::qWaitForWindowExposed(&popover));
        if (hidden)
            popover.performClose();
        popover.releaseSurface();
        QCOMPARE(popover.windowHandle() == nullptr, hidden);
        popover.show(QRect(100, 0, 24, 24));
        QVERIFY(QTest::qWaitForWindowExposed(&popover));
        QCOMPARE(popover.windowFlags(), flags);
        QCOMPARE(popover.windowHandle()->title(), QStringLiteral("released"));
        QVERIFY(popover.contentViewController()->isVisible());
    }
};

QTEST_MAIN(PopoversManagerTest)
#include "tst_popoversmanager.moc"
