// The desktop notifications, their clicks and dismissals, the pending-URL question, the undo,
// and the short URL and title made of a link. Clicks through the real D-Bus are the desktop
// run's.

#include "App/Clock.h"
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "LogCapture.h"
#include "Platform/linux/FreedesktopNotificationCenter.h"
#include "Platform/testing/FakePlatform.h"
#include "Services/ApiManager.h"
#include "Services/Config.h"
#include "Services/ReachabilitySource.h"
#include "TestEnvironment.h"
#include "Utils/LinkHandler.h"
#include "Utils/NotificationHandler.h"
#include "Utils/RebrandUndo.h"
#include "Utils/Switcher.h"

#include <QDBusConnection>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QTest>

using namespace Costants;
using Opt = std::optional<QString>;
using Answer = std::optional<QJsonObject>;

namespace {

UserNotification note(const QString &identifier, const QVariantMap &userInfo = {})
{
    UserNotification n;
    n.identifier = identifier;
    n.title = QStringLiteral("t");
    n.informativeText = QStringLiteral("https://s.test/x");
    n.userInfo = userInfo;
    return n;
}

// A notification daemon on the test's private session bus that does not advertise actions.
class ActionlessDaemon : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList lastActions;

public slots:
    // No GetCapabilities.
    uint Notify(const QString &, uint, const QString &, const QString &, const QString &,
                const QStringList &actions, const QVariantMap &, int)
    {
        lastActions = actions;
        return 1;
    }
    void CloseNotification(uint) {}
};

} // namespace

class NotificationHandlerTest : public QObject
{
    Q_OBJECT

    std::function<void()> opens(const char *what)
    {
        return [this, what] {
            m_opened.append(what);
        };
    }
    [[nodiscard]] NotificationHandler::Routes routes()
    {
        return {opens("edit"), opens("new"), opens("main")};
    }

    QNetworkAccessManager m_network;
    std::unique_ptr<ApiManager> m_api;
    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<LogCapture> m_log;
    FakePlatform *m_platform = nullptr;
    QStringList m_opened;

private slots:
    void init()
    {
        m_environment = std::make_unique<TestEnvironment>();
        m_platform = &FakePlatform::installNew();
        m_log = std::make_unique<LogCapture>();
        m_opened.clear();
        // Clicks and dismissals on the desktop's notifications reach the handler as in the app.
        FakeUserNotificationCenter &center = m_platform->userNotifications;
        connect(
            &center, &UserNotificationCenter::didActivate, this,
            [this](const UserNotification &n) { NotificationHandler::didActivate(n, routes()); });
        connect(&center, &UserNotificationCenter::didDismiss, this,
                &NotificationHandler::didDismiss);
        // Offline and signed out: nothing leaves the process.
        m_api = std::make_unique<ApiManager>(&m_network, Config::productionDefaults(), nullptr);
        ApiManager::installShared(m_api.get());
    }
    void cleanup()
    {
        RebrandUndo::shared().forget();
        RebrandUndo::shared().setDeleter({});
        Clock::install(nullptr);
        ApiManager::installShared(nullptr);
        m_api.reset();
        m_log.reset();
        m_environment.reset();
    }

    // The row name is the kind of result (those a made link and an error show are the rebrand
    // pipeline's). What is shown: title, text, type, link id and the action button's title,
    // joined by "|".
    void kinds_data()
    {
        QTest::addColumn<QString>("shown");
        const QString link = "https://s.test/a";
        QTest::newRow("copied") << "Link copied ✨|" + link + "|copied||";
        QTest::newRow("updated") << "Link updated ✨|" + link + "|branded-success|link-1|Edit";
        QTest::newRow("duplicated") << "Link duplicated|Branded link already exists|copied||";
    }
    void kinds()
    {
        QFETCH(QString, shown);
        const QString kind = QTest::currentDataTag();
        const QString text = shown.section('|', 1, 1);
        // Something on screen already: every result kind replaces it.
        m_platform->userNotifications.deliver(note("earlier"));
        if (kind == "copied")
            NotificationHandler::showLinkNotification(text, false, "link-1");
        else if (kind == "updated")
            NotificationHandler::showUpdatedNotification(text, "link-1");
        else
            NotificationHandler::showDuplicatedNotification();
        const QList<UserNotification> delivered = m_platform->userNotifications.delivered();
        QCOMPARE(delivered.size(), 1);
        const UserNotification &n = delivered.at(0);
        QCOMPARE(n.identifier, QStringLiteral("qv-copied-link"));
        QCOMPARE(n.userInfo.value("user-login").toString(), QStringLiteral("user-logged"));
        QCOMPARE(n.hasActionButton, !n.actionButtonTitle.isEmpty());
        const QString type = n.userInfo.value("qv-notification-type").toString();
        QCOMPARE(QStringList({n.title, n.informativeText, type.mid(21),
                              n.userInfo.value("id").toString(), n.actionButtonTitle})
                     .join('|'),
                 shown);
        QVERIFY(type.startsWith("qv-notification-type-"));
    }

