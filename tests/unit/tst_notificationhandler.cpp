// The desktop notifications, their clicks and dismissals, the pending-URL question, and the
// readers of the link answers. One click goes through the real D-Bus notification centre.

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
#include "Utils/Switcher.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QTest>

using namespace Costants;
using Opt = std::optional<QString>;

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

// A notification daemon on the test's private session bus: it numbers what it is asked to
// show, and the test makes it report clicks as a real daemon would.
class ScriptedDaemon : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit ScriptedDaemon(const QDBusConnection &bus)
        : m_bus(bus)
    {}
    uint lastId = 0;
    void click(uint id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
        signal << id << QStringLiteral("default");
        m_bus.send(signal);
    }

public slots:
    uint Notify(const QString &, uint, const QString &, const QString &, const QString &,
                const QStringList &, const QVariantMap &, int)
    {
        return ++lastId;
    }
    void CloseNotification(uint) {}

private:
    QDBusConnection m_bus;
};

} // namespace

class NotificationHandlerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void kinds_data();
    void kinds();
    void clicks_data();
    void clicks();
    void clickThroughTheDesktopService();
    void pendingUrl_data();
    void pendingUrl();
    void questionClicks_data();
    void questionClicks();
    void dismissalChangesNothing();
    void linkResponse_data();
    void linkResponse();
    void fullShortUrl_data();
    void fullShortUrl();
    void fallbackTitle_data();
    void fallbackTitle();

private:
    [[nodiscard]] NotificationHandler::Routes routes()
    {
        return {[this] { m_opened.append("edit"); }, [this] { m_opened.append("new"); },
                [this] {
                    m_opened.append("main");
                }};
    }

    QNetworkAccessManager m_network;
    std::unique_ptr<ApiManager> m_api;
    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<LogCapture> m_log;
    FakePlatform *m_platform = nullptr;
    QStringList m_opened;
};

void NotificationHandlerTest::initTestCase()
{
    // Offline and signed out: nothing leaves the process.
    m_api = std::make_unique<ApiManager>(&m_network, Config::productionDefaults(), nullptr);
    ApiManager::installShared(m_api.get());
}

void NotificationHandlerTest::init()
{
    m_environment = std::make_unique<TestEnvironment>();
    m_platform = &FakePlatform::installNew();
    m_log = std::make_unique<LogCapture>();
    m_opened.clear();
}

void NotificationHandlerTest::cleanup()
{
    m_log.reset();
    m_environment.reset();
}

void NotificationHandlerTest::cleanupTestCase()
{
    Platform::install(nullptr);
    ApiManager::installShared(nullptr);
    m_api.reset();
}

void NotificationHandlerTest::kinds_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("hasId");
    QTest::addColumn<bool>("actionButton");
    const QString branded = "qv-notification-type-branded-success";
    const QString copied = "qv-notification-type-copied";
    QTest::newRow("rebranded") << "rebranded"
                               << "Link rebranded ✨"
                               << "https://s.test/a" << branded << true << false;
    QTest::newRow("copied") << "copied"
                            << "Link copied ✨"
                            << "https://s.test/a" << copied << false << false;
    QTest::newRow("updated") << "updated"
                             << "Link updated ✨"
                             << "https://s.test/a" << branded << true << true;
    QTest::newRow("deleted") << "deleted"
                             << "Link deleted"
                             << "gone" << copied << false << false;
    QTest::newRow("duplicated") << "duplicated"
                                << "Link duplicated"
                                << "Branded link already exists" << copied << false << false;
    QTest::newRow("error without message")
        << "error"
        << "Oooops!"
        << "Something went wrong. Try later." << copied << false << false;
    QTest::newRow("error with message") << "error:Server down"
                                        << "Oooops!"
                                        << "Server down. Try later." << copied << false << false;
}

