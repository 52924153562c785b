// The desktop notifications, their clicks and dismissals, the pending-URL question, and the
// readers of the link answers.

#include "App/Costants.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "LogCapture.h"
#include "Platform/testing/FakePlatform.h"
#include "Services/ApiManager.h"
#include "Services/Config.h"
#include "Services/ReachabilitySource.h"
#include "TestEnvironment.h"
#include "Utils/LinkHandler.h"
#include "Utils/NotificationHandler.h"
#include "Utils/SlugHandler.h"
#include "Utils/Switcher.h"

#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QTest>

using namespace Costants;

namespace {
UserNotification note(const QString &identifier, const QString &title, const QString &text,
                      const QVariantMap &userInfo = {})
{
    UserNotification n;
    n.identifier = identifier;
    n.title = title;
    n.informativeText = text;
    n.userInfo = userInfo;
    return n;
}
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
    void errorText_data();
    void errorText();
    void clicks_data();
    void clicks();
    void pendingUrl_data();
    void pendingUrl();
    void questionClicks_data();
    void questionClicks();
    void questionDismissal_data();
    void questionDismissal();
    void linkResponse_data();
    void linkResponse();
    void fullShortUrl_data();
    void fullShortUrl();
    void fallbackTitle_data();
    void fallbackTitle();
    void strategies_data();
    void strategies();

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
    QTest::newRow("rebranded") << "rebranded"
                               << "Link rebranded ✨"
                               << "https://s.test/a"
                               << "qv-notification-type-branded-success" << true << false;
    QTest::newRow("copied") << "copied"
                            << "Link copied ✨"
                            << "https://s.test/a"
                            << "qv-notification-type-copied" << false << false;
    QTest::newRow("updated") << "updated"
                             << "Link updated ✨"
                             << "https://s.test/a"
                             << "qv-notification-type-branded-success" << true << true;
    QTest::newRow("deleted") << "deleted"
                             << "Link deleted"
                             << "gone"
                             << "qv-notification-type-copied" << false << false;
    QTest::newRow("duplicated") << "duplicated"
                                << "Link duplicated"
                                << "Branded link already exists"
                                << "qv-notification-type-copied" << false << false;
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
    m_platform->userNotifications.deliver(note("earlier", "Earlier", ""));
    if (kind == "rebranded")
        NotificationHandler::showLinkNotification(text, true, "link-1");
    else if (kind == "copied")
        NotificationHandler::showLinkNotification(text, false, "link-1");
    else if (kind == "updated")
        NotificationHandler::showUpdatedNotification(text, "link-1");
    else if (kind == "deleted")
        NotificationHandler::showDeletedNotification(text, "s.test/a");
    else
        NotificationHandler::showDuplicatedNotification();
    const QList<UserNotification> shown = m_platform->userNotifications.delivered();
    QCOMPARE(shown.size(), 1);
    const UserNotification &n = shown.at(0);
    QCOMPARE(n.identifier, QStringLiteral("qv-copied-link"));
    QCOMPARE(n.title, title);
    QCOMPARE(n.informativeText, text);
    QCOMPARE(n.userInfo.value("user-login").toString(), QStringLiteral("user-logged"));
    QCOMPARE(n.userInfo.value("qv-notification-type").toString(), type);
    QCOMPARE(n.userInfo.contains("id"), hasId);
    if (hasId)
        QCOMPARE(n.userInfo.value("id").toString(), QStringLiteral("link-1"));
    QCOMPARE(n.hasActionButton, actionButton);
    if (actionButton)
        QCOMPARE(n.actionButtonTitle, QStringLiteral("Edit"));
}

void NotificationHandlerTest::errorText_data()
{
    QTest::addColumn<std::optional<QString>>("message");
    QTest::addColumn<QString>("text");
    QTest::newRow("no message") << std::optional<QString>() << "Something went wrong. Try later.";
    QTest::newRow("a message") << std::optional<QString>("Server down")
                               << "Server down. Try later.";
}

