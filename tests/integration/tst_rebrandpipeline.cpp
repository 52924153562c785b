// The rebrand pipeline against the sandbox: a copied URL becomes a link, with the options,
// the duplicate check and its dialogues, the slashtag strategies and the notifications.

#include "ServiceHarness.h"
#include "Services/Domain.h"
#include "Utils/BackgroundTasks.h"
#include "Utils/LinkHandler.h"
#include "Utils/Utils.h"

using namespace Costants;

class RebrandPipelineTest : public ServiceTest
{
    Q_OBJECT

private:
    void prepare() override
    {
        BackgroundTasks::setDelayMilliseconds(300);
        harness::storeIssuedToken(*m_sandbox);
        const auto domains = harness::asUser(*m_sandbox, "GET", "/v1/domains?active=true");
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

    QJsonObject create(const QString &destination, const QJsonObject &domain)
    {
        return harness::asUser(*m_sandbox, "POST", "/v1/links",
                               {{"destination", destination}, {"domainId", domain.value("id")}})
            .json()
            .toObject();
    }
    void copy(const QString &url) { LinkHandler::handleCopiedLink(url); }
    // Lets the GUI thread run queued work and answers arrive, then reports the links made.
    [[nodiscard]] QJsonArray createdAfterSettling()
    {
        // Three round trips at most on loopback; then nothing else may follow.
        QTest::qWait(400);
        return sent("/v1/links", "POST");
    }

    QJsonObject m_domain;      // quorv.link of the default workspace
    QJsonObject m_plainDomain; // the domain without https

private slots:
    // A URL copied with the rule `option` (empty: none stored), the question's `answer`, the
    // preferences in `setup` ("duplicate check", "no notification", "no copy") and a sandbox
    // `fault`: the creations sent, whether the link is made, the title of the notification then
    // on screen (empty: none) and what the link's body lacks or holds.
    void copied_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("links");
        QTest::addColumn<bool>("made");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("body");
        using namespace Preferences::OptionsRebrand;
        const auto row = [](const char *name, const QString &option, int answer, int links,
                            bool made, const QString &shown, const QJsonObject &fault = {},
                            const char *setup = "", const char *body = "") {
            QTest::newRow(name) << option << answer << fault << QString(setup) << links << made
                                << shown << QString(body);
        };
        // A fault of the creation, the duplicate search, or the title or slashtag proposal; an
        // automatic rebrand with it.
        const auto on = [](const QString &step, QJsonObject fault) {
            fault.insert("method", step == "search" ? "GET" : "POST");
            fault.insert("path", step == "creation" ? "/v1/links"
                                 : step == "search" ? "/v1/links/search"
                                 : step == "title"  ? API::titleRecommendPath
                                                    : API::slashtagRecommendPath);
            return fault;
        };
        const auto with = [&row](const char *name, const QJsonObject &fault, int links, bool made,
                                 const QString &shown, const char *setup = "",
                                 const char *body = "") {
            row(name, autoRebrand, 0, links, made, shown, fault, setup, body);
        };
        const QString made = LocalNotification::linkRebrandedTitle;
        const QString error = LocalNotification::errorTitle;
        row("nothing stored", QString(), 0, 0, false, QString());
        row("do nothing", doNothing, 0, 0, false, QString());
        row("question answered Cancel", notification, AlertPresenter::SecondButton, 0, false, "");
        row("dialogue box opens the form", dialogueBox, 0, 0, false, QString());
        with("copy only", {}, 1, true, QString(), "no notification");
        with("notification only", {}, 1, true, made, "no copy");
        with("creation answers 500", on("creation", {{"status", 500}}), 1, false, error);
        // A creation whose connection closes without an answer is not sent again: the service
        // may have made the link already.
        with("creation dropped", on("creation", {{"drop", true}}), 1, false, QString());
        const char *check = "duplicate check";
        with("search fails: no duplicate", on("search", {{"status", 503}}), 1, true, made, check);
        with("search unauthorized ends the chain", on("search", {{"status", 401}}), 0, false,
             QString(), check);
        // The client signs out and says so; no link follows.
        with("title unauthorized ends the chain", on("title", {{"status", 401}}), 0, false, error);
        // Without a usable proposal the link goes out without a slashtag, or under its URL.
        const QJsonObject none{{"status", 200},
                               {"body", QJsonObject{{"recommendations", QJsonArray()}}}};
        const char *noSlashtag = "no slashtag";
        with("empty slashtag list", on("slashtag", none), 1, true, made, "", noSlashtag);
        with("slashtag service down", on("slashtag", {{"status", 503}}), 1, true, made, "",
             noSlashtag);
        with("slashtag answer garbled", on("slashtag", {{"malformedJson", true}}), 1, true, made,
             "", noSlashtag);
        const char *urlTitle = "title is the URL";
        with("title dropped", on("title", {{"drop", true}}), 1, true, made, "", urlTitle);
        with("title mistyped", on("title", {{"mistypedJson", true}}), 1, true, made, "", urlTitle);
    }