void NotificationHandlerTest::kinds()
{
    QFETCH(QString, kind);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QString, type);
    QFETCH(bool, hasId);
    QFETCH(bool, actionButton);
    // Something on screen already: every result kind replaces it.
    m_platform->userNotifications.deliver(note("earlier"));
    if (kind == "rebranded" || kind == "copied")
        NotificationHandler::showLinkNotification(text, kind == "rebranded", "link-1");
    else if (kind == "updated")
        NotificationHandler::showUpdatedNotification(text, "link-1");
    else if (kind == "deleted")
        NotificationHandler::showDeletedNotification(text, "s.test/a");
    else if (kind == "duplicated")
        NotificationHandler::showDuplicatedNotification();
    else
        NotificationHandler::showErrorNotification(kind == "error" ? Opt() : Opt(kind.mid(6)));
    const QList<UserNotification> shown = m_platform->userNotifications.delivered();
    QCOMPARE(shown.size(), 1);
    const UserNotification &n = shown.at(0);
    QCOMPARE(n.identifier, QStringLiteral("qv-copied-link"));
    QCOMPARE(n.title, title);
    QCOMPARE(n.informativeText, text);
    QCOMPARE(n.userInfo.value("user-login").toString(), QStringLiteral("user-logged"));
    QCOMPARE(n.userInfo.value("qv-notification-type").toString(), type);
    QCOMPARE(n.userInfo.value("id").toString(), hasId ? QStringLiteral("link-1") : QString());
    QCOMPARE(n.hasActionButton, actionButton);
    QCOMPARE(n.actionButtonTitle, actionButton ? QStringLiteral("Edit") : QString());
}

void NotificationHandlerTest::clicks_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QVariantMap>("userInfo");
    QTest::addColumn<bool>("mainViewStored");
    QTest::addColumn<bool>("opens");
    const QVariantMap branded{{"user-login", "user-logged"},
                              {"qv-notification-type", "qv-notification-type-branded-success"},
                              {"id", "link-7"}};
    QVariantMap copied = branded;
    copied["qv-notification-type"] = "qv-notification-type-copied";
    QVariantMap noId = branded;
    noId.remove("id");
    QTest::newRow("rebranded opens the editor") << "qv-copied-link" << branded << true << true;
    QTest::newRow("rebranded without main view") << "qv-copied-link" << branded << false << false;
    QTest::newRow("copied changes nothing") << "qv-copied-link" << copied << true << false;
    QTest::newRow("no id") << "qv-copied-link" << noId << true << false;
    QTest::newRow("no user info") << "qv-copied-link" << QVariantMap() << true << false;
    QTest::newRow("other identifier") << "qv-other" << branded << true << false;
}

void NotificationHandlerTest::clicks()
{
    QFETCH(QString, identifier);
    QFETCH(QVariantMap, userInfo);
    QFETCH(bool, mainViewStored);
    QFETCH(bool, opens);
    SettingsStore &store = SettingsStore::shared();
    if (mainViewStored)
        store.setDictionary(Preferences::workspaceObjectMainView, {{"id", "wsp"}});
    store.setString(Preferences::editLinkId, "last-in-list");
    const UserNotification clicked = note(identifier, userInfo);
    m_platform->userNotifications.deliver(clicked);
    NotificationHandler::didActivate(clicked, routes());
    QCOMPARE(m_opened, opens ? QStringList{"edit"} : QStringList());
    QCOMPARE(store.stringForKey(Preferences::editLinkId), Opt(opens ? "link-7" : "last-in-list"));
    QVERIFY(m_platform->userNotifications.delivered().isEmpty());
}

// The click handler removes the clicked notification from the centre's own table first; it
// must not be reading that entry afterwards (the sanitizer build sees the freed memory).
void NotificationHandlerTest::clickThroughTheDesktopService()
{
    QDBusConnection daemonBus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("daemon"));
    if (!daemonBus.isConnected())
        QSKIP("no session bus (run under dbus-run-session)");
    ScriptedDaemon daemon(daemonBus);
    QVERIFY(daemonBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &daemon,
                                     QDBusConnection::ExportAllSlots));
    QVERIFY(daemonBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    FreedesktopNotificationCenter center(QDBusConnection::sessionBus());
    m_platform->realNotifications = &center;
    connect(&center, &UserNotificationCenter::didActivate, this,
            [this](const UserNotification &n) { NotificationHandler::didActivate(n, routes()); });
    SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView, {{"id", "wsp"}});

    NotificationHandler::showLinkNotification("https://s.test/a", true, "link-7");
    QTRY_COMPARE(daemon.lastId, 1u);
    daemon.click(daemon.lastId);
    QTRY_COMPARE(m_opened, QStringList{"edit"});
    QCOMPARE(SettingsStore::shared().stringForKey(Preferences::editLinkId), Opt("link-7"));
    QVERIFY(m_log->contains("Branded notification success"));
    m_platform->realNotifications = nullptr;
    QDBusConnection::disconnectFromBus(QStringLiteral("daemon"));
}