void NotificationHandlerTest::errorText()
{
    QFETCH(std::optional<QString>, message);
    QFETCH(QString, text);
    NotificationHandler::showErrorNotification(message);
    const auto shown = m_platform->userNotifications.delivered();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.at(0).title, QStringLiteral("Oooops!"));
    QCOMPARE(shown.at(0).informativeText, text);
    QVERIFY(m_log->contains("GENERIC ERROR"));
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
    const UserNotification clicked = note(identifier, "t", "https://s.test/x", userInfo);
    m_platform->userNotifications.deliver(clicked);
    NotificationHandler::didActivate(clicked, routes());
    QCOMPARE(m_opened, opens ? QStringList{"edit"} : QStringList());
    QCOMPARE(store.stringForKey(Preferences::editLinkId),
             std::optional<QString>(opens ? "link-7" : "last-in-list"));
    QVERIFY(m_platform->userNotifications.delivered().isEmpty());
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
    m_platform->userNotifications.deliver(note("earlier", "Earlier", ""));
    NotificationHandler::storeDestinationURL(url, 42);
    NotificationHandler::riseStoredDestinationURL();
    QVERIFY(!store.contains(Preferences::destinationURL));
    QVERIFY(!store.contains(Preferences::lastChange));
    const auto shown = m_platform->userNotifications.delivered();
    // The question joins what is on screen.
    QCOMPARE(shown.size(), behavior.isEmpty() ? 1 : 2);
    if (behavior.isEmpty()) {
        QVERIFY(m_log->contains("destination URL not valid: " + url));
        return;
    }
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
    QTest::newRow("open modal") << QVariant("user-logged") << "qv-notification-behavior-open-modal"
                                << QStringList{"new"} << true << false;
    QTest::newRow("open edit modal")
        << QVariant("user-logged") << "qv-notification-behavior-open-edit-modal"
        << QStringList{"edit"} << true << false;
    QTest::newRow("rebrand") << QVariant("user-logged") << "qv-notification-behavior-rebrand"
                             << QStringList() << false << true;
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
             destinationStored ? std::optional<QString>("https://example.org/q") : std::nullopt);
    QCOMPARE(m_log->contains("auto rebrandanding link"), rebrands);
}

void NotificationHandlerTest::questionDismissal_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<bool>("oldUrlStored");
    QTest::addColumn<QStringList>("writes");
    QTest::newRow("question with an old URL")
        << "qv-rebrand-link-changeid-3" << true << QStringList{"s.test/old"};
    QTest::newRow("question without") << "qv-rebrand-link-changeid-3" << false << QStringList();
    QTest::newRow("result notification") << "qv-copied-link" << true << QStringList();
}

