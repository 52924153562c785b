// The new-link and edit-link forms and their domain pickers, driven through their widgets
// against the sandbox.

#include "Controllers/LinkForms/Domains2Controller.h"
#include "Controllers/LinkForms/EditLinkController.h"
#include "Controllers/LinkForms/LinkFormDomains.h"
#include "Controllers/LinkForms/NewLink2Controller.h"
#include "ServiceHarness.h"
#include "Services/Domain.h"
#include "Views/Popover.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkReply>
#include <QPushButton>

using namespace Costants;

class LinkFormsTest : public ServiceTest
{
    Q_OBJECT

private:
    template<typename T = QWidget>
    [[nodiscard]] static T *child(QWidget *form, const QString &name)
    {
        return form->findChild<T *>(name);
    }
    // Opens the form's domain picker with its button and clicks the row at this index.
    static void pickDomain(LinkFormView *form, int row)
    {
        QTest::mouseClick(child<QPushButton>(form, "textDomain"), Qt::LeftButton);
        QVERIFY(form->domains()->picker());
        QTest::mouseClick(form->domains()->picker()->row(row)->findChild<QPushButton *>(),
                          Qt::LeftButton);
    }
    // Keeps a picture of the view in one of its states under the build folder.
    static void snap(QWidget *view, const QString &name)
    {
        const QString folder = QStringLiteral(QUORVELLA_BINARY_DIR "/../screenshots");
        QDir().mkpath(folder);
        QVERIFY(view->grab().save(folder + QStringLiteral("/form-") + name + ".png"));
    }

    // Opens a form in its popover, as the tray does.
    template<typename Form>
    Form *present(bool external = false)
    {
        auto form = std::make_unique<Form>();
        Form *shown = form.get();
        form->setExternal(external);
        m_popover = std::make_unique<Popover>();
        m_popover->setContentViewController(std::move(form));
        m_popover->show(QRect(900, 0, 24, 24));
        return shown;
    }
    // Replaces a field's text key by key, as the user would.
    static void retype(QLineEdit *field, const QString &text)
    {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }

    void prepare() override
    {
        harness::storeIssuedToken(*m_sandbox);
        SettingsStore &store = SettingsStore::shared();
        store.setString(Preferences::userId, "acc-7d1e2f30");
        store.setDictionary(Preferences::workspaceObjectMainView,
                            {{"id", "wsp-personal"}, {"name", "Personal"}});
        store.setDictionary(Preferences::workspaceObjectAutoReplace, {{"id", "wsp-personal"}});
        store.setData(Preferences::domainObjectAutoReplace,
                      Domain{"quorv.link", "dom-quorv-link"}.encoded());
        store.setBool(Preferences::skipDuplicateCheck, true);
        store.setBool(Preferences::notificationBrandedLink, true);
        QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/requests").status, 200);
    }
    void release() override { m_popover.reset(); }

    std::unique_ptr<Popover> m_popover;

private slots:

    void newLink_data()
    {
        QTest::addColumn<QString>("typed");   // key by key; blanks around it go as they come
        QTest::addColumn<QString>("created"); // the destination created; empty: cannot continue
        QTest::addColumn<bool>("skipCheck");
        QTest::addColumn<bool>("external");
        QTest::newRow("no scheme") << "example.org/page"
                                   << "https://example.org/page" << true << false;
        QTest::newRow("http kept") << "http://example.org/a"
                                   << "http://example.org/a" << true << false;
        QTest::newRow("blanks trimmed") << "  https://example.org/b  "
                                        << "https://example.org/b" << false << false;
        QTest::newRow("external skips the check") << "https://example.org/c"
                                                  << "https://example.org/c" << false << true;
        QTest::newRow("an e-mail address, not a link")
            << "me@example.org" << QString() << true << false;
    }