void NotificationHandlerTest::pendingUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("behavior"); // empty: no question
    QTest::newRow("rebrand behaviour") << "https://example.org/later"
                                       << "qv-option-autoRebrand"
                                       << "qv-notification-behavior-rebrand";
    QTest::newRow("ask edit link opens the form") << "https://example.org/later"
                                                  << "qv-option-ask-edit-link"
                                                  << "qv-notification-behavior-open-modal";
    QTest::newRow("not a link") << "just words"
                                << "qv-option-autoRebrand" << QString();
    QTest::newRow("already branded") << "https://quorv.link/abc"
                                     << "qv-option-autoRebrand" << QString();
}

void NotificationHandlerTest::pendingUrl()
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
    const UserNotification &question = shown.at(1);
    QCOMPARE(question.identifier, QStringLiteral("qv-rebrand-link-changeid-42"));
    QCOMPARE(question.title, QStringLiteral("Do you want to rebrand this link?"));
    QCOMPARE(question.informativeText, url);
    QCOMPARE(question.userInfo.value("qv-notification-behavior").toString(), behavior);
    // Asked once only.
    NotificationHandler::riseStoredDestinationURL();
    QCOMPARE(m_platform->userNotifications.history().size(), 2);
}

void NotificationHandlerTest::questionClicks_data()
{
    QTest::addColumn<QVariant>("login"); // invalid: absent
    QTest::addColumn<QString>("behavior");
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<bool>("destinationStored");
    QTest::addColumn<bool>("rebrands");
    const QVariant logged("user-logged");
    QTest::newRow("open modal") << logged << "qv-notification-behavior-open-modal"
                                << QStringList{"new"} << true << false;
    QTest::newRow("open edit modal") << logged << "qv-notification-behavior-open-edit-modal"
                                     << QStringList{"edit"} << true << false;
    QTest::newRow("rebrand") << logged << "qv-notification-behavior-rebrand" << QStringList()
                             << false << true;
    QTest::newRow("other login opens main")
        << QVariant("someone") << "x" << QStringList{"main"} << false << false;
    QTest::newRow("no login") << QVariant() << "qv-notification-behavior-open-modal"
                              << QStringList() << false << false;
    QTest::newRow("login not text")
        << QVariant(3) << "qv-notification-behavior-open-modal" << QStringList() << false << false;
}

void NotificationHandlerTest::questionClicks()
{
    QFETCH(QVariant, login);
    QFETCH(QString, behavior);
    QFETCH(QStringList, opened);
    QFETCH(bool, destinationStored);
    QFETCH(bool, rebrands);
    UserNotification question =
        NotificationHandler::makeRebrandQuestion("https://example.org/q", 5, behavior);
    if (login.isValid())
        question.userInfo["user-login"] = login;
    else
        question.userInfo.remove("user-login");
    NotificationHandler::didActivate(question, routes());
    QCOMPARE(m_opened, opened);
    QCOMPARE(SettingsStore::shared().stringForKey(Preferences::newDestination),
             destinationStored ? Opt("https://example.org/q") : std::nullopt);
    QCOMPARE(m_log->contains("auto rebrandanding link"), rebrands);
}

// Some daemons report a click as a dismissal; neither may overwrite what the user copied.
void NotificationHandlerTest::dismissalChangesNothing()
{
    SettingsStore::shared().setString(Preferences::oldUrl, "s.test/old");
    NotificationHandler::didDismiss(
        NotificationHandler::makeRebrandQuestion("https://example.org/q", 3, "x"));
    NotificationHandler::didDismiss(note("qv-copied-link"));
    QVERIFY(m_platform->fakePasteboard.writes().isEmpty());
    QVERIFY(!SettingsStore::shared().contains(Preferences::lastBrandedLinkStored));
}

namespace {
std::optional<QJsonObject> s_success;
int s_successCalls = 0;
void recordSuccess(const std::optional<QJsonObject> &answer)
{
    ++s_successCalls;
    s_success = answer;
}
} // namespace

