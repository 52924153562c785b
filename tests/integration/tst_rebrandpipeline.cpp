// The rebrand pipeline against the sandbox: a copied URL becomes a link, with the options,
// the duplicate check and its dialogues, the slashtag strategies and the notifications.

#include "ServiceHarness.h"
#include "Services/Domain.h"
#include "Utils/BackgroundTasks.h"
#include "Utils/ContextualMenu.h"
#include "Utils/LinkHandler.h"
#include "Utils/Utils.h"

#include <QElapsedTimer>

using namespace Costants;

class RebrandPipelineTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void options_data();
    void options();
    void slashtagStrategy_data();
    void slashtagStrategy();
    void recommendationAnswers_data();
    void recommendationAnswers();
    void unusableDefaultDomain();
    void duplicateDialogues_data();
    void duplicateDialogues();
    void searchTerm_data();
    void searchTerm();
    void afterCreation_data();
    void afterCreation();
    void takenSlashtag_data();
    void takenSlashtag();
    void offlineKeepsTheForm_data();
    void replacement_data();
    void replacement();
    void offlineKeepsTheForm();
    void twoCreationsLeaveOneNotification();
    void backgroundTasksPace();
    void servicesEntry_data();
    void creationFaults_data();
    void creationFaults();
    void servicesEntry();

private:
    [[nodiscard]] QJsonArray sent(const QString &path, const QString &method = QString())
    {
        return harness::requests(*m_sandbox, path, method);
    }
    [[nodiscard]] QJsonObject sandboxCreate(const QString &destination, const QString &domainId);
    void copy(const QString &url) { LinkHandler::handleCopiedLink(url); }
    // Lets the GUI thread run queued work and answers arrive, then reports the links made.
    [[nodiscard]] QJsonArray createdAfterSettling();

    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<LogCapture> m_log;
    std::unique_ptr<ServiceClient> m_client;
    FakePlatform *m_platform = nullptr;
    QString m_token;
    QJsonObject m_domain;      // quorv.link of the default workspace
    QJsonObject m_plainDomain; // the domain without https
};

void RebrandPipelineTest::initTestCase()
{
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY2(m_sandbox->isRunning(), qPrintable(m_sandbox->startError()));
    BackgroundTasks::setDelayMilliseconds(300);
}

void RebrandPipelineTest::init()
{
    QCOMPARE(m_sandbox->control("POST", "/__sandbox/reset").status, 200);
    m_environment = std::make_unique<TestEnvironment>();
    m_platform = &FakePlatform::installNew();
    m_log = std::make_unique<LogCapture>();
    m_client = std::make_unique<ServiceClient>(m_sandbox->baseUrl());
    m_client->api->setAuthentication(m_client->authentication.get());
    ApiManager::installShared(m_client->api.get());
    const QJsonObject issued = harness::storeIssuedToken(*m_sandbox);
    m_token = issued.value("access_token").toString();
    const auto domains = m_sandbox->request(
        "GET", "/v1/domains?active=true",
        {{"Authorization", "Bearer " + m_token.toLatin1()}, {"workspace", "wsp-personal"}});
    for (const QJsonValue &value : domains.json().toArray()) {
        const QJsonObject domain = value.toObject();
        if (domain.value("fullName") == QLatin1String("quorv.link"))
            m_domain = domain;
        else
            m_plainDomain = domain;
    }
    QVERIFY(!m_domain.isEmpty() && !m_plainDomain.isEmpty());
    SettingsStore &store = SettingsStore::shared();
    store.setString(Preferences::userId, "acc-7d1e2f30");
    store.setDictionary(Preferences::workspaceObjectAutoReplace, {{"id", "wsp-personal"}});
    store.setData(Preferences::domainObjectAutoReplace, Domain::fromJson(m_domain).encoded());
    store.setBool(Preferences::skipDuplicateCheck, true);
    store.setBool(Preferences::automaticCopy, true);
    store.setBool(Preferences::notificationBrandedLink, true);
    store.setString(Preferences::optionActive, Preferences::OptionsRebrand::autoRebrand);
    QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/requests").status, 200);
}

void RebrandPipelineTest::cleanup()
{
    QTest::qWait(50);
    ApiManager::installShared(nullptr);
    m_client.reset();
    m_log.reset();
    m_environment.reset();
}

