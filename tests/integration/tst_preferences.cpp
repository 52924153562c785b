// The preferences window, its general and account panes and the about pane, against the
// sandbox service for every answer they read.
#include "App/ViewControllerFactory.h"
#include "Controllers/ControllerRegistry.h"
#include "Controllers/LinkForms/NewLink2Controller.h"
#include "Controllers/Preferences/AboutController.h"
#include "Controllers/Preferences/PreferencesAccountController.h"
#include "Controllers/Preferences/PreferencesGeneralController.h"
#include "Controllers/Preferences/PreferencesWindowController.h"
#include "ServiceHarness.h"
#include "Services/Domain.h"
#include "Views/WindowNoTitleBar.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>

using namespace Costants;
using namespace Costants::Preferences;

namespace {

QComboBox *combo(QWidget *pane, const char *name)
{
    return pane->findChild<QComboBox *>(QLatin1String(name));
}

QStringList itemsOf(QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

QJsonArray jsonArray(const char *text)
{
    return QJsonDocument::fromJson(text).array();
}

// Opens the pop-up with a click and clicks the row, as a user picks.
void choose(QComboBox *box, int row)
{
    QTest::mouseClick(box, Qt::LeftButton);
    QAbstractItemView *view = box->view();
    QTRY_VERIFY(view->isVisible());
    // A release right after the opening press would count as that press's own.
    QTest::qWait(QApplication::doubleClickInterval());
    const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
    QTest::mouseMove(view->viewport(), at); // the row under the pointer is the current one
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTRY_VERIFY(!view->isVisible());
}

// A click on the box of a check box, at its left end.
void tick(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

} // namespace

class PreferencesTest : public QObject
{
    Q_OBJECT

private:
    void setOnline(bool online) { m_client->m_reachability->report(online); }
    [[nodiscard]] qsizetype accountRequests()
    {
        const QJsonArray all = harness::requests(*m_sandbox, QStringLiteral("/v1/account"), "GET");
        return std::count_if(all.begin(), all.end(), [](const QJsonValue &request) {
            return request.toObject().value("path") == QLatin1String("/v1/account");
        });
    }

    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<ServiceClient> m_client;
    std::unique_ptr<TestEnvironment> m_environment;
    FakePlatform *m_platform = nullptr;

private slots:
    void initTestCase()
    {
        m_sandbox = std::make_unique<SandboxProcess>();
        QVERIFY2(m_sandbox->isRunning(), qPrintable(m_sandbox->startError()));
        // One client for the whole run: the shared token exchange keeps the first one it sees.
        m_client = std::make_unique<ServiceClient>();
        m_client->makeClient(m_sandbox->baseUrl());
    }
    void init()
    {
        m_environment = std::make_unique<TestEnvironment>();
        m_platform = &FakePlatform::installNew();
        ControllerRegistry::registerAll(); // a test may have put counting creators in
        QVERIFY(m_sandbox->control("POST", QStringLiteral("/__sandbox/reset")).status == 200);
        setOnline(true);
    }
    void cleanup() { m_environment.reset(); }
    // The pane shows what the store holds, rewrites nothing on load, and a choice writes the
    // key at once.
    void generalPane_data()
    {
        QTest::addColumn<QString>("slashtag"); // empty: absent
        QTest::addColumn<int>("slashtagPosition");
        QTest::addColumn<QString>("slashtagStored");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<int>("rulePosition");
        QTest::addColumn<int>("choice"); // the rule chosen then
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("defaultsShown");
        QTest::newRow("first run")
            << "" << 1 << "qv-option-slashtag-random"
            << "qv-option-autoRebrand" << 1 << 3 << "qv-option-doNothing" << false;
        QTest::newRow("unknown values")
            << "qv-option-slashtag-longest" << 1 << "qv-option-slashtag-random"
            << "qv-option-sometimes" << -1 << 1 << "qv-option-autoRebrand" << true;
        QTest::newRow("known values")
            << "qv-option-slashtag-suggested-dash" << 3 << "qv-option-slashtag-suggested-dash"
            << "qv-option-dialogueBox" << 4 << 1 << "qv-option-autoRebrand" << true;
    }
    void generalPane()
    {
        QFETCH(QString, slashtag);
        QFETCH(int, slashtagPosition);
        QFETCH(QString, slashtagStored);
        QFETCH(QString, rule);
        QFETCH(int, rulePosition);
        QFETCH(int, choice);
        QFETCH(QString, chosen);
        QFETCH(bool, defaultsShown);
        setOnline(false);
        SettingsStore &store = SettingsStore::shared();
        if (!slashtag.isEmpty())
            store.setString(optionSlashtagRebrand, slashtag);
        store.setString(optionActive, rule);
        store.setBool(startup, true);
        store.setBool(automaticCopy, false);
        PreferencesGeneralController pane;
        pane.show();
        QCOMPARE(combo(&pane, "slashtagOptions")->currentIndex(), slashtagPosition);
        QCOMPARE(store.stringForKey(optionSlashtagRebrand), std::optional(slashtagStored));
        QCOMPARE(combo(&pane, "rebrandOptionList")->currentIndex(), rulePosition);
        QCOMPARE(store.stringForKey(optionActive), std::optional(rule));
        QVERIFY(pane.findChild<QCheckBox *>("checkboxStartup")->isChecked());
        QVERIFY(!pane.findChild<QCheckBox *>("checkboxAutomaticCopy")->isChecked());
        tick(pane.findChild<QCheckBox *>("checkboxAutomaticCopy"));
        QVERIFY(store.boolForKey(automaticCopy));
        // A new rule clears the notifications of the old one and shows or hides its defaults.
        choose(combo(&pane, "rebrandOptionList"), choice);
        QCOMPARE(store.stringForKey(optionActive), std::optional(chosen));
        QCOMPARE(m_platform->userNotifications.removeAllCount(), 1);
        for (const char *name : {"workspaceLabel", "workspaces", "domainLabel", "domains",
                                 "slashtagLabel", "slashtagOptions"})
            QCOMPARE(pane.findChild<QWidget *>(QLatin1String(name))->isVisible(), defaultsShown);
    }
    // The user's own hosts never rebranded: typed, added, refused, removed, and read back.
    void neverRebrandList()
    {
        setOnline(false);
        SettingsStore &store = SettingsStore::shared();
        store.setStringArray(neverRebrandHosts, {"example.com"});
        PreferencesGeneralController pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        auto *list = pane.findChild<QListWidget *>("neverRebrandList");
        auto *input = pane.findChild<QLineEdit *>("neverRebrandInput");
        auto *add = pane.findChild<QPushButton *>("neverRebrandAdd");
        auto *remove = pane.findChild<QPushButton *>("neverRebrandRemove");
        const auto shown = [list] {
            QStringList rows;
            for (int row = 0; row < list->count(); ++row)
                rows.append(list->item(row)->text());
            return rows;
        };
        QCOMPARE(shown(), QStringList{"example.com"});
        QVERIFY(!add->isEnabled() && !remove->isEnabled());
        QTest::keyClicks(input, " *.Corp.Example. ");
        QVERIFY(add->isEnabled());
        QTest::mouseClick(add, Qt::LeftButton);
        QCOMPARE(shown(), (QStringList{"example.com", "*.corp.example"}));
        QCOMPARE(store.stringArrayForKey(neverRebrandHosts),
                 std::optional(QStringList{"example.com", "*.corp.example"}));
        QVERIFY(input->text().isEmpty());
        // No host, and one already listed, add nothing.
        QTest::keyClicks(input, "wiki/page");
        QVERIFY(!add->isEnabled());
        QTest::keyClick(input, Qt::Key_Return);
        input->selectAll();
        QTest::keyClick(input, Qt::Key_Backspace);
        QTest::keyClicks(input, "EXAMPLE.com");
        QTest::keyClick(input, Qt::Key_Return);
        QCOMPARE(shown(), (QStringList{"example.com", "*.corp.example"}));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        QVERIFY(remove->isEnabled());
        QTest::mouseClick(remove, Qt::LeftButton);
        QCOMPARE(shown(), QStringList{"*.corp.example"});
        QCOMPARE(store.stringArrayForKey(neverRebrandHosts),
                 std::optional(QStringList{"*.corp.example"}));
        SettingsStore::reopenAll();
        PreferencesGeneralController again;
        QCOMPARE(again.findChild<QListWidget *>("neverRebrandList")->item(0)->text(),
                 QStringLiteral("*.corp.example"));
    }

    // The automatic domain is always one of the automatic workspace's domains: a stored one of
    // another workspace gives way, and a late answer for a workspace no longer chosen is dropped.
    void workspacesAndDomainsFromTheService()
    {
        harness::storeIssuedToken(*m_sandbox);
        SettingsStore &store = SettingsStore::shared();
        store.setData(domainObjectAutoReplace, Domain{"acme.link", "dom-acme-link"}.encoded());
        PreferencesGeneralController pane;
        pane.show();
        QComboBox *workspaces = combo(&pane, "workspaces");
        QComboBox *domains = combo(&pane, "domains");
        // The team workspace is no place for automatic links.
        QTRY_COMPARE(itemsOf(workspaces), (QStringList{"Archive", "Marketing", "Personal"}));
        QCOMPARE(workspaces->currentText(), QStringLiteral("Personal")); // the service's default
        QTRY_COMPARE(itemsOf(domains), (QStringList{"quorv.link", "dana.plain-demo.net"}));
        QCOMPARE(Domain::decode(store.objectForKey(domainObjectAutoReplace))->id,
                 QStringLiteral("dom-quorv-link"));
        // Marketing's domains are slow; before they come the user moves on to Archive.
        QVERIFY(
            harness::arm(*m_sandbox, {{"path", "/v1/domains"}, {"delayMs", 1000}, {"times", 1}}));
        workspaces->setFocus();
        QTest::keyClick(workspaces, Qt::Key_Up);
        QCOMPARE(store.dictionaryForKey(workspaceObjectAutoReplace)->value("id"),
                 QVariant("wsp-marketing"));
        // The old workspace's domain is gone before the new domains arrive.
        QVERIFY(!store.contains(domainObjectAutoReplace));
        QTest::keyClick(workspaces, Qt::Key_Up);
        QTRY_COMPARE(itemsOf(domains), QStringList{"arch.quorv.link"});
        QTest::qWait(1500); // Marketing's late answer has come and gone
        QCOMPARE(itemsOf(domains), QStringList{"arch.quorv.link"});
        QCOMPARE(Domain::decode(store.objectForKey(domainObjectAutoReplace))->id,
                 QStringLiteral("dom-archive"));
        // A failed request empties the pop-up and keeps the records.
        QVERIFY(harness::arm(*m_sandbox, {{"path", "/v1/domains"}, {"status", 500}}));
        QTest::keyClick(workspaces, Qt::Key_Down);
        QTRY_COMPARE(domains->count(), 0);
        QCOMPARE(pane.domainsList().size(), 1);
    }
    void fillLists_data()
    {
        QTest::addColumn<bool>("workspaces"); // else domains
        QTest::addColumn<QJsonArray>("answer");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("chosenId");
        QTest::newRow("same names")
            << true << jsonArray(R"([{"name":"Team","id":"abcdefgh1234"},
            {"name":"Team","id":"zyxwvuts9876"},{"name":"Team","id":"short"}])")
            << QStringList{"Team", "Team (zyxwvuts... )", "Team (short... )"} << "abcdefgh1234";
        QTest::newRow("other types") << true << jsonArray(R"([{"name":"A","id":"a1","type":"team"},
            {"name":"B","id":"b1","type":"classic"},{"name":"C","id":"c1"},
            {"name":"D","id":"d1","type":null}])")
                                     << QStringList{"B", "C"} << "b1";
        QTest::newRow("unusable") << true << jsonArray(R"([{"id":"x1"},{"name":7,"id":"x2"},
            {"name":"No id"},{"name":"Empty id","id":""},{"name":"Number id","id":5},
            {"name":"Fine","id":"f1"}])")
                                  << QStringList{"Fine"} << "f1";
        QTest::newRow("none usable")
            << true << jsonArray(R"([{"name":"No id"}])") << QStringList{} << "";
        QTest::newRow("active domains")
            << false << jsonArray(R"([{"fullName":"a.link","id":"1","active":true},
            {"fullName":"b.link","id":"2","active":false},{"fullName":"c.link","id":"3"},
            {"fullName":"d.link","id":"4","active":"true"},{"fullName":"e.link","active":true},
            {"id":"6","active":true},{"fullName":"g.link","id":"7","active":true}])")
            << QStringList{"a.link", "g.link"} << "wsp-personal";
        QTest::newRow("no domains") << false << QJsonArray() << QStringList{} << "wsp-personal";
    }
    // Each answer comes from the service, in place of its own.
    void fillLists()
    {
        QFETCH(bool, workspaces);
        QFETCH(QJsonArray, answer);
        QFETCH(QStringList, titles);
        QFETCH(QString, chosenId);
        const QString path = workspaces ? "/v1/workspaces" : "/v1/domains";
        harness::storeIssuedToken(*m_sandbox);
        QVERIFY(harness::arm(*m_sandbox, {{"path", path}, {"status", 200}, {"body", answer}}));
        PreferencesGeneralController pane;
        QTRY_VERIFY(!harness::requests(*m_sandbox, path).isEmpty());
        QTest::qWait(200); // and handled
        QCOMPARE(itemsOf(combo(&pane, workspaces ? "workspaces" : "domains")), titles);
        QCOMPARE(workspaces ? pane.workspacesList().size() : pane.domainsList().size(),
                 titles.size());
        const std::optional<QVariantMap> stored =
            SettingsStore::shared().dictionaryForKey(workspaceObjectAutoReplace);
        QCOMPARE(stored ? stored->value("id").toString() : QString(), chosenId);
    }
    // The window by keyboard alone: it opens on the toolbar's selected item, the arrows move
    // between the items, Enter and Space build a fresh pane, Tab goes on into the pane, whose
    // pop-ups are spoken by their label; the account pane's "Sign out" signs out as the
    // settings menu does and ends the run. Meanwhile other windows take input.
    void windowByKeyboard()
    {
        harness::storeIssuedToken(*m_sandbox);
        SettingsStore::shared().setString(fullName, "Kim");
        QStringList created;
        for (const QString &identifier : {QStringLiteral("PreferencesGeneralController"),
                                          QStringLiteral("PreferencesAccountController")}) {
            ViewControllerFactory::registerCreator(identifier, [identifier, &created] {
                created.append(identifier.mid(11, 7));
                return identifier.contains("General")
                           ? std::unique_ptr<QObject>(
                                 std::make_unique<PreferencesGeneralController>())
                           : std::unique_ptr<QObject>(
                                 std::make_unique<PreferencesAccountController>());
            });
        }
        PostCounter logout(NotificationViews::logout);
        PreferencesWindowController window;
        QCOMPARE(window.toolbarSelectableItemIdentifiers(), (QStringList{"general", "account"}));
        QCOMPARE(window.selectedItemIdentifier(), QStringLiteral("general"));
        QVERIFY(qobject_cast<PreferencesGeneralController *>(window.contentViewController()));
        QStringList walk;
        QString spoken;
        bool typed = false;
        QTimer::singleShot(0, &window, [&] {
            const auto press = [&window, &walk](Qt::Key key) {
                QTest::keyClick(window.focusWidget(), key);
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                walk.append(window.focusWidget()->objectName() + ' ' +
                            window.selectedItemIdentifier());
            };
            for (Qt::Key key : {Qt::Key_Right, Qt::Key_Return, Qt::Key_Left, Qt::Key_Space,
                                Qt::Key_Space, Qt::Key_Tab, Qt::Key_Tab})
                press(key);
            QComboBox *workspaces = combo(window.contentViewController(), "workspaces");
            QTRY_VERIFY(workspaces->count() > 0); // from the service
            const QAccessibleInterface *popUp = QAccessible::queryAccessibleInterface(workspaces);
            spoken = popUp->text(QAccessible::Name) + ": " + popUp->text(QAccessible::Value);
            NewLink2Controller form;
            form.show();
            QTest::keyClicks(form.findChild<QLineEdit *>("textDestination"), "example.org");
            typed = form.findChild<QLineEdit *>("textDestination")->text() == "example.org" &&
                    window.isVisible() && !QApplication::activeModalWidget();
            for (Qt::Key key : {Qt::Key_Backtab, Qt::Key_Enter, Qt::Key_Tab, Qt::Key_Tab})
                press(key);
            QTest::keyClick(window.focusWidget(), Qt::Key_Return);
        });
        window.runModal();
        QCOMPARE(walk, (QStringList{
                           "accountItem general", "accountItem account", "generalItem account",
                           "generalItem general", "generalItem general", "accountItem general",
                           "checkboxStartup general", "accountItem general", "accountItem account",
                           "openDashboardButton account", "signOutButton account"}));
        QCOMPARE(created, (QStringList{"General", "Account", "General", "General", "Account"}));
        QCOMPARE(spoken, QStringLiteral("Default workspace: Personal"));
        QVERIFY(typed);
        QVERIFY(!window.isVisible());
        QCOMPARE(logout.count, 1);
        QVERIFY(!SettingsStore::shared().contains(fullName));
    }
    void accountPane_data()
    {
        QTest::addColumn<QString>("storedName");
        QTest::addColumn<int>("tokenSeconds"); // lifetime of the stored token
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("email");
        QTest::addColumn<int>("requests");
        QTest::newRow("name without e-mail") << "Kim" << 3600 << "Kim"
                                             << "Your e-mail address" << 0;
        QTest::newRow("fetched once") << "" << 3600 << "Dana Demo"
                                      << "demo@quorvella.test" << 1;
        QTest::newRow("expired token") << "" << -60 << "Your name"
                                       << "Your e-mail address" << 0;
        // Shown as the words they are, cut with "…" when too long, whole in the tooltip.
        const QString markup = "<b>Kim</b> & <i>" + QString(120, 'o') + "</i>";
        QTest::newRow("markup, too long") << markup << 3600 << markup << "Your e-mail address" << 0;
    }
    void accountPane()
    {
        QFETCH(QString, storedName);
        QFETCH(int, tokenSeconds);
        QFETCH(QString, name);
        QFETCH(QString, email);
        QFETCH(int, requests);
        harness::storeIssuedToken(*m_sandbox, tokenSeconds);
        if (!storedName.isEmpty())
            SettingsStore::shared().setString(fullName, storedName);
        const qsizetype refreshesBefore =
            harness::requests(*m_sandbox, QStringLiteral("/connect/token")).size();
        {
            PreferencesAccountController pane;
            pane.resize(360, 220);
            pane.show();
            QTRY_COMPARE(pane.username(), name);
            auto *label = pane.findChild<QLabel *>("usernameLabel");
            QCOMPARE(label->textFormat(), Qt::PlainText);
            if (name.size() > 100) {
                QVERIFY(label->text().endsWith(QChar(0x2026)));
                const QString tip = label->toolTip();
                QCOMPARE(Qt::mightBeRichText(tip)
                             ? QTextDocumentFragment::fromHtml(tip).toPlainText()
                             : tip,
                         name);
            }
            QCOMPARE(pane.email(), email);
            QTest::mouseClick(pane.findChild<QPushButton *>("openDashboardButton"), Qt::LeftButton);
            QTest::qWait(300);
            QCOMPARE(accountRequests(), requests);
        }
        if (requests) {
            PreferencesAccountController again; // from the store now
            QCOMPARE(again.username(), name);
            QCOMPARE(SettingsStore::shared().stringForKey(Preferences::email),
                     std::optional(email));
            QTest::qWait(200);
            QCOMPARE(accountRequests(), requests);
        }
        QCOMPARE(harness::requests(*m_sandbox, QStringLiteral("/connect/token")).size() -
                     refreshesBefore,
                 tokenSeconds < 0 ? 1 : 0);
        QCOMPARE(m_platform->fakeWorkspace.opened.first().toString(),
                 Config::current().dashboardHost.toString() + "/account/settings");
    }
    void aboutPaneCheck_data()
    {
        QTest::addColumn<QString>("running");
        QTest::addColumn<QByteArray>("document"); // empty: unreachable
        QTest::addColumn<QString>("message");
        QTest::newRow("newer minor")
            << "1.4.9" << QByteArray(R"({"macos":{"version":{"major":1,"minor":5}}})")
            << "You need to update your Quorvella app";
        QTest::newRow("current") << "1.5.0"
                                 << QByteArray(R"({"macos":{"version":{"major":1,"minor":5}}})")
                                 << "Your Quorvella app is up to date - 1.5.0";
        QTest::newRow("unreachable")
            << "3.0.1" << QByteArray() << "Your Quorvella app is up to date - 0.1.0";
        QTest::newRow("text major")
            << "1.0.0" << QByteArray(R"({"macos":{"version":{"major":"2","minor":0}}})")
            << "Your Quorvella app is up to date - 0.1.0";
        QTest::newRow("one-piece version")
            << "3" << QByteArray(R"({"macos":{"version":{"major":9,"minor":0}}})")
            << "Your Quorvella app is up to date - 0.1.0";
    }
    void aboutPaneCheck()
    {
        QFETCH(QString, running);
        QFETCH(QByteArray, document);
        QFETCH(QString, message);
        const SandboxProcess::Reply armed =
            document.isEmpty()
                ? m_sandbox->control("POST", QStringLiteral("/__sandbox/faults"),
                                     QJsonObject{{"path", "/plugins"}, {"drop", true}})
                : m_sandbox->control("POST", QStringLiteral("/__sandbox/documents/plugins"),
                                     QJsonDocument::fromJson(document).object());
        QCOMPARE(armed.status, 200);
        m_platform->bundleInfo.version = running;
        auto *window = new WindowNoTitleBar(std::make_unique<AboutController>());
        QPointer<WindowNoTitleBar> guard(window);
        window->show();
        auto *about = qobject_cast<AboutController *>(window->contentViewController());
        QCOMPARE(about->versionText(), "version " + running + "d");
        QVERIFY(about->view()->findChild<QLabel *>("websiteLink")->isVisible());
        QTest::mouseClick(about->view()->findChild<QPushButton *>("checkUpdatesButton"),
                          Qt::LeftButton);
        QTRY_COMPARE(m_platform->alertPresenter.shown().size(), 1);
        const Alert shown = m_platform->alertPresenter.shown().first();
        QCOMPARE(shown.message, message);
        QCOMPARE(shown.informativeText, QStringLiteral("Thanks for using Quorvella"));
        QCOMPARE(shown.buttons, (QStringList{"OK", "Cancel"}));
        // Only the update alert's "OK" opens the download page.
        QCOMPARE(m_platform->fakeWorkspace.opened, message.startsWith("You need")
                                                       ? QList<QUrl>{Config::current().downloadPage}
                                                       : QList<QUrl>{});
        QVERIFY(window->isOpen());
        window->close();
        QTRY_VERIFY(!guard);
    }
};

QTEST_MAIN(PreferencesTest)
#include "tst_preferences.moc"