void NotificationHandlerTest::linkResponse_data()
{
    QTest::addColumn<std::optional<QJsonObject>>("answer");
    QTest::addColumn<int>("successes");
    QTest::addColumn<QString>("error");
    const auto errors = [](const QJsonValue &list) {
        return std::optional<QJsonObject>(QJsonObject{{"errors", list}});
    };
    const auto entry = [](const QString &property, const QJsonValue &message) {
        return QJsonArray{QJsonObject{{"property", property}, {"message", message}}};
    };
    QTest::newRow("no answer") << std::optional<QJsonObject>() << 1 << QString();
    QTest::newRow("a link") << std::optional(QJsonObject{{"id", "l"}}) << 1 << QString();
    QTest::newRow("slashtag error") << errors(entry("slashtag", "Taken")) << 0 << "Taken";
    QTest::newRow("other property passes on") << errors(entry("title", "Long")) << 1 << QString();
    QTest::newRow("not a list") << errors(QJsonValue("bad")) << 0 << QString();
    QTest::newRow("empty list") << errors(QJsonArray()) << 0 << QString();
    QTest::newRow("message missing")
        << errors(QJsonArray{QJsonObject{{"property", "slashtag"}}}) << 0 << QString();
    QTest::newRow("message not text") << errors(entry("slashtag", 4)) << 0 << QString();
}

void NotificationHandlerTest::linkResponse()
{
    QFETCH(std::optional<QJsonObject>, answer);
    QFETCH(int, successes);
    QFETCH(QString, error);
    s_successCalls = 0;
    QStringList errors;
    LinkHandler::handleLinkResponse(
        answer, [&errors](const QString &message) { errors.append(message); }, &recordSuccess);
    QCOMPARE(s_successCalls, successes);
    if (successes)
        QCOMPARE(s_success, answer);
    QCOMPARE(errors, error.isEmpty() ? QStringList() : QStringList{error});
}

void NotificationHandlerTest::fullShortUrl_data()
{
    QTest::addColumn<QJsonObject>("link");
    QTest::addColumn<Opt>("url");
    QTest::newRow("https true") << QJsonObject{{"shortUrl", "s.test/a"}, {"https", true}}
                                << Opt("https://s.test/a");
    QTest::newRow("https false") << QJsonObject{{"shortUrl", "s.test/a"}, {"https", false}}
                                 << Opt("http://s.test/a");
    QTest::newRow("https absent") << QJsonObject{{"shortUrl", "s.test/a"}}
                                  << Opt("http://s.test/a");
    QTest::newRow("https as text")
        << QJsonObject{{"shortUrl", "s.test/a"}, {"https", "true"}} << Opt("http://s.test/a");
    QTest::newRow("no short URL") << QJsonObject{{"https", true}} << Opt();
}

void NotificationHandlerTest::fullShortUrl()
{
    QFETCH(QJsonObject, link);
    QFETCH(Opt, url);
    QCOMPARE(Switcher::fullShortUrl(link), url);
}

void NotificationHandlerTest::fallbackTitle_data()
{
    QTest::addColumn<QString>("tail"); // one character, repeated to fill the URL
    QTest::addColumn<int>("length");   // in characters
    QTest::addColumn<bool>("cut");
    QTest::newRow("100 stays") << "a" << 100 << false;
    QTest::newRow("101 stays") << "a" << 101 << false;
    QTest::newRow("102 is cut") << "a" << 102 << true;
    QTest::newRow("500 is cut") << "a" << 500 << true;
    // Two UTF-16 units or two code points each: never split, counted as one.
    QTest::newRow("emoji 101 stays") << "\U0001F600" << 101 << false;
    QTest::newRow("emoji 102 is cut") << "\U0001F600" << 102 << true;
    QTest::newRow("accent 102 is cut") << "e\u0301" << 102 << true;
}

void NotificationHandlerTest::fallbackTitle()
{
    QFETCH(QString, tail);
    QFETCH(int, length);
    QFETCH(bool, cut);
    const QString head = QStringLiteral("https://example.org/");
    QString url = head;
    for (int i = head.size(); i < length; ++i)
        url += tail;
    QString expected = url;
    if (cut)
        expected = head + tail.repeated(100 - head.size()) + "...";
    QCOMPARE(Switcher::fallbackTitle(url), expected);
}

QTEST_GUILESS_MAIN(NotificationHandlerTest)
#include "tst_notificationhandler.moc"