void RebrandPipelineTest::cleanupTestCase()
{
    Platform::install(nullptr);
    m_sandbox.reset();
}

QJsonObject RebrandPipelineTest::sandboxCreate(const QString &destination, const QString &domainId)
{
    const auto reply = m_sandbox->request(
        "POST", "/v1/links",
        {{"Authorization", "Bearer " + m_token.toLatin1()},
         {"Content-Type", "application/json"},
         {"workspace", "wsp-personal"}},
        QJsonDocument(QJsonObject{{"destination", destination}, {"domainId", domainId}}).toJson());
    return reply.json().toObject();
}

QJsonArray RebrandPipelineTest::createdAfterSettling()
{
    // Three round trips at most on loopback; then nothing else may follow.
    QTest::qWait(400);
    return sent("/v1/links", "POST");
}

void RebrandPipelineTest::options_data()
{
    QTest::addColumn<QString>("option"); // empty: none stored
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("links");
    QTest::addColumn<int>("dialogues");
    QTest::addColumn<bool>("formOpened");
    using namespace Preferences::OptionsRebrand;
    QTest::newRow("nothing stored") << QString() << 0 << 0 << 0 << false;
    QTest::newRow("unknown option") << "qv-option-other" << 0 << 0 << 0 << false;
    QTest::newRow("do nothing") << doNothing << 0 << 0 << 0 << false;
    QTest::newRow("auto rebrand") << autoRebrand << 0 << 1 << 0 << false;
    QTest::newRow("question answered Rebrand")
        << notification << AlertPresenter::FirstButton << 1 << 1 << false;
    QTest::newRow("question answered Cancel")
        << notification << AlertPresenter::SecondButton << 0 << 1 << false;
    QTest::newRow("dialogue box opens the form") << dialogueBox << 0 << 0 << 0 << true;
    QTest::newRow("ask edit link opens the form") << askEditLink << 0 << 0 << 0 << true;
}

void RebrandPipelineTest::options()
{
    QFETCH(QString, option);
    QFETCH(int, answer);
    QFETCH(int, links);
    QFETCH(int, dialogues);
    QFETCH(bool, formOpened);
    if (option.isEmpty())
        SettingsStore::shared().remove(Preferences::optionActive);
    else
        SettingsStore::shared().setString(Preferences::optionActive, option);
    if (answer)
        m_platform->alertPresenter.answerWith(answer);
    PostCounter form(NotificationViews::newLinkPopoverExternal);
    const QString url =
        "https://example.org/options/" + QString(QTest::currentDataTag()).replace(' ', '-');
    // From a worker thread, as the clipboard tick calls in.
    QThread *worker = QThread::create([this, url] { copy(url); });
    worker->start();
    QVERIFY(worker->wait(5000));
    delete worker;
    if (formOpened)
        QTRY_COMPARE(form.count, 1);
    if (links)
        QTRY_COMPARE(sent("/v1/links", "POST").size(), links);
    const QJsonArray created = createdAfterSettling();
    QCOMPARE(created.size(), links);
    QCOMPARE(m_platform->alertPresenter.shown().size(), dialogues);
    QCOMPARE(form.count, formOpened ? 1 : 0);
    if (formOpened)
        QCOMPARE(SettingsStore::shared().stringForKey(Preferences::newDestination),
                 std::optional<QString>(url));
    if (!links && !formOpened)
        QCOMPARE(sent("/v1/recommendation-system").size(), 0);
    if (links) {
        const QJsonObject body =
            QJsonDocument::fromJson(created.at(0).toObject().value("body").toString().toUtf8())
                .object();
        QCOMPARE(body.value("destination").toString(), url);
        QCOMPARE(body.value("domain").toObject().value("id"), m_domain.value("id"));
        QVERIFY(!body.value("slashtag").toString().isEmpty());
        const QString shortUrl = m_platform->fakePasteboard.writes().value(0);
        QVERIFY2(shortUrl.startsWith("https://quorv.link/"), qPrintable(shortUrl));
        QCOMPARE(SettingsStore::shared().stringForKey(Preferences::lastBrandedLinkStored),
                 std::optional<QString>(shortUrl));
        const auto shown = m_platform->userNotifications.delivered();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.at(0).title, QStringLiteral("Link rebranded ✨"));
        QCOMPARE(shown.at(0).informativeText, shortUrl);
    }
}