    // A click on a result notification (qv-copied-link) or on the rebrand question.
    void activation_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QVariantMap>("userInfo");
        QTest::addColumn<bool>("mainViewStored");
        QTest::addColumn<QString>("opened");
        const QString result = "qv-copied-link";
        const QString question = "qv-rebrand-link-changeid-5";
        const QVariantMap branded{{"user-login", "user-logged"},
                                  {"qv-notification-type", "qv-notification-type-branded-success"},
                                  {"id", "link-7"}};
        QVariantMap made = branded;
        made[NotificationInfos::workspaceIdKey] = "wsp-auto";
        QVariantMap copied = branded;
        copied["qv-notification-type"] = "qv-notification-type-copied";
        QVariantMap noId = branded;
        noId.remove("id");
        const auto asked = [](const QVariant &login, const char *behavior) {
            QVariantMap info{{"qv-notification-behavior", behavior}};
            if (login.isValid())
                info["user-login"] = login;
            return info;
        };
        const QVariant logged("user-logged");
        const char *modal = "qv-notification-behavior-open-modal";
        const auto row = [](const char *name, const QString &identifier, const QVariantMap &info,
                            bool mainView, const char *opened) {
            QTest::newRow(name) << identifier << info << mainView << QString(opened);
        };
        // Made in the automatic workspace: the editor must ask for the link there.
        row("made link opens the editor", result, made, true, "edit");
        row("no main view", result, branded, false, "");
        row("copied changes nothing", result, copied, true, "");
        row("no id", result, noId, true, "");
        row("no user info", result, {}, true, "");
        row("other identifier", "qv-other", branded, true, "");
        row("open edit modal", question, asked(logged, "qv-notification-behavior-open-edit-modal"),
            true, "edit");
        row("other login opens main", question, asked("someone", "x"), true, "main");
        row("no login", question, asked({}, modal), true, "");
    }
    void activation()
    {
        QFETCH(QString, identifier);
        QFETCH(QVariantMap, userInfo);
        QFETCH(bool, mainViewStored);
        QFETCH(QString, opened);
        SettingsStore &store = SettingsStore::shared();
        if (mainViewStored)
            store.setDictionary(Preferences::workspaceObjectMainView, {{"id", "wsp"}});
        store.setString(Preferences::editLinkId, "last");
        store.setString(Preferences::editWorkspaceId, "wsp-of-the-last-row");
        const UserNotification clicked = note(identifier, userInfo);
        m_platform->userNotifications.deliver(clicked);
        m_platform->userNotifications.activate(clicked);
        QCOMPARE(m_opened.join(','), opened);
        // Only a click on a made link's notification picks a link to edit.
        const bool made = identifier == "qv-copied-link" && !opened.isEmpty();
        QCOMPARE(store.stringForKey(Preferences::editLinkId), Opt(made ? "link-7" : "last"));
        QCOMPARE(store.stringForKey(Preferences::editWorkspaceId),
                 Opt(made ? "wsp-auto" : "wsp-of-the-last-row"));
        QCOMPARE(store.stringForKey(Preferences::newDestination),
                 opened == "new" || (opened == "edit" && !made) ? Opt(clicked.informativeText)
                                                                : std::nullopt);
        QVERIFY(!m_log->contains("auto rebrandanding link"));
        QVERIFY(m_platform->userNotifications.delivered().isEmpty());
    }

    // Such a server would only drop "Undo" or show it wrongly: it is not offered. A click
    // through the real D-Bus is the desktop run's.
    void noUndoOnAServerWithoutActions()
    {
        QDBusConnection daemonBus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("daemon"));
        if (!daemonBus.isConnected())
            QSKIP("no session bus (run under dbus-run-session)");
        ActionlessDaemon daemon;
        QVERIFY(daemonBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &daemon,
                                         QDBusConnection::ExportAllSlots));
        QVERIFY(daemonBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        FreedesktopNotificationCenter center(QDBusConnection::sessionBus());
        m_platform->realNotifications = &center;
        NotificationHandler::showLinkNotification("https://s.test/a", true, "link-7", "wsp-auto",
                                                  true);
        QTRY_COMPARE(daemon.lastActions, (QStringList{"default", "Open"}));
        m_platform->realNotifications = nullptr;
        QDBusConnection::disconnectFromBus(QStringLiteral("daemon"));
    }

    // An automatic rebrand, then a change ("signout", "edited" or none), N seconds, and its
    // "Undo" on the notification (the settings menu's entry takes the same way and is clicked in
    // tst_popoversmanager; a prompt undo, through the real desktop, in the desktop run). The
    // service answers a delete with `answer`; the notification then on screen is "title|text".
    void undo_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("shown");
        const Answer gone(QJsonObject{{"id", "link-1"}});
        const QString done = "Link deleted|https://s.test/abc";
        const QString failed = "Oooops!|The link could not be deleted. Try later.";
        const QString refused = "Rebrand not undone|";
        const auto row = [](const char *name, const char *change, int seconds, const Answer &answer,
                            const QString &shown) {
            QTest::newRow(name) << QString(change) << seconds << answer << shown;
        };
        row("in time", "", 119, gone, done);
        row("two minutes passed", "", 120, gone, refused + LocalNotification::undoExpiredText);
        row("delete fails", "", 10, Answer(), failed);
        row("delete refused", "", 10,
            Answer(QJsonObject{{"errors", QJsonArray{QJsonObject{{"message", "No"}}}}}), failed);
        row("signed out", "signout", 10, gone, refused + LocalNotification::undoSignedOutText);
        row("edited", "edited", 10, gone, refused + LocalNotification::undoEditedText);
    }
    void undo()
    {
        QFETCH(QString, change);
        QFETCH(int, seconds);
        QFETCH(Answer, answer);
        QFETCH(QString, shown);
        ManualClock clock;
        Clock::install(&clock);
        SettingsStore &store = SettingsStore::shared();
        store.setString(Preferences::userId, "user-1");
        store.setBool(Preferences::notificationBrandedLink, true);
        store.setBool(Preferences::automaticCopy, true);
        QStringList deletes;
        RebrandUndo::shared().setDeleter(
            [&](const QString &id, const RebrandUndo::DeleteCompletion &completion) {
                deletes << id;
                completion(answer);
            });
        const QString destination = "https://example.org/long/address";
        const QJsonObject link{{"id", "link-1"}, {"shortUrl", "s.test/abc"}, {"https", true}};
        LinkHandler::linkCreated(link, QString(), destination);
        const UserNotification rebranded = m_platform->userNotifications.delivered().value(0);
        QCOMPARE(rebranded.additionalActions.size(), 1);
        QCOMPARE(rebranded.additionalActions.at(0).title, QStringLiteral("Undo"));

        if (change == "signout")
            store.removeKeys(Preferences::signOutKeys);
        else if (change == "edited")
            LinkHandler::linkUpdated(link, QString());
        const int writes = m_platform->fakePasteboard.writes().size();
        clock.advance(seconds * 1000);
        UserNotification clicked = rebranded;
        clicked.activatedAction = rebranded.additionalActions.at(0).identifier;
        m_platform->userNotifications.activate(clicked);
        QVERIFY(m_opened.isEmpty()); // the editor opens only for a click on the notification

        // Refused at once, nothing is sent.
        const bool refused = shown.startsWith("Rebrand not undone");
        QCOMPARE(deletes, refused ? QStringList() : QStringList{"link-1"});
        const UserNotification now = m_platform->userNotifications.delivered().value(0);
        QCOMPARE(now.title + '|' + now.informativeText, shown);
        const bool undone = shown.startsWith("Link deleted");
        // Undone: the copied address is back, as our own paste, which the next tick leaves
        // alone. Otherwise the clipboard keeps the short URL.
        QCOMPARE(m_platform->fakePasteboard.writes().size(), writes + (undone ? 1 : 0));
        if (undone) {
            QCOMPARE(m_platform->fakePasteboard.writes().last(), destination);
            QCOMPARE(store.stringForKey(Preferences::lastBrandedLinkStored), Opt(destination));
        }
        // A failed delete may be tried again in the window; anything else ends it.
        QCOMPARE(RebrandUndo::shared().canUndo(), shown.startsWith("Oooops"));
    }

    void pendingUrl_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("behavior"); // empty: no question
        const auto row = [](const char *name, const char *url, const char *option,
                            const char *behavior) {
            QTest::newRow(name) << QString(url) << QString(option) << QString(behavior);
        };
        const char *rebrand = "qv-option-autoRebrand";
        row("rebrand", "https://example.org/l", rebrand, "qv-notification-behavior-rebrand");
        row("ask edit link opens the form", "https://example.org/l", "qv-option-ask-edit-link",
            "qv-notification-behavior-open-modal");
        row("not a link", "just words", rebrand, "");
        row("already branded", "https://quorv.link/abc", rebrand, "");
    }
    void pendingUrl()
    {
        QFETCH(QString, url);
        QFETCH(QString, option);
        QFETCH(QString, behavior);
        SettingsStore &store = SettingsStore::shared();
        store.setString(Preferences::optionActive, option);
        store.setStringArray(Preferences::domainNames, {"quorv.link"});
        m_platform->userNotifications.deliver(note("earlier"));
        NotificationHandler::storeDestinationURL(url, 42);
        NotificationHandler::riseStoredDestinationURL();
        QVERIFY(!store.contains(Preferences::destinationURL));
        QVERIFY(!store.contains(Preferences::lastChange));
        const auto shown = m_platform->userNotifications.delivered();
        // The question joins what is on screen.
        QCOMPARE(shown.size(), behavior.isEmpty() ? 1 : 2);
        QCOMPARE(m_log->contains("destination URL not valid: " + url), behavior.isEmpty());
        if (behavior.isEmpty())
            return;
        const UserNotification question = shown.at(1);
        QCOMPARE(question.identifier, QStringLiteral("qv-rebrand-link-changeid-42"));
        QCOMPARE(question.title, QStringLiteral("Do you want to rebrand this link?"));
        QCOMPARE(question.informativeText, url);
        QCOMPARE(question.userInfo.value("qv-notification-behavior").toString(), behavior);
        QCOMPARE(question.userInfo.value("user-login").toString(), QStringLiteral("user-logged"));
        // Asked once only.
        NotificationHandler::riseStoredDestinationURL();
        QCOMPARE(m_platform->userNotifications.history().size(), 2);
        // The user's click answers it: the new-link form, or the link made at once.
        m_platform->userNotifications.activate(question);
        QCOMPARE(m_opened, behavior.endsWith("open-modal") ? QStringList{"new"} : QStringList());
        QCOMPARE(store.stringForKey(Preferences::newDestination),
                 m_opened.isEmpty() ? std::nullopt : Opt(url));
        QCOMPARE(m_log->contains("auto rebrandanding link"), m_opened.isEmpty());
    }

    // Some daemons report a click as a dismissal; neither may overwrite what the user copied.
    void dismissalChangesNothing()
    {
        SettingsStore::shared().setString(Preferences::oldUrl, "s.test/old");
        m_platform->userNotifications.dismiss(
            NotificationHandler::makeRebrandQuestion("https://example.org/q", 3, "x"));
        m_platform->userNotifications.dismiss(note("qv-copied-link"));
        QVERIFY(m_platform->fakePasteboard.writes().isEmpty());
        QVERIFY(!SettingsStore::shared().contains(Preferences::lastBrandedLinkStored));
    }

    // A link answer whose short URL is not a text makes none. Those with https true, false or
    // absent the rebrand pipeline meets.
    void noShortUrlWithoutOne()
    {
        QVERIFY(!Switcher::fullShortUrl(QJsonObject{{"https", true}, {"shortUrl", 7}}));
    }

    void fallbackTitle_data()
    {
        QTest::addColumn<QString>("tail"); // one character, repeated to fill the URL
        QTest::addColumn<int>("length");   // in characters
        QTest::addColumn<bool>("cut");
        QTest::newRow("101 stays") << "a" << 101 << false;
        QTest::newRow("102 is cut") << "a" << 102 << true;
        // Two UTF-16 units or two code points each: never split, counted as one.
        QTest::newRow("emoji 101 stays") << "\U0001F600" << 101 << false;
        QTest::newRow("emoji 102 is cut") << "\U0001F600" << 102 << true;
        QTest::newRow("accent 102 is cut") << "e\u0301" << 102 << true;
    }
    void fallbackTitle()
    {
        QFETCH(QString, tail);
        QFETCH(int, length);
        QFETCH(bool, cut);
        const QString head = QStringLiteral("https://example.org/");
        QString url = head;
        for (int i = head.size(); i < length; ++i)
            url += tail;
        QCOMPARE(Switcher::fallbackTitle(url),
                 cut ? head + tail.repeated(100 - head.size()) + "..." : url);
    }
};

QTEST_GUILESS_MAIN(NotificationHandlerTest)
#include "tst_notificationhandler.moc"
