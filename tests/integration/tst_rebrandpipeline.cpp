// The rebrand pipeline against the sandbox: a copied URL becomes a link, with the options,
// the duplicate check and its dialogues, the slashtag strategies and the notifications.

#include "ServiceHarness.h"
#include "Services/Domain.h"
#include "Utils/BackgroundTasks.h"
#include "Utils/LinkHandler.h"
#include "Utils/Utils.h"

#include <QElapsedTimer>

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
    void options_data()
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

    void options()
    {
        QFETCH(QString, option);
        QFETCH(int, answer);
        QFETCH(int, links);
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
        QTEST(int(m_platform->alertPresenter.shown().size()), "dialogues");
        QCOMPARE(form.count, formOpened ? 1 : 0);
        if (formOpened)
            QCOMPARE(SettingsStore::shared().stringForKey(Preferences::newDestination),
                     std::optional<QString>(url));
        if (!links && !formOpened)
            QCOMPARE(sent("/v1/recommendation-system").size(), 0);
        if (links) {
            const QJsonObject body = harness::body(created.at(0));
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
            // Its click opens the editor in the workspace the link was made in.
            QCOMPARE(shown.at(0).userInfo.value(NotificationInfos::workspaceIdKey),
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
        QTest::newRow("unknown") << "qv-option-slashtag-whatever" << random;
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

    void duplicateDialogues_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("plainDomain");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("links");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("workspace"); // the default one; empty: none stored
        using namespace Preferences::OptionsRebrand;
        const QString url = "https://duplicate.example.org/page";
        const QString personal = "wsp-personal";
        QTest::newRow("A copy existing, https")
            << autoRebrand << false << 1000 << 0 << 2 << url << personal;
        QTest::newRow("A copy existing, no https")
            << autoRebrand << true << 1000 << 0 << 2 << url << personal;
        QTest::newRow("A rebrand again")
            << autoRebrand << false << 1001 << 1 << 2 << url << personal;
        QTest::newRow("B copy existing")
            << dialogueBox << false << 1000 << 0 << 2 << url << personal;
        QTest::newRow("C copy existing")
            << notification << false << 1000 << 0 << 3 << url << personal;
        QTest::newRow("C rebrand again")
            << notification << false << 1001 << 1 << 3 << url << personal;
        QTest::newRow("C cancel") << notification << false << 1002 << 0 << 3 << url << personal;
        // The whole destination must reach the search.
        QTest::newRow("query with & and =")
            << autoRebrand << false << 1000 << 0 << 2 << "https://shop.example.org/p?id=7&ref=mail"
            << personal;
        QTest::newRow("plus and hash")
            << autoRebrand << false << 1000 << 0 << 2 << "https://example.org/a+b#frag" << personal;
        QTest::newRow("no default workspace")
            << autoRebrand << false << 1000 << 0 << 2 << "https://example.org/nowid" << QString();
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
        QTEST(int(shown.buttons.size()), "buttons");
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
        if (answer == 1000) {
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

    void afterCreation_data()
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

    void afterCreation()
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
                "https://example.org/form", std::nullopt, QString(),
                m_domain.value("id").toString(), QString("wsp-personal"),
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

    void refusedForm_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<bool>("offline");
        QTest::addColumn<QString>("error"); // property|message given to the form
        const QString taken = "slashtag|Slashtag already taken";
        const QString offline = "|" + LocalNotification::offlineMessage;
        QTest::newRow("update, taken") << "update" << false << taken;
        QTest::newRow("creation, offline") << "create" << true << offline;
        QTest::newRow("replacement, offline") << "replace" << true << offline;
        QTest::newRow("update, offline") << "update" << true << offline;
    }

    void refusedForm()
    {
        QFETCH(QString, request);
        QFETCH(bool, offline);
        QFETCH(QString, error);
        const QString domainId = m_domain.value("id").toString();
        const QString linkId = create("https://example.org/kept", m_domain).value("id").toString();
        QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/requests").status, 200);
        m_reachability->report(!offline);
        PostCounter reset(NotificationViews::resetListLinks);
        PostCounter toggle(NotificationViews::togglePopover);
        QStringList errors;
        const auto onError = [&errors](const QString &property, const QString &message) {
            errors.append(property + QLatin1Char('|') + message);
        };
        const QString slashtag = offline ? "offline-new" : "welcome";
        if (request == QLatin1String("create"))
            Utils::createLink("https://example.org/new", QString("Title"), slashtag, domainId,
                              QString("wsp-personal"), onError);
        else if (request == QLatin1String("replace"))
            Utils::replaceLink(linkId, "https://example.org/kept", slashtag, domainId, "Title",
                               QString("wsp-personal"), onError);
        else
            Utils::updateLink(linkId, "https://example.org/kept", slashtag, domainId, "Title",
                              QString("wsp-personal"), onError);
        // The form stays open with its values and the user is told why.
        QTRY_COMPARE(errors, QStringList{error});
        QTest::qWait(200);
        QCOMPARE(errors.size(), 1);
        QCOMPARE(reset.count, 0);
        QCOMPARE(toggle.count, 0);
        QVERIFY(m_platform->fakePasteboard.writes().isEmpty());
        if (offline) {
            const auto shown = m_platform->userNotifications.delivered();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.at(0).title, LocalNotification::errorTitle);
            QCOMPARE(sent().size(), 0); // nothing was sent
        }
    }

    void replacement_data()
    {
        QTest::addColumn<QString>("slashtag");
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("error"); // property|message given to the form
        QTest::addColumn<bool>("oldKept");
        QTest::addColumn<bool>("newMade");
        QTest::addColumn<QString>("notification"); // text of the one shown
        const QString kept =
            LocalNotification::oldLinkKeptMessage + LocalNotification::errorTryLater;
        QTest::newRow("replaced") << "replaced-tag" << QJsonObject() << QString() << false << true
                                  << "https://quorv.link/replaced-tag";
        // Shown at the slashtag field alone, without a generic "Try later" notification.
        QTest::newRow("creation refused")
            << "welcome" << QJsonObject() << "slashtag|Slashtag already taken" << true << false
            << QString();
        QTest::newRow("deletion refused")
            << "replaced-tag"
            << QJsonObject{{"method", "DELETE"}, {"path", "/v1/links/*"}, {"status", 500}}
            << QString() << true << true << kept;
        QTest::newRow("deletion unanswered")
            << "replaced-tag"
            << QJsonObject{{"method", "DELETE"}, {"path", "/v1/links/*"}, {"drop", true}}
            << QString() << true << true << kept;
    }

    void replacement()
    {
        QFETCH(QString, slashtag);
        QFETCH(QJsonObject, fault);
        QFETCH(QString, error);
        QFETCH(bool, oldKept);
        QFETCH(bool, newMade);
        QFETCH(QString, notification);
        const QString domainId = m_domain.value("id").toString();
        const QJsonObject old = create("https://example.org/history", m_domain);
        if (!fault.isEmpty())
            QVERIFY(harness::arm(*m_sandbox, fault));
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
        const auto stillThere =
            harness::asUser(*m_sandbox, "GET", "/v1/links/" + old.value("id").toString());
        QCOMPARE(stillThere.status, oldKept ? 200 : 404);
        if (oldKept)
            QCOMPARE(stillThere.json().toObject(), old);
        const auto found = harness::asUser(*m_sandbox, "GET",
                                           "/v1/links/search?limit=10&term=example.org/history");
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
        if (!checked.isEmpty()) {
            QCOMPARE(asked.size(), 2);
            const auto at = [&](qsizetype k) {
                return QDateTime::fromString(asked.at(k).toObject().value("time").toString(),
                                             Qt::ISODateWithMs);
            };
            QVERIFY2(at(0).msecsTo(at(1)) >= 280,
                     qPrintable(QString::number(at(0).msecsTo(at(1)))));
            QCOMPARE(harness::header(asked.at(1).toObject(), "workspace"),
                     std::optional<QString>("wsp-marketing"));
            const QStringList names = SettingsStore::shared()
                                          .stringArrayForKey(Preferences::domainNames)
                                          .value_or(QStringList());
            QVERIFY(names.contains("go.acme-demo.com"));
            QCOMPARE(names.contains("dana.plain-demo.net"), first == "wsp-personal");
            QCOMPARE(m_log->contains("workspace refused, moving on: wsp-gone"),
                     first == "wsp-gone");
        }
    }

    void creationFaults_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<bool>("duplicateCheck");
        QTest::addColumn<int>("linksSent");
        QTest::addColumn<QString>("shown"); // the title on screen afterwards, empty: none
        QTest::addColumn<QString>("body");  // what the link's body then lacks or holds
        const auto on = [](const char *method, const QString &path, QJsonObject fault) {
            fault.insert("method", method);
            fault.insert("path", path);
            return fault;
        };
        QTest::newRow("creation answers 500")
            << on("POST", "/v1/links", {{"status", 500}}) << false << 1 << "Oooops!" << QString();
        // A creation whose connection closes without an answer is not sent again: the service
        // may have made the link already.
        QTest::newRow("creation dropped")
            << on("POST", "/v1/links", {{"drop", true}}) << false << 1 << QString() << QString();
        QTest::newRow("creation garbled") << on("POST", "/v1/links", {{"malformedJson", true}})
                                          << false << 1 << QString() << QString();
        QTest::newRow("creation slow") << on("POST", "/v1/links", {{"delayMs", 400}}) << false << 1
                                       << "Link rebranded ✨" << QString();
        QTest::newRow("search fails: no duplicate")
            << on("GET", "/v1/links/search", {{"status", 503}}) << true << 1 << "Link rebranded ✨"
            << QString();
        QTest::newRow("search dropped: no duplicate")
            << on("GET", "/v1/links/search", {{"drop", true}}) << true << 1 << "Link rebranded ✨"
            << QString();
        QTest::newRow("search unauthorized ends the chain")
            << on("GET", "/v1/links/search", {{"status", 401}}) << true << 0 << QString()
            << QString();
        // The client signs out and says so; no link follows.
        QTest::newRow("title unauthorized ends the chain")
            << on("POST", API::titleRecommendPath, {{"status", 401}}) << false << 0 << "Oooops!"
            << QString();
        // Without a usable proposal the link goes out without a slashtag, or under its URL.
        const QString made = "Link rebranded ✨";
        QTest::newRow("empty slashtag list")
            << on("POST", API::slashtagRecommendPath,
                  {{"status", 200}, {"body", QJsonObject{{"recommendations", QJsonArray()}}}})
            << false << 1 << made << "no slashtag";
        QTest::newRow("slashtag service down")
            << on("POST", API::slashtagRecommendPath, {{"status", 503}}) << false << 1 << made
            << "no slashtag";
        QTest::newRow("slashtag answer garbled")
            << on("POST", API::slashtagRecommendPath, {{"malformedJson", true}}) << false << 1
            << made << "no slashtag";
        QTest::newRow("title dropped") << on("POST", API::titleRecommendPath, {{"drop", true}})
                                       << false << 1 << made << "title is the URL";
        QTest::newRow("title mistyped")
            << on("POST", API::titleRecommendPath, {{"mistypedJson", true}}) << false << 1 << made
            << "title is the URL";
    }

    void creationFaults()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(bool, duplicateCheck);
        QFETCH(int, linksSent);
        QFETCH(QString, shown);
        QFETCH(QString, body);
        QVERIFY(harness::arm(*m_sandbox, fault));
        SettingsStore::shared().setBool(Preferences::skipDuplicateCheck, !duplicateCheck);
        const QString url = "https://example.org/faults";
        copy(url);
        if (linksSent)
            QTRY_VERIFY(!sent("/v1/links", "POST").isEmpty());
        QTest::qWait(600);
        const QJsonArray posts = sent("/v1/links", "POST");
        QCOMPARE(posts.size(), linksSent);
        if (!body.isEmpty()) {
            const QJsonObject link = harness::body(posts.at(0));
            QCOMPARE(link.contains("slashtag"), body != "no slashtag");
            QCOMPARE(link.value("title").toString() == url, body == "title is the URL");
        }
        const auto delivered = m_platform->userNotifications.delivered();
        QCOMPARE(delivered.isEmpty() ? QString() : delivered.last().title, shown);
        const bool created = shown.startsWith("Link rebranded");
        QCOMPARE(m_platform->fakePasteboard.writes().size(), created ? 1 : 0);
        QVERIFY(m_platform->alertPresenter.shown().isEmpty());
    }
};

QTEST_MAIN(RebrandPipelineTest)
#include "tst_rebrandpipeline.moc"