void RebrandPipelineTest::slashtagStrategy_data()
{
    QTest::addColumn<QString>("strategy"); // empty: none stored
    QTest::addColumn<QJsonObject>("algorithm");
    const QJsonObject random{{"type", "random"}};
    auto custom = [](const char *separator, const char *capitalization) {
        return QJsonObject{
            {"type", "custom"},
            {"options", QJsonObject{{"separator", separator}, {"capitalization", capitalization}}}};
    };
    QTest::newRow("none stored") << QString() << random;
    QTest::newRow("random") << "qv-option-slashtag-random" << random;
    QTest::newRow("shortest") << "qv-option-slashtag-shortest" << random;
    QTest::newRow("unknown") << "qv-option-slashtag-whatever" << random;
    QTest::newRow("suggested") << "qv-option-slashtag-suggested" << custom("none", "lowercase");
    QTest::newRow("dash") << "qv-option-slashtag-suggested-dash" << custom("dash", "lowercase");
    QTest::newRow("camel case") << "qv-option-slashtag-suggested-camelcase"
                                << custom("none", "camelcase");
}

void RebrandPipelineTest::slashtagStrategy()
{
    QFETCH(QString, strategy);
    QFETCH(QJsonObject, algorithm);
    if (!strategy.isEmpty())
        SettingsStore::shared().setString(Preferences::optionSlashtagRebrand, strategy);
    copy("https://example.org/strategy");
    QTRY_COMPARE(sent("/v1/links", "POST").size(), 1);
    const QJsonArray asked = sent(API::slashtagRecommendPath);
    QCOMPARE(asked.size(), 1);
    const QJsonObject body =
        QJsonDocument::fromJson(asked.at(0).toObject().value("body").toString().toUtf8()).object();
    QCOMPARE(body.value("algorithm").toObject(), algorithm);
    QCOMPARE(body.value("domain").toObject().value("fullName"), QJsonValue("quorv.link"));
    QCOMPARE(body.value("url"), QJsonValue("https://example.org/strategy"));
}

void RebrandPipelineTest::recommendationAnswers_data()
{
    QTest::addColumn<QString>("faultPath");
    QTest::addColumn<QJsonObject>("fault");
    QTest::addColumn<bool>("slashtagSent");
    QTest::addColumn<QString>("title"); // empty: the destination
    QTest::newRow("empty slashtag list")
        << API::slashtagRecommendPath
        << QJsonObject{{"status", 200}, {"body", QJsonObject{{"recommendations", QJsonArray()}}}}
        << false << "sandbox";
    QTest::newRow("slashtag service down")
        << API::slashtagRecommendPath << QJsonObject{{"status", 503}} << false << "sandbox";
    QTest::newRow("slashtag answer garbled")
        << API::slashtagRecommendPath << QJsonObject{{"malformedJson", true}} << false << "sandbox";
    QTest::newRow("title dropped")
        << API::titleRecommendPath << QJsonObject{{"drop", true}} << true << QString();
    QTest::newRow("title mistyped")
        << API::titleRecommendPath << QJsonObject{{"mistypedJson", true}} << true << QString();
}

void RebrandPipelineTest::recommendationAnswers()
{
    QFETCH(QString, faultPath);
    QFETCH(QJsonObject, fault);
    QFETCH(bool, slashtagSent);
    QFETCH(QString, title);
    fault.insert("path", faultPath);
    QCOMPARE(m_sandbox->control("POST", "/__sandbox/faults", fault).status, 200);
    const QString url = "https://example.org/recommendation";
    copy(url);
    QTRY_COMPARE(sent("/v1/links", "POST").size(), 1);
    const QJsonObject body =
        QJsonDocument::fromJson(
            sent("/v1/links", "POST").at(0).toObject().value("body").toString().toUtf8())
            .object();
    QCOMPARE(body.contains("slashtag"), slashtagSent);
    if (title.isEmpty())
        QCOMPARE(body.value("title").toString(), url);
    else
        QVERIFY2(body.value("title").toString() != url, qPrintable(body.value("title").toString()));
    QCOMPARE(createdAfterSettling().size(), 1);
}