void NotificationHandlerTest::questionDismissal()
{
    QFETCH(QString, identifier);
    QFETCH(bool, oldUrlStored);
    QFETCH(QStringList, writes);
    if (oldUrlStored)
        SettingsStore::shared().setString(Preferences::oldUrl, "s.test/old");
    NotificationHandler::didDismiss(note(identifier, "t", "u"));
    QCOMPARE(m_platform->fakePasteboard.writes(), writes);
    QCOMPARE(SettingsStore::shared().stringForKey(Preferences::lastBrandedLinkStored),
             writes.isEmpty() ? std::nullopt : std::optional<QString>(writes.at(0)));
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
    QTest::newRow("no answer") << std::optional<QJsonObject>() << 1 << QString();
    QTest::newRow("a link") << std::optional<QJsonObject>(QJsonObject{{"id", "l"}}) << 1
                            << QString();
    QTest::newRow("slashtag error")
        << errors(QJsonArray{QJsonObject{{"property", "slashtag"}, {"message", "Taken"}}}) << 0
        << "Taken";
    QTest::newRow("other property passes on")
        << errors(QJsonArray{QJsonObject{{"property", "title"}, {"message", "Long"}}}) << 1
        << QString();
    QTest::newRow("not a list") << errors(QJsonValue("bad")) << 0 << QString();
    QTest::newRow("empty list") << errors(QJsonArray()) << 0 << QString();
    QTest::newRow("message missing")
        << errors(QJsonArray{QJsonObject{{"property", "slashtag"}}}) << 0 << QString();
    QTest::newRow("message not text")
        << errors(QJsonArray{QJsonObject{{"property", "slashtag"}, {"message", 4}}}) << 0
        << QString();
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
    QTest::addColumn<std::optional<QString>>("url");
    QTest::newRow("https true") << QJsonObject{{"shortUrl", "s.test/a"}, {"https", true}}
                                << std::optional<QString>("https://s.test/a");
    QTest::newRow("https false") << QJsonObject{{"shortUrl", "s.test/a"}, {"https", false}}
                                 << std::optional<QString>("http://s.test/a");
    QTest::newRow("https absent") << QJsonObject{{"shortUrl", "s.test/a"}}
                                  << std::optional<QString>("http://s.test/a");
    QTest::newRow("https as text") << QJsonObject{{"shortUrl", "s.test/a"}, {"https", "true"}}
                                   << std::optional<QString>("http://s.test/a");
    QTest::newRow("no short URL") << QJsonObject{{"https", true}} << std::optional<QString>();
}

void NotificationHandlerTest::fullShortUrl()
{
    QFETCH(QJsonObject, link);
    QFETCH(std::optional<QString>, url);
    QCOMPARE(Switcher::fullShortUrl(link), url);
}

void NotificationHandlerTest::fallbackTitle_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("titleLength");
    QTest::newRow("100 stays") << 100 << 100;
    QTest::newRow("101 stays") << 101 << 101;
    QTest::newRow("102 is cut") << 102 << 103;
    QTest::newRow("500 is cut") << 500 << 103;
}

void NotificationHandlerTest::fallbackTitle()
{
    QFETCH(int, length);
    QFETCH(int, titleLength);
    QString url = QStringLiteral("https://example.org/");
    url += QString(length - url.size(), QLatin1Char('a'));
    const QString title = Switcher::fallbackTitle(url);
    QCOMPARE(title.size(), titleLength);
    if (length >= 102)
        QCOMPARE(title, url.first(100) + "...");
    else
        QCOMPARE(title, url);
}

void NotificationHandlerTest::strategies_data()
{
    QTest::addColumn<std::optional<QString>>("value");
    QTest::addColumn<bool>("random");
    QTest::addColumn<bool>("dash");
    QTest::addColumn<bool>("camelCase");
    using S = std::optional<QString>;
    QTest::newRow("absent") << S() << true << false << false;
    QTest::newRow("random") << S("qv-option-slashtag-random") << true << false << false;
    QTest::newRow("shortest") << S("qv-option-slashtag-shortest") << true << false << false;
    QTest::newRow("suggested") << S("qv-option-slashtag-suggested") << false << false << false;
    QTest::newRow("dash") << S("qv-option-slashtag-suggested-dash") << false << true << false;
    QTest::newRow("camel") << S("qv-option-slashtag-suggested-camelcase") << false << false << true;
    QTest::newRow("case differs") << S("qv-option-slashtag-Suggested") << true << false << false;
}

void NotificationHandlerTest::strategies()
{
    QFETCH(std::optional<QString>, value);
    QFETCH(bool, random);
    QFETCH(bool, dash);
    QFETCH(bool, camelCase);
    const SlugHandler::Strategy strategy = SlugHandler::strategyFor(value);
    QCOMPARE(strategy.random, random);
    QCOMPARE(strategy.dash, dash);
    QCOMPARE(strategy.camelCase, camelCase);
}

QTEST_GUILESS_MAIN(NotificationHandlerTest)
#include "tst_notificationhandler.moc"