    void newLink()
    {
        QFETCH(QString, typed);
        QFETCH(QString, created);
        QFETCH(bool, skipCheck);
        QFETCH(bool, external);
        SettingsStore::shared().setBool(Preferences::skipDuplicateCheck, skipCheck);
        auto *form = present<NewLink2Controller>(external);
        QCOMPARE(form->height(), NewLink2Controller::collapsedHeight);
        auto *destination = child<QLineEdit>(form, "textDestination");
        QVERIFY(destination->hasFocus() || !form->isActiveWindow());
        QTest::keyClicks(destination, typed);
        QCOMPARE(destination->text(), typed.trimmed());
        snap(form, QStringLiteral("new-collapsed-") + QTest::currentDataTag());
        QCOMPARE(child<QPushButton>(form, "fakeSubmitBtn")->isEnabled(), !created.isEmpty());
        QTest::keyClick(destination, Qt::Key_Return);
        QCOMPARE(form->isExpanded(), !created.isEmpty());
        if (created.isEmpty())
            return;
        QCOMPARE(form->height(), NewLink2Controller::expandedHeight);
        auto *slug = child<QLineEdit>(form, "textSlug");
        auto *title = child<QLineEdit>(form, "textTitle");
        QTRY_VERIFY(!slug->text().isEmpty() && !title->text().isEmpty());
        snap(form, QStringLiteral("new-expanded-") + QTest::currentDataTag());
        QVERIFY(!slug->isReadOnly());
        QTest::keyClick(title, Qt::Key_Return);
        QTRY_COMPARE(sent("/v1/links", "POST").size(), 1);
        const QJsonObject body = harness::body(sent("/v1/links", "POST").at(0));
        QCOMPARE(body.value("destination").toString(), created);
        QCOMPARE(body.value("slashtag"), QJsonValue(slug->text()));
        // The duplicate check runs unless turned off or the link comes from outside.
        QCOMPARE(sent("/v1/links/search").size(), skipCheck || external ? 0 : 1);
    }

    void domainPicker_data()
    {
        QTest::addColumn<int>("count");         // active domains of the workspace
        QTest::addColumn<QString>("typed");     // into the picker's search; "\b" is Backspace
        QTest::addColumn<int>("shown");         // rows shown then
        QTest::addColumn<int>("row");           // the row clicked
        QTest::addColumn<QString>("chosen");    // empty: the picker does not open
        QTest::addColumn<QString>("workspace"); // of the form; "wsp-personal" is the automatic one
        const QString automatic = "wsp-personal";
        QTest::newRow("1 domain: no picker") << 1 << "" << 0 << 0 << "" << automatic;
        QTest::newRow("5 domains: the plain picker")
            << 5 << "" << 5 << 3 << "abd.test" << automatic;
        QTest::newRow("6 domains: the searchable picker")
            << 6 << "" << 6 << 5 << "abc.org" << automatic;
        QTest::newRow("ab does not filter") << 7 << "ab" << 7 << 2 << "ab.test" << automatic;
        QTest::newRow("abc filters, third row")
            << 7 << "abc" << 3 << 2 << "x.abc.test" << automatic;
        QTest::newRow("return with empty field")
            << 7 << "abc\b\b\b\r" << 7 << 3 << "abd.test" << automatic;
        QTest::newRow("no match shows all")
            << 7 << "abc\b\b\bzzz" << 7 << 4 << "zz.test" << automatic;
        QTest::newRow("shortened text shows all")
            << 7 << "abc\b" << 7 << 1 << "abc.test" << automatic;
        QTest::newRow("another workspace: the automatic domain stays")
            << 5 << "" << 5 << 1 << "abc.test"
            << "wsp-marketing";
    }