void RebrandPipelineTest::unusableDefaultDomain()
{
    SettingsStore::shared().setData(Preferences::domainObjectAutoReplace,
                                    Domain{QString(), m_domain.value("id").toString()}.encoded());
    copy("https://example.org/empty-name");
    QTRY_COMPARE(sent(API::titleRecommendPath).size(), 1);
    QCOMPARE(createdAfterSettling().size(), 0);
    QCOMPARE(sent(API::slashtagRecommendPath).size(), 0);
    SettingsStore::shared().remove(Preferences::domainObjectAutoReplace);
    copy("https://example.org/no-domain");
    QTest::qWait(300);
    QCOMPARE(sent("/v1").size(), 1);
}

void RebrandPipelineTest::duplicateDialogues_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("plainDomain");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("links");
    QTest::addColumn<int>("buttons");
    using namespace Preferences::OptionsRebrand;
    QTest::newRow("A copy existing, https") << autoRebrand << false << 1000 << 0 << 2;
    QTest::newRow("A copy existing, no https") << autoRebrand << true << 1000 << 0 << 2;
    QTest::newRow("A rebrand again") << autoRebrand << false << 1001 << 1 << 2;
    QTest::newRow("B copy existing") << dialogueBox << false << 1000 << 0 << 2;
    QTest::newRow("C copy existing") << notification << false << 1000 << 0 << 3;
    QTest::newRow("C rebrand again") << notification << false << 1001 << 1 << 3;
    QTest::newRow("C cancel") << notification << false << 1002 << 0 << 3;
}

void RebrandPipelineTest::duplicateDialogues()
{
    QFETCH(QString, option);
    QFETCH(bool, plainDomain);
    QFETCH(int, answer);
    QFETCH(int, links);
    QFETCH(int, buttons);
    const QString url = "https://duplicate.example.org/page";
    const QJsonObject existing =
        sandboxCreate(url, (plainDomain ? m_plainDomain : m_domain).value("id").toString());
    QVERIFY(existing.contains("shortUrl"));
    QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/requests").status, 200);
    SettingsStore::shared().setBool(Preferences::skipDuplicateCheck, false);
    SettingsStore::shared().setString(Preferences::optionActive, option);
    m_platform->alertPresenter.answerWith(answer);
    copy(url);
    QTRY_COMPARE(m_platform->alertPresenter.shown().size(), 1);
    const Alert shown = m_platform->alertPresenter.shown().at(0);
    QCOMPARE(shown.message, QStringLiteral("URL already rebranded!"));
    QCOMPARE(shown.buttons.size(), buttons);
    QCOMPARE(createdAfterSettling().size(), links);
    const QString existingUrl =
        (plainDomain ? "http://" : "https://") + existing.value("shortUrl").toString();
    if (answer == 1000) {
        QCOMPARE(m_platform->fakePasteboard.writes(), QStringList{existingUrl});
        QVERIFY(!SettingsStore::shared().contains(Preferences::lastBrandedLinkStored));
    }
    if (option != Preferences::OptionsRebrand::autoRebrand) {
        QCOMPARE(SettingsStore::shared().stringForKey(Preferences::editLinkId),
                 std::optional<QString>(existing.value("id").toString()));
        QCOMPARE(SettingsStore::shared().stringForKey(Preferences::editWorkspaceId),
                 std::optional<QString>("wsp-personal"));
    }
}

void RebrandPipelineTest::searchTerm_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("workspaceStored");
    QTest::newRow("query with & and =") << "https://shop.example.org/p?id=7&ref=mail" << true;
    QTest::newRow("plus and hash") << "https://example.org/a+b#frag" << true;
    QTest::newRow("no default workspace") << "https://example.org/nowid" << false;
}