    void copied()
    {
        QFETCH(QString, option);
        QFETCH(int, answer);
        QFETCH(QJsonObject, fault);
        QFETCH(QString, setup);
        QFETCH(int, links);
        QFETCH(bool, made);
        QFETCH(QString, shown);
        QFETCH(QString, body);
        using namespace Preferences::OptionsRebrand;
        SettingsStore &store = SettingsStore::shared();
        if (option.isEmpty())
            store.remove(Preferences::optionActive);
        else
            store.setString(Preferences::optionActive, option);
        store.setBool(Preferences::skipDuplicateCheck, !setup.contains("duplicate check"));
        store.setBool(Preferences::notificationBrandedLink, !setup.contains("no notification"));
        store.setBool(Preferences::automaticCopy, !setup.contains("no copy"));
        if (answer)
            m_platform->alertPresenter.answerWith(answer);
        if (!fault.isEmpty())
            QVERIFY(harness::arm(*m_sandbox, fault));
        const bool formOpened = option == dialogueBox || option == askEditLink;
        PostCounter form(NotificationViews::newLinkPopoverExternal);
        PostCounter reset(NotificationViews::resetListLinks);
        PostCounter toggle(NotificationViews::togglePopover);
        const QString url =
            "https://example.org/copied/" + QString(QTest::currentDataTag()).replace(' ', '-');
        // From a worker thread, as the clipboard tick calls in.
        QThread *worker = QThread::create([this, url] { copy(url); });
        worker->start();
        QVERIFY(worker->wait(5000));
        delete worker;
        if (formOpened)
            QTRY_COMPARE(form.count, 1);
        if (links)
            QTRY_COMPARE(sent("/v1/links", "POST").size(), links);
        // Three round trips at most on loopback, a slow answer among them; then nothing follows.
        QTest::qWait(600);
        const QJsonArray posts = sent("/v1/links", "POST");
        QCOMPARE(posts.size(), links);
        QCOMPARE(m_platform->alertPresenter.shown().size(), option == notification ? 1 : 0);
        QCOMPARE(form.count, formOpened ? 1 : 0);
        if (formOpened)
            QCOMPARE(store.stringForKey(Preferences::newDestination), std::optional<QString>(url));
        if (!links && fault.isEmpty())
            QCOMPARE(sent("/v1/recommendation-system").size(), 0);
        const auto delivered = m_platform->userNotifications.delivered();
        QCOMPARE(delivered.size(), shown.isEmpty() ? 0 : 1);
        QCOMPARE(delivered.isEmpty() ? QString() : delivered.last().title, shown);
        QCOMPARE(toggle.count, 0);
        const QStringList writes = m_platform->fakePasteboard.writes();
        QCOMPARE(writes.size(), made && !setup.contains("no copy") ? 1 : 0);
        if (!made)
            return;
        QCOMPARE(reset.count, 1);
        const QJsonObject link = harness::body(posts.at(0));
        QCOMPARE(link.value("destination").toString(), url);
        QCOMPARE(link.value("domain").toObject().value("id"), m_domain.value("id"));
        QCOMPARE(!link.value("slashtag").toString().isEmpty(), body != "no slashtag");
        QCOMPARE(link.value("title").toString() == url, body == "title is the URL");
        // The short URL is copied, announced, or both (or neither, as asked).
        const QString shortUrl =
            writes.isEmpty() ? delivered.value(0).informativeText : writes.at(0);
        if (!shortUrl.isEmpty())
            QVERIFY2(shortUrl.startsWith("https://quorv.link/"), qPrintable(shortUrl));
        if (!writes.isEmpty())
            QCOMPARE(store.stringForKey(Preferences::lastBrandedLinkStored),
                     std::optional<QString>(shortUrl));
        // A click on its notification opens the editor in the workspace the link was made in.
        if (!delivered.isEmpty()) {
            QCOMPARE(delivered.at(0).informativeText, shortUrl);
            QCOMPARE(delivered.at(0).userInfo.value(NotificationInfos::workspaceIdKey),
                     QVariant("wsp-personal"));
        }
    }