    // The domain button opens a plain picker from two domains, a searchable one from six; the
    // row clicked is the form's domain, and the automatic one only in the automatic workspace.
    void domainPicker()
    {
        QFETCH(int, count);
        QFETCH(QString, typed);
        QFETCH(int, shown);
        QFETCH(int, row);
        QFETCH(QString, chosen);
        QFETCH(QString, workspace);
        SettingsStore &store = SettingsStore::shared();
        store.setDictionary(Preferences::workspaceObjectMainView, {{"id", workspace}});
        store.setString(Preferences::newDestination, "https://example.org/domains");
        // A domain whose "active" is no boolean is not offered.
        QJsonArray domains{
            QJsonObject{{"id", "off"}, {"fullName", "off.test"}, {"active", "true"}}};
        for (const char *name :
             {"go.test", "abc.test", "ab.test", "abd.test", "zz.test", "abc.org", "x.abc.test"})
            if (domains.size() <= count)
                domains.append(QJsonObject{
                    {"id", QString("id-") + name}, {"fullName", name}, {"active", true}});
        QVERIFY(harness::arm(
            *m_sandbox,
            {{"method", "GET"}, {"path", "/v1/domains"}, {"status", 200}, {"body", domains}}));
        auto *form = present<NewLink2Controller>();
        QTRY_COMPARE(form->domains()->baseDomains().size(), count);
        QCOMPARE(form->domains()->domainId(), "id-go.test");
        QTest::mouseClick(child<QPushButton>(form, "textDomain"), Qt::LeftButton);
        DomainsController *picker = form->domains()->picker();
        QCOMPARE(QString(picker ? picker->metaObject()->className() : ""),
                 QString(count < 2   ? ""
                         : count < 6 ? "DomainsController"
                                     : "Domains2Controller"));
        if (!picker)
            return;
        if (auto *searchable = qobject_cast<Domains2Controller *>(picker))
            QTest::keyClicks(searchable->textSearch(), typed);
        QCOMPARE(picker->shownDomains().size(), shown);
        snap(picker, QStringLiteral("picker-") + QTest::currentDataTag());
        QTest::mouseClick(picker->row(row)->findChild<QPushButton *>(), Qt::LeftButton);
        QCOMPARE(form->domains()->domainName(), chosen);
        QCOMPARE(form->domains()->domainId(), "id-" + chosen);
        QCOMPARE(Domain::decode(store.objectForKey(Preferences::domainObjectAutoReplace))->id,
                 workspace == "wsp-personal" ? "id-" + chosen : "dom-quorv-link");
    }

    void edit_data()
    {
        QTest::addColumn<QString>("field"); // the one changed
        QTest::addColumn<int>("answer");    // to the question; 0: none asked
        QTest::addColumn<QString>("typed"); // at its end; for the domain, its second row
        QTest::addColumn<QString>("linkId");
        QTest::addColumn<QString>("request"); // update, replace or none
        // Both on quorv.link.
        const QString clicks = "wsp-personal-l002";
        const QString noClicks = "wsp-personal-l000";
        QTest::newRow("title, clicks") << "textTitle" << 0 << "x2" << clicks << "update";
        QTest::newRow("destination, clicks")
            << "textDestination" << 0 << "?v=2" << clicks << "update";
        // The slashtag's blanks become a "-" and a blank left at the end goes.
        QTest::newRow("slashtag, no clicks") << "textSlug" << 0 << " x2 " << noClicks << "replace";
        QTest::newRow("slashtag, clicks, OK")
            << "textSlug" << AlertPresenter::FirstButton << " x2 " << clicks << "replace";
        QTest::newRow("domain, clicks, Cancel")
            << "textDomain" << AlertPresenter::SecondButton << "" << clicks << "none";
    }