void RebrandPipelineTest::searchTerm()
{
    QFETCH(QString, url);
    QFETCH(bool, workspaceStored);
    // The destination is on the service already: the whole URL must reach the search.
    const QJsonObject existing = sandboxCreate(url, m_domain.value("id").toString());
    QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/requests").status, 200);
    if (!workspaceStored)
        SettingsStore::shared().remove(Preferences::workspaceObjectAutoReplace);
    SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView,
                                          {{"id", "wsp-marketing"}});
    SettingsStore::shared().setBool(Preferences::skipDuplicateCheck, false);
    copy(url);
    // Found: dialogue A comes up (and copies the existing link by default).
    QTRY_COMPARE(m_platform->alertPresenter.shown().size(), 1);
    const QJsonArray searches = sent("/v1/links/search");
    QCOMPARE(searches.size(), 1);
    const QJsonObject search = searches.at(0).toObject();
    const QString query = search.value("query").toString();
    QVERIFY2(!query.contains("&ref=") && !query.contains("id=7"), qPrintable(query));
    QVERIFY2(query.endsWith("&limit=10"), qPrintable(query));
    QCOMPARE(harness::header(search, "workspace"),
             workspaceStored ? std::optional<QString>("wsp-personal") : std::nullopt);
    QCOMPARE(m_platform->fakePasteboard.writes(),
             QStringList{"https://" + existing.value("shortUrl").toString()});
}

void RebrandPipelineTest::afterCreation_data()
{
    QTest::addColumn<bool>("notify");
    QTest::addColumn<bool>("autoCopy");
    QTest::addColumn<bool>("fromForm");
    QTest::addColumn<QString>("title"); // empty: none shown
    QTest::newRow("automatic, copy only") << false << true << false << QString();
    QTest::newRow("automatic, neither") << false << false << false << QString();
    QTest::newRow("automatic, notify only") << true << false << false << "Link rebranded ✨";
    QTest::newRow("form, copy only") << false << true << true << "Link copied ✨";
    QTest::newRow("form, both") << true << true << true << "Link rebranded ✨";
}

void RebrandPipelineTest::afterCreation()
{
    QFETCH(bool, notify);
    QFETCH(bool, autoCopy);
    QFETCH(bool, fromForm);
    QFETCH(QString, title);
    SettingsStore::shared().setBool(Preferences::notificationBrandedLink, notify);
    SettingsStore::shared().setBool(Preferences::automaticCopy, autoCopy);
    PostCounter reset(NotificationViews::resetListLinks);
    PostCounter toggle(NotificationViews::togglePopover);
    if (fromForm)
        Utils::createLink(
            "https://example.org/form", std::nullopt, QString(), m_domain.value("id").toString(),
            QString("wsp-personal"),
            [](const QString &, const QString &message) { QFAIL(qPrintable(message)); });
    else
        Utils::autoRebrand("https://example.org/automatic");
    QTRY_COMPARE(reset.count, 1);
    QCOMPARE(toggle.count, fromForm ? 1 : 0);
    const QStringList writes = m_platform->fakePasteboard.writes();
    QCOMPARE(writes.size(), autoCopy ? 1 : 0);
    if (autoCopy)
        QCOMPARE(SettingsStore::shared().stringForKey(Preferences::lastBrandedLinkStored),
                 std::optional<QString>(writes.at(0)));
    const auto shown = m_platform->userNotifications.delivered();
    QCOMPARE(shown.size(), title.isEmpty() ? 0 : 1);
    if (!title.isEmpty())
        QCOMPARE(shown.at(0).title, title);
}

void RebrandPipelineTest::takenSlashtag_data()
{
    QTest::addColumn<bool>("update");
    QTest::newRow("form creation") << false;
    QTest::newRow("update") << true;
}

void RebrandPipelineTest::takenSlashtag()
{
    QFETCH(bool, update);
    PostCounter reset(NotificationViews::resetListLinks);
    PostCounter toggle(NotificationViews::togglePopover);
    QStringList errors;
    const auto onError = [&errors](const QString &property, const QString &message) {
        QCOMPARE(property, QStringLiteral("slashtag"));
        errors.append(message);
    };
    const QString domainId = m_domain.value("id").toString();
    if (update) {
        const QJsonObject link = sandboxCreate("https://example.org/to-update", domainId);
        Utils::updateLink(link.value("id").toString(), "https://example.org/to-update", "welcome",
                          domainId, "Title", QString("wsp-personal"), onError);
    } else {
        Utils::createLink("https://example.org/taken", QString("Title"), "welcome", domainId,
                          QString("wsp-personal"), onError);
    }
    QTRY_COMPARE(errors.size(), 1);
    QCOMPARE(errors.at(0), QStringLiteral("Slashtag already taken"));
    QTest::qWait(200);
    QCOMPARE(reset.count, 0);
    QCOMPARE(toggle.count, 0);
    QCOMPARE(m_platform->fakePasteboard.writes().size(), 0);
}