    void slashtagStrategy_data()
    {
        QTest::addColumn<QString>("strategy"); // empty: none stored
        QTest::addColumn<QJsonObject>("algorithm");
        const QJsonObject random{{"type", "random"}};
        auto custom = [](const char *separator, const char *capitalization) {
            return QJsonObject{{"type", "custom"},
                               {"options", QJsonObject{{"separator", separator},
                                                       {"capitalization", capitalization}}}};
        };
        QTest::newRow("none stored") << QString() << random;
        QTest::newRow("suggested") << "qv-option-slashtag-suggested" << custom("none", "lowercase");
        QTest::newRow("dash") << "qv-option-slashtag-suggested-dash" << custom("dash", "lowercase");
        QTest::newRow("camel case")
            << "qv-option-slashtag-suggested-camelcase" << custom("none", "camelcase");
    }

    void slashtagStrategy()
    {
        QFETCH(QString, strategy);
        if (!strategy.isEmpty())
            SettingsStore::shared().setString(Preferences::optionSlashtagRebrand, strategy);
        copy("https://example.org/strategy");
        QTRY_COMPARE(sent("/v1/links", "POST").size(), 1);
        const QJsonArray asked = sent(API::slashtagRecommendPath);
        QCOMPARE(asked.size(), 1);
        const QJsonObject body = harness::body(asked.at(0));
        QTEST(body.value("algorithm").toObject(), "algorithm");
        QCOMPARE(body.value("domain").toObject().value("fullName"), QJsonValue("quorv.link"));
        QCOMPARE(body.value("url"), QJsonValue("https://example.org/strategy"));
    }