    void edit()
    {
        QFETCH(QString, linkId);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(int, answer);
        QFETCH(QString, request);
        SettingsStore::shared().setString(Preferences::editLinkId, linkId);
        if (answer)
            m_platform->alertPresenter.answerWith(answer);
        PostCounter toggle(NotificationViews::togglePopover);
        auto *form = present<EditLinkController>();
        auto *submit = child<QPushButton>(form, "submitBtn");
        QTRY_VERIFY(!child<QLineEdit>(form, "textTitle")->text().isEmpty());
        QTRY_COMPARE(form->domains()->baseDomains().size(), 2);
        QVERIFY(!submit->isVisible());
        if (auto *line = child<QLineEdit>(form, field)) {
            line->setFocus();
            QTest::keyClick(line, Qt::Key_End);
            QTest::keyClicks(line, typed);
        } else {
            pickDomain(form, 1);
        }
        const QString slashtag = child<QLineEdit>(form, "textSlug")->text().trimmed();
        QVERIFY(submit->isVisible());
        snap(form, "edit-changed-" + field);
        QTest::mouseClick(submit, Qt::LeftButton);
        QTest::qWait(300);
        QCOMPARE(m_platform->alertPresenter.shown().size(), answer ? 1 : 0);
        QCOMPARE(sent("/v1/links/" + linkId, "POST").size(), request == "update" ? 1 : 0);
        const QJsonArray posts = sent("/v1/links", "POST");
        const auto creations =
            std::count_if(posts.begin(), posts.end(), [](const QJsonValue &post) {
                return post.toObject().value("path") == QJsonValue("/v1/links");
            });
        QCOMPARE(creations, request == "replace" ? 1 : 0);
        if (request == "replace")
            QCOMPARE(harness::body(posts.last()).value("slashtag").toString(), slashtag);
        QCOMPARE(sent("/v1/links/", "DELETE").size(), request == "replace" ? 1 : 0);
        // Done or cancelled, the form gives way to the list.
        QCOMPARE(toggle.count, 1);
    }

    void editState()
    {
        SettingsStore::shared().setString(Preferences::editLinkId, "wsp-personal-l002");
        auto *form = present<EditLinkController>();
        auto *submit = child<QPushButton>(form, "submitBtn");
        auto *slug = child<QLineEdit>(form, "textSlug");
        QTRY_VERIFY(!slug->text().isEmpty());
        QTRY_VERIFY(!form->domains()->baseDomains().isEmpty());
        snap(form, "edit-loaded");
        const QString oldSlug = slug->text();
        // Words typed key by key are joined by "-", with the cursor where the user types.
        retype(slug, " a b  c ");
        QCOMPARE(slug->text(), QStringLiteral("a-b-c "));
        QVERIFY(!child<QLabel>(form, "slugErrorLabel")->isVisible());
        QVERIFY(submit->isVisible());
        QTest::keyClick(slug, Qt::Key_Home);
        QTest::keyClicks(slug, "x y");
        QCOMPARE(slug->text(), QStringLiteral("x-ya-b-c "));
        QCOMPARE(slug->cursorPosition(), 3);
        retype(slug, oldSlug);
        QVERIFY(!submit->isVisible());
        // The link's own domain chosen again changes nothing.
        const QString domain = form->domains()->domainName();
        pickDomain(form, 0);
        QCOMPARE(form->domains()->domainName(), domain);
        QVERIFY(!submit->isVisible());
    }

    // The form asks for the link in the workspace stored with it (a notification's link was
    // made in the automatic one, which the list may not show); a link it cannot load says so.
    void editLoadsOrSaysWhy_data()
    {
        QTest::addColumn<QString>("linkId");
        QTest::addColumn<QString>("workspace"); // stored with the link; empty: none
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("automatic workspace, list in another")
            << "wsp-marketing-l003"
            << "wsp-marketing" << QJsonObject() << true;
        QTest::newRow("gone") << "wsp-personal-l999"
                              << "" << QJsonObject() << false;
        QTest::newRow("service fails")
            << "wsp-personal-l003"
            << "" << QJsonObject{{"method", "GET"}, {"path", "/v1/links/*"}, {"status", 500}}
            << false;
    }
    void editLoadsOrSaysWhy()
    {
        QFETCH(QString, linkId);
        QFETCH(QString, workspace);
        QFETCH(QJsonObject, fault);
        QFETCH(bool, loaded);
        SettingsStore &store = SettingsStore::shared();
        store.setString(Preferences::editLinkId, linkId);
        if (!workspace.isEmpty())
            store.setString(Preferences::editWorkspaceId, workspace);
        if (!fault.isEmpty())
            QVERIFY(harness::arm(*m_sandbox, fault));
        // Domains that come after the failure.
        if (!loaded)
            QVERIFY(harness::arm(*m_sandbox, {{"path", "/v1/domains"}, {"delayMs", 300}}));
        auto *form = present<EditLinkController>();
        auto *destination = child<QLineEdit>(form, "textDestination");
        auto *error = child<QLabel>(form, "formErrorLabel");
        QTRY_VERIFY(!destination->text().isEmpty() || error->isVisible());
        QCOMPARE(error->isVisible(), !loaded);
        QVERIFY(!error->text().isEmpty() || loaded);
        // Its domains come from the same workspace; for a link not loaded they change nothing:
        // no part of it looks or acts as if it could be changed.
        QTRY_COMPARE(form->domains()->baseDomains().size(), workspace.isEmpty() ? 2 : 7);
        for (const char *name : {"textDestination", "textDomain", "suggestTitleButton"})
            QCOMPARE(child<QWidget>(form, name)->isEnabled(), loaded);
        if (!loaded)
            snap(form, QStringLiteral("edit-not-loaded-") + QTest::currentDataTag());
    }