void RebrandPipelineTest::offlineKeepsTheForm_data()
{
    QTest::addColumn<QString>("request");
    QTest::newRow("creation") << "create";
    QTest::newRow("replacement") << "replace";
    QTest::newRow("update") << "update";
}

void RebrandPipelineTest::offlineKeepsTheForm()
{
    QFETCH(QString, request);
    const QString domainId = m_domain.value("id").toString();
    const QString linkId =
        sandboxCreate("https://example.org/kept", domainId).value("id").toString();
    QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/requests").status, 200);
    m_client->reachability->report(false);
    PostCounter toggle(NotificationViews::togglePopover);
    QStringList errors;
    const auto onError = [&errors](const QString &property, const QString &message) {
        errors.append(property + QLatin1Char('|') + message);
    };
    if (request == QLatin1String("create"))
        Utils::createLink("https://example.org/new", QString("Title"), "offline-new", domainId,
                          QString("wsp-personal"), onError);
    else if (request == QLatin1String("replace"))
        Utils::replaceLink(linkId, "https://example.org/kept", "offline-new", domainId, "Title",
                           QString("wsp-personal"), onError);
    else
        Utils::updateLink(linkId, "https://example.org/kept", "offline-new", domainId, "Title",
                          QString("wsp-personal"), onError);
    // The form stays open with its values and the user is told that nothing was sent.
    QCOMPARE(errors, QStringList{"|" + LocalNotification::offlineMessage});
    QCOMPARE(toggle.count, 0);
    const auto shown = m_platform->userNotifications.delivered();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.at(0).title, LocalNotification::errorTitle);
    QTest::qWait(100);
    QCOMPARE(sent(QString()).size(), 0);
}

void RebrandPipelineTest::replacement_data()
{
    QTest::addColumn<QString>("slashtag");
    QTest::addColumn<QJsonObject>("fault");
    QTest::addColumn<QString>("error"); // property|message given to the form
    QTest::addColumn<bool>("oldKept");
    QTest::addColumn<bool>("newMade");
    QTest::addColumn<QString>("notification"); // text of the one shown
    const QString kept = LocalNotification::oldLinkKeptMessage + LocalNotification::errorTryLater;
    QTest::newRow("replaced") << "replaced-tag" << QJsonObject() << QString() << false << true
                              << "https://quorv.link/replaced-tag";
    QTest::newRow("creation refused")
        << "welcome" << QJsonObject() << "slashtag|Slashtag already taken" << true << false
        << LocalNotification::errorDefaultMessage + LocalNotification::errorTryLater;
    QTest::newRow("deletion refused")
        << "replaced-tag"
        << QJsonObject{{"method", "DELETE"}, {"path", "/v1/links/*"}, {"status", 500}} << QString()
        << true << true << kept;
    QTest::newRow("deletion unanswered")
        << "replaced-tag"
        << QJsonObject{{"method", "DELETE"}, {"path", "/v1/links/*"}, {"drop", true}} << QString()
        << true << true << kept;
}