    void unusableDefaultDomain()
    {
        SettingsStore::shared().setData(
            Preferences::domainObjectAutoReplace,
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

    // A copied URL made into a link before: the question, its answer and the search.
    void duplicateDialogues_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("plainDomain");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("links");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("workspace"); // the default one; empty: none stored
        using namespace Preferences::OptionsRebrand;
        const auto row = [](const char *name, const QString &option, bool plainDomain, int answer,
                            int links, const char *url = "https://duplicate.example.org/page",
                            const char *workspace = "wsp-personal") {
            QTest::newRow(name) << option << plainDomain << answer << links << QString(url)
                                << QString(workspace);
        };
        const int copy = AlertPresenter::FirstButton;
        const int again = AlertPresenter::SecondButton;
        row("A copy existing, no https", autoRebrand, true, copy, 0);
        row("A rebrand again", autoRebrand, false, again, 1);
        row("B copy existing", dialogueBox, false, copy, 0);
        row("C copy existing", notification, false, copy, 0);
        row("C rebrand again", notification, false, again, 1);
        row("C cancel", notification, false, AlertPresenter::ThirdButton, 0);
        // The whole destination must reach the search.
        row("query with & and =", autoRebrand, false, copy, 0,
            "https://shop.example.org/p?id=7&ref=mail");
        row("plus and hash", autoRebrand, false, copy, 0, "https://example.org/a+b#frag");
        row("no default workspace", autoRebrand, false, copy, 0, "https://example.org/nowid", "");
    }

    void duplicateDialogues()
    {
        QFETCH(QString, option);
        QFETCH(bool, plainDomain);
        QFETCH(int, answer);
        QFETCH(int, links);
        QFETCH(QString, url);
        QFETCH(QString, workspace);
        const QJsonObject existing = create(url, plainDomain ? m_plainDomain : m_domain);
        QVERIFY(existing.contains("shortUrl"));
        QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/requests").status, 200);
        SettingsStore &store = SettingsStore::shared();
        if (workspace.isEmpty())
            store.remove(Preferences::workspaceObjectAutoReplace);
        // The list's workspace is not the one searched.
        store.setDictionary(Preferences::workspaceObjectMainView, {{"id", "wsp-marketing"}});
        store.setBool(Preferences::skipDuplicateCheck, false);
        store.setString(Preferences::optionActive, option);
        m_platform->alertPresenter.answerWith(answer);
        copy(url);
        QTRY_COMPARE(m_platform->alertPresenter.shown().size(), 1);
        const Alert shown = m_platform->alertPresenter.shown().at(0);
        QCOMPARE(shown.message, QStringLiteral("URL already rebranded!"));
        // The question of the notification rule also offers "Cancel".
        QCOMPARE(shown.buttons.size(), option == Preferences::OptionsRebrand::notification ? 3 : 2);
        const QJsonArray searches = sent("/v1/links/search");
        QCOMPARE(searches.size(), 1);
        const QString query = searches.at(0).toObject().value("query").toString();
        QCOMPARE(QUrlQuery(query).queryItemValue("term", QUrl::FullyDecoded), url);
        QVERIFY2(query.endsWith("&limit=10"), qPrintable(query));
        QCOMPARE(harness::header(searches.at(0).toObject(), "workspace"),
                 workspace.isEmpty() ? std::nullopt : std::optional<QString>(workspace));
        QCOMPARE(createdAfterSettling().size(), links);
        const QString existingUrl =
            (plainDomain ? "http://" : "https://") + existing.value("shortUrl").toString();
        if (answer == AlertPresenter::FirstButton) {
            QCOMPARE(m_platform->fakePasteboard.writes(), QStringList{existingUrl});
            QVERIFY(!store.contains(Preferences::lastBrandedLinkStored));
        }
        if (option != Preferences::OptionsRebrand::autoRebrand) {
            QCOMPARE(store.stringForKey(Preferences::editLinkId),
                     std::optional<QString>(existing.value("id").toString()));
            QCOMPARE(store.stringForKey(Preferences::editWorkspaceId),
                     std::optional<QString>("wsp-personal"));
        }
    }

    // What the forms send: a creation, the edit form's update of the link made at start, or its
    // replacement, with `slashtag`, under a `condition` ("offline", "no notification", or the
    // old link's deletion "refused" or "unanswered"). The error handed to the form
    // ("property|message"; the form then stays open with its values) and the notification then
    // on screen ("title|text"; empty: none).
    void formRequests_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("slashtag");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char *name, const char *request, const char *slashtag,
                            const char *condition, const QString &error, const QString &shown) {
            QTest::newRow(name) << QString(request) << QString(slashtag) << QString(condition)
                                << error << shown;
        };
        const QString taken = "slashtag|Slashtag already taken";
        const QString offline = "|" + LocalNotification::offlineMessage;
        const QString failed = LocalNotification::errorTitle + '|';
        const QString made = LocalNotification::linkRebrandedTitle + "|https://quorv.link/";
        row("created, no notification", "create", "form-quiet", "no notification", "",
            LocalNotification::linkCopiedTitle + "|https://quorv.link/form-quiet");
        row("replaced", "replace", "replaced-tag", "", "", made + "replaced-tag");
        // Shown at the slashtag field alone, without a generic "Try later" notification.
        row("replacement refused", "replace", "welcome", "", taken, "");
        row("update refused", "update", "welcome", "", taken, "");
        const QString kept =
            failed + LocalNotification::oldLinkKeptMessage + LocalNotification::errorTryLater;
        row("old link's deletion refused", "replace", "replaced-tag", "refused", "", kept);
        row("old link's deletion unanswered", "replace", "replaced-tag", "unanswered", "", kept);
        const QString notSent =
            failed + LocalNotification::offlineMessage + LocalNotification::errorTryLater;
        row("creation, offline", "create", "offline-new", "offline", offline, notSent);
        row("replacement, offline", "replace", "offline-new", "offline", offline, notSent);
        row("update, offline", "update", "offline-new", "offline", offline, notSent);
    }

    void formRequests()
    {
        QFETCH(QString, request);
        QFETCH(QString, slashtag);
        QFETCH(QString, condition);
        QFETCH(QString, error);
        QFETCH(QString, shown);
        const QString destination = "https://example.org/history";
        const QString domainId = m_domain.value("id").toString();
        const QJsonObject old = create(destination, m_domain);
        const QString oldId = old.value("id").toString();
        QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/requests").status, 200);
        m_reachability->report(condition != "offline");
        SettingsStore::shared().setBool(Preferences::notificationBrandedLink,
                                        condition != "no notification");
        if (condition == "refused" || condition == "unanswered")
            QVERIFY(harness::arm(*m_sandbox, {{"method", "DELETE"},
                                              {"path", "/v1/links/*"},
                                              {"status", 500},
                                              {"drop", condition == "unanswered"}}));
        PostCounter reset(NotificationViews::resetListLinks);
        PostCounter toggle(NotificationViews::togglePopover);
        QStringList errors;
        const auto onError = [&errors](const QString &property, const QString &message) {
            errors.append(property + QLatin1Char('|') + message);
        };
        const QString workspace = "wsp-personal";
        if (request == "create")
            Utils::createLink(destination, QString("History"), slashtag, domainId, workspace,
                              onError);
        else if (request == "replace")
            Utils::replaceLink(oldId, destination, slashtag, domainId, "History", workspace,
                               onError);
        else
            Utils::updateLink(oldId, destination, slashtag, domainId, "History", workspace,
                              onError);
        QTRY_VERIFY(!errors.isEmpty() || toggle.count > 0);
        QTest::qWait(200);
        QCOMPARE(errors, error.isEmpty() ? QStringList() : QStringList{error});
        // Done, the form gives way to the new list; refused, it stays.
        QCOMPARE(reset.count, error.isEmpty() ? 1 : 0);
        QCOMPARE(toggle.count, error.isEmpty() ? 1 : 0);
        const auto delivered = m_platform->userNotifications.delivered();
        QCOMPARE(delivered.size(), shown.isEmpty() ? 0 : 1);
        if (!shown.isEmpty())
            QCOMPARE(delivered.at(0).title + '|' + delivered.at(0).informativeText, shown);
        // Only a link made and announced is copied.
        const bool copied = shown.startsWith("Link ");
        const QString shortUrl = "https://quorv.link/" + slashtag;
        QCOMPARE(m_platform->fakePasteboard.writes(),
                 copied ? QStringList{shortUrl} : QStringList());
        if (copied)
            QCOMPARE(SettingsStore::shared().stringForKey(Preferences::lastBrandedLinkStored),
                     std::optional<QString>(shortUrl));
        if (condition == "offline")
            QCOMPARE(sent().size(), 0); // nothing was sent
        // The old link goes only once its replacement exists and the service deleted it.
        const bool made = error.isEmpty();
        const auto stillThere = harness::asUser(*m_sandbox, "GET", "/v1/links/" + oldId);
        const bool replaced = request == "replace" && made && condition.isEmpty();
        QCOMPARE(stillThere.status, replaced ? 404 : 200);
        if (!replaced)
            QCOMPARE(stillThere.json().toObject(), old);
        const auto found = harness::asUser(*m_sandbox, "GET",
                                           "/v1/links/search?limit=10&term=example.org/history");
        bool newOne = false;
        for (const QJsonValue &link : found.json().toArray())
            newOne = newOne || (link.toObject().value("slashtag").toString() == slashtag &&
                                link.toObject().value("id") != old.value("id"));
        QCOMPARE(newOne, made);
        // A refused creation sends no deletion at all.
        QCOMPARE(sent("/v1/links/", "DELETE").isEmpty(), !(request == "replace" && newOne));
    }

    void backgroundTasks_data()
    {
        QTest::addColumn<QString>("first");     // the id queued first
        QTest::addColumn<QJsonObject>("fault"); // on the first domain request
        QTest::addColumn<QStringList>("checked");
        QTest::newRow("one at a time, apart")
            << "wsp-personal" << QJsonObject() << QStringList{"wsp-personal", "wsp-marketing"};
        // The service will refuse it again: the ids behind it go on.
        QTest::newRow("a refused workspace moves on")
            << "wsp-gone" << QJsonObject() << QStringList{"wsp-gone", "wsp-marketing"};
        QTest::newRow("a lost answer keeps it queued")
            << "wsp-personal" << QJsonObject{{"drop", true}} << QStringList();
        // Asked to slow down, it stops there too and asks again only once the time is up.
        QTest::newRow("a 429 waits for the service")
            << "wsp-personal" << QJsonObject{{"status", 429}, {"retryAfter", "30"}, {"times", 1}}
            << QStringList();
    }

    void backgroundTasks()
    {
        QFETCH(QString, first);
        QFETCH(QJsonObject, fault);
        QFETCH(QStringList, checked);
        if (!fault.isEmpty()) {
            fault.insert("path", "/v1/domains");
            QVERIFY(harness::arm(*m_sandbox, fault));
        }
        const QJsonArray workspaces{
            QJsonObject{{"id", first}, {"name", "First"}, {"type", "classic"}},
            QJsonObject{{"id", "wsp-agency"}, {"name", "Agency"}, {"type", "team"}},
            QJsonObject{{"id", "wsp-marketing"}, {"name", "Marketing"}}};
        // Which workspaces are listed is tst_defaulthelper's; here the queue they start.
        Utils::prepareWorkspaces(workspaces);
        QStringList queued;
        if (checked.isEmpty())
            queued << first << QStringLiteral("wsp-marketing");
        QTRY_COMPARE(
            SettingsStore::shared().stringArrayForKey(Preferences::workspaceIdsListToCheckDomains),
            std::optional<QStringList>(queued));
        QTRY_COMPARE(SettingsStore::shared()
                         .stringArrayForKey(Preferences::workspaceIdsListCheckedDomains)
                         .value_or(QStringList()),
                     checked);
        QTest::qWait(500);
        const QJsonArray asked = sent("/v1/domains");
        // A lost answer ends the loop: nothing is asked about the ids behind it.
        QCOMPARE(harness::header(asked.last().toObject(), "workspace"),
                 std::optional<QString>(checked.isEmpty() ? first : "wsp-marketing"));
        if (fault.contains("status")) {
            BackgroundTasks::run(); // as a fresh workspace list would
            QTest::qWait(500);
            QCOMPARE(sent("/v1/domains").size(), 1);
            QCOMPARE(m_platform->userNotifications.history().size(), 1);
            m_clock->advance(30'000);
            BackgroundTasks::run();
            QTRY_COMPARE(sent("/v1/domains").size(), 2);
        }
        if (!checked.isEmpty()) {
            QCOMPARE(asked.size(), 2);
            const auto at = [&](qsizetype k) {
                return QDateTime::fromString(asked.at(k).toObject().value("time").toString(),
                                             Qt::ISODateWithMs);
            };
            QVERIFY2(at(0).msecsTo(at(1)) >= 280,
                     qPrintable(QString::number(at(0).msecsTo(at(1)))));
            const QStringList names = SettingsStore::shared()
                                          .stringArrayForKey(Preferences::domainNames)
                                          .value_or(QStringList());
            QVERIFY(names.contains("go.acme-demo.com"));
            QCOMPARE(names.contains("dana.plain-demo.net"), first == "wsp-personal");
            QCOMPARE(m_log->contains("workspace refused, moving on: wsp-gone"),
                     first == "wsp-gone");
        }
    }
};

QTEST_MAIN(RebrandPipelineTest)
#include "tst_rebrandpipeline.moc"