    // A form closed before its link came leaves no answer behind.
    void editClosedBeforeItsLink()
    {
        SettingsStore::shared().setString(Preferences::editLinkId, "wsp-personal-l003");
        QVERIFY(harness::arm(*m_sandbox,
                             {{"method", "GET"}, {"path", "/v1/links/*"}, {"delayMs", 800}}));
        present<EditLinkController>();
        QTRY_COMPARE(sent("/v1/links/wsp-personal-l003", "GET").size(), 1);
        m_popover.reset();
        QTest::qWait(1200);
        QCOMPARE(m_network->findChildren<QNetworkReply *>().size(), 0);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("errorLabel");
        QTest::addColumn<bool>("sentAtAll");
        QTest::newRow("41-character slashtag")
            << "textSlug" << QString(41, 'a') << "slugErrorLabel" << false;
        QTest::newRow("slashtag with a dot") << "textSlug"
                                             << "a.b"
                                             << "slugErrorLabel" << false;
        QTest::newRow("taken slashtag") << "textSlug"
                                        << "welcome"
                                        << "slugErrorLabel" << true;
        QTest::newRow("2-character title") << "textTitle"
                                           << "ab"
                                           << "titleErrorLabel" << true;
        QTest::newRow("2,100-character destination")
            << "textDestination"
            << "https://example.org/?q=" + QString(2100, 'x') << "destinationErrorLabel" << true;
    }

    void refusals()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, errorLabel);
        QFETCH(bool, sentAtAll);
        SettingsStore::shared().setString(Preferences::newDestination,
                                          "https://example.org/refused");
        auto *form = present<NewLink2Controller>();
        auto *slug = child<QLineEdit>(form, "textSlug");
        QTRY_VERIFY(!slug->text().isEmpty());
        auto *edited = child<QLineEdit>(form, field);
        retype(edited, text);
        QTest::keyClick(edited, Qt::Key_Return);
        auto *label = child<QLabel>(form, errorLabel);
        QTRY_VERIFY(label->isVisible());
        QVERIFY(!label->text().isEmpty());
        snap(form, QStringLiteral("new-refused-") + QTest::currentDataTag());
        QCOMPARE(sent("/v1/links", "POST").size(), sentAtAll ? 1 : 0);
        // The refusal shows where it belongs, not also as a generic "Try later" notification.
        for (const UserNotification &shown : m_platform->userNotifications.delivered())
            QVERIFY2(shown.title != LocalNotification::errorTitle,
                     qPrintable(shown.informativeText));
        // Nothing the user typed is lost and the form can be sent again once mended.
        QCOMPARE(edited->text(), text);
        QCOMPARE(child<QPushButton>(form, "submitBtn")->isEnabled(), sentAtAll);
    }
};

QTEST_MAIN(LinkFormsTest)
#include "tst_linkforms.moc"