void RebrandPipelineTest::replacement()
{
    QFETCH(QString, slashtag);
    QFETCH(QJsonObject, fault);
    QFETCH(QString, error);
    QFETCH(bool, oldKept);
    QFETCH(bool, newMade);
    QFETCH(QString, notification);
    const QString domainId = m_domain.value("id").toString();
    const QJsonObject old = sandboxCreate("https://example.org/history", domainId);
    if (!fault.isEmpty())
        QCOMPARE(m_sandbox->control("POST", "/__sandbox/faults", fault).status, 200);
    PostCounter toggle(NotificationViews::togglePopover);
    QStringList errors;
    Utils::replaceLink(old.value("id").toString(), "https://example.org/history", slashtag,
                       domainId, "History", QString("wsp-personal"),
                       [&errors](const QString &property, const QString &message) {
                           errors.append(property + QLatin1Char('|') + message);
                       });
    QTRY_VERIFY(!errors.isEmpty() || toggle.count > 0);
    QTest::qWait(200);
    QCOMPARE(errors, error.isEmpty() ? QStringList() : QStringList{error});
    QCOMPARE(toggle.count, error.isEmpty() ? 1 : 0);
    const auto auth =
        std::pair<QByteArray, QByteArray>{"Authorization", "Bearer " + m_token.toLatin1()};
    const auto stillThere =
        m_sandbox->request("GET", "/v1/links/" + old.value("id").toString().toLatin1(),
                           {auth, {"workspace", "wsp-personal"}});
    QCOMPARE(stillThere.status, oldKept ? 200 : 404);
    if (oldKept)
        QCOMPARE(stillThere.json().toObject(), old);
    const auto found =
        m_sandbox->request("GET", "/v1/links/search?limit=10&term=example.org/history",
                           {auth, {"workspace", "wsp-personal"}});
    bool made = false;
    for (const QJsonValue &link : found.json().toArray())
        made = made || (link.toObject().value("slashtag").toString() == slashtag &&
                        link.toObject().value("id") != old.value("id"));
    QCOMPARE(made, newMade);
    // A refused creation sends no deletion at all.
    QCOMPARE(sent("/v1/links/", "DELETE").isEmpty(), !newMade);
    const auto shown = m_platform->userNotifications.delivered();
    QCOMPARE(shown.size(), notification.isEmpty() ? 0 : 1);
    if (!notification.isEmpty())
        QCOMPARE(shown.at(0).informativeText, notification);
}

void RebrandPipelineTest::twoCreationsLeaveOneNotification()
{
    copy("https://example.org/first");
    QTRY_COMPARE(m_platform->userNotifications.history().size(), 1);
    copy("https://example.org/second");
    QTRY_COMPARE(m_platform->userNotifications.history().size(), 2);
    const auto shown = m_platform->userNotifications.delivered();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.at(0).informativeText, m_platform->fakePasteboard.writes().value(1));
}

void RebrandPipelineTest::backgroundTasksPace()
{
    const QJsonArray workspaces{
        QJsonObject{{"id", "wsp-personal"}, {"name", "Personal"}, {"type", "classic"}},
        QJsonObject{{"id", "wsp-agency"}, {"name", "Agency"}, {"type", "team"}},
        QJsonObject{{"id", "wsp-marketing"}, {"name", "Marketing"}},
        QJsonObject{{"id", "wsp-archive"}, {"name", "Archive"}, {"type", "classic"}}};
    const QList<WorkspaceDTO> listed = Utils::prepareWorkspaces(workspaces);
    QCOMPARE(listed.size(), 3);
    QCOMPARE(listed.at(2).index, 2);
    QTRY_COMPARE_WITH_TIMEOUT(
        SettingsStore::shared().stringArrayForKey(Preferences::workspaceIdsListCheckedDomains),
        std::optional<QStringList>({"wsp-personal", "wsp-marketing", "wsp-archive"}), 5000);
    const QJsonArray asked = sent("/v1/domains");
    QCOMPARE(asked.size(), 3);
    for (qsizetype i = 1; i < asked.size(); ++i) {
        const auto at = [&](qsizetype k) {
            return QDateTime::fromString(asked.at(k).toObject().value("time").toString(),
                                         Qt::ISODateWithMs);
        };
        const qint64 gap = at(i - 1).msecsTo(at(i));
        QVERIFY2(gap >= 280, qPrintable(QString::number(gap)));
    }
    QCOMPARE(harness::header(asked.at(1).toObject(), "workspace"),
             std::optional<QString>("wsp-marketing"));
    const QStringList names =
        SettingsStore::shared().stringArrayForKey(Preferences::domainNames).value_or(QStringList());
    QVERIFY(names.contains("quorv.link") && names.contains("go.acme-demo.com") &&
            names.contains("arch.quorv.link"));
    QCOMPARE(SettingsStore::shared().stringArrayForKey(Preferences::workspaceIdsListToCheckDomains),
             std::optional<QStringList>(QStringList()));
}

void RebrandPipelineTest::servicesEntry_data()
{
    QTest::addColumn<std::optional<QString>>("text");
    QTest::addColumn<bool>("error");
    QTest::addColumn<int>("links");
    using S = std::optional<QString>;
    QTest::newRow("no text") << S() << true << 0;
    QTest::newRow("empty text") << S("") << true << 0;
    QTest::newRow("not a link") << S("just some words") << false << 0;
    QTest::newRow("a link") << S("https://example.org/services") << false << 1;
    // No "https://" is added and no branded-domain check is made here.
    QTest::newRow("a link without scheme") << S("example.org/bare") << false << 1;
}

void RebrandPipelineTest::servicesEntry()
{
    QFETCH(std::optional<QString>, text);
    QFETCH(bool, error);
    QFETCH(int, links);
    const std::optional<QString> answer = ContextualMenu::rebrandText(text);
    QCOMPARE(answer,
             error ? std::optional<QString>("Could not find the text for parsing.") : std::nullopt);
    if (links)
        QTRY_COMPARE(sent("/v1/links", "POST").size(), links);
    const QJsonArray created = createdAfterSettling();
    QCOMPARE(created.size(), links);
    if (links) {
        const QJsonObject body =
            QJsonDocument::fromJson(created.at(0).toObject().value("body").toString().toUtf8())
                .object();
        QCOMPARE(body.value("destination").toString(), *text);
    }
}

void RebrandPipelineTest::creationFaults_data()
{
    QTest::addColumn<QJsonObject>("fault");
    QTest::addColumn<bool>("duplicateCheck");
    QTest::addColumn<int>("linksSent");
    QTest::addColumn<QString>("shown"); // the title on screen afterwards, empty: none
    const auto on = [](const char *method, const QString &path, QJsonObject fault) {
        fault.insert("method", method);
        fault.insert("path", path);
        return fault;
    };
    QTest::newRow("creation answers 500")
        << on("POST", "/v1/links", {{"status", 500}}) << false << 1 << "Oooops!";
    // A creation whose connection closes without an answer is not sent again: the service
    // may have made the link already.
    QTest::newRow("creation dropped")
        << on("POST", "/v1/links", {{"drop", true}}) << false << 1 << QString();
    QTest::newRow("creation garbled")
        << on("POST", "/v1/links", {{"malformedJson", true}}) << false << 1 << QString();
    QTest::newRow("creation slow")
        << on("POST", "/v1/links", {{"delayMs", 400}}) << false << 1 << "Link rebranded ✨";
    QTest::newRow("search fails: no duplicate")
        << on("GET", "/v1/links/search", {{"status", 503}}) << true << 1 << "Link rebranded ✨";
    QTest::newRow("search dropped: no duplicate")
        << on("GET", "/v1/links/search", {{"drop", true}}) << true << 1 << "Link rebranded ✨";
    QTest::newRow("search unauthorized ends the chain")
        << on("GET", "/v1/links/search", {{"status", 401}}) << true << 0 << QString();
    // The client signs out and says so; no link follows.
    QTest::newRow("title unauthorized ends the chain")
        << on("POST", API::titleRecommendPath, {{"status", 401}}) << false << 0 << "Oooops!";
}

void RebrandPipelineTest::creationFaults()
{
    QFETCH(QJsonObject, fault);
    QFETCH(bool, duplicateCheck);
    QFETCH(int, linksSent);
    QFETCH(QString, shown);
    QCOMPARE(m_sandbox->control("POST", "/__sandbox/faults", fault).status, 200);
    SettingsStore::shared().setBool(Preferences::skipDuplicateCheck, !duplicateCheck);
    copy("https://example.org/faults");
    if (linksSent)
        QTRY_VERIFY(!sent("/v1/links", "POST").isEmpty());
    QTest::qWait(600);
    const qsizetype posts = sent("/v1/links", "POST").size();
    if (linksSent < 0)
        QVERIFY2(posts == 1 || posts == 2, qPrintable(QString::number(posts)));
    else
        QCOMPARE(posts, linksSent);
    const auto delivered = m_platform->userNotifications.delivered();
    QCOMPARE(delivered.isEmpty() ? QString() : delivered.last().title, shown);
    const bool created = shown.startsWith("Link rebranded");
    QCOMPARE(m_platform->fakePasteboard.writes().size(), created ? 1 : 0);
    QVERIFY(m_platform->alertPresenter.shown().isEmpty());
}

QTEST_MAIN(RebrandPipelineTest)
#include "tst_rebrandpipeline.moc"
