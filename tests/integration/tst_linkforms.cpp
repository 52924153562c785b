// The new-link and edit-link forms and their domain pickers, driven through their widgets
// against the sandbox.

#include "Controllers/LinkForms/Domains2Controller.h"
#include "Controllers/LinkForms/EditLinkController.h"
#include "Controllers/LinkForms/LinkFormDomains.h"
#include "Controllers/LinkForms/NewLink2Controller.h"
#include "ServiceHarness.h"
#include "Services/Domain.h"
#include "Views/ViewController.h"

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
    template<typename T>
    [[nodiscard]] T *child(QWidget *form, const char *name)
    {
        return form->findChild<T *>(QString::fromLatin1(name));
    }
    // Keeps a picture of the view in one of its states under the build folder.
    static void snap(QWidget *view, const QString &name)
    {
        const QString folder = QStringLiteral(QUORVELLA_BINARY_DIR "/../screenshots");
        QDir().mkpath(folder);
        QVERIFY(view->grab().save(folder + QStringLiteral("/form-") + name + ".png"));
    }

    // Brings a form on screen as its popover does.
    static void present(ViewController &form)
    {
        form.show();
        form.viewWillAppear();
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

private slots:

    void newLink_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("field");   // the field's text after typing
        QTest::addColumn<QString>("created"); // the destination created; empty: cannot continue
        QTest::addColumn<bool>("skipCheck");
        QTest::addColumn<bool>("external");
        QTest::addColumn<int>("searches");
        QTest::newRow("no scheme") << "example.org/page"
                                   << "example.org/page"
                                   << "https://example.org/page" << true << false << 0;
        QTest::newRow("http kept") << "http://example.org/a"
                                   << "http://example.org/a"
                                   << "http://example.org/a" << true << false << 0;
        QTest::newRow("blanks trimmed") << "  https://example.org/b\n "
                                        << "https://example.org/b"
                                        << "https://example.org/b" << false << false << 1;
        QTest::newRow("external skips the check") << "https://example.org/c"
                                                  << "https://example.org/c"
                                                  << "https://example.org/c" << false << true << 0;
        QTest::newRow("not a URL") << "not a url"
                                   << "not a url" << QString() << true << false << 0;
    }

    void newLink()
    {
        QFETCH(QString, typed);
        QFETCH(QString, field);
        QFETCH(QString, created);
        QFETCH(bool, skipCheck);
        QFETCH(bool, external);
        QFETCH(int, searches);
        SettingsStore::shared().setBool(Preferences::skipDuplicateCheck, skipCheck);
        SettingsStore::shared().setString(Preferences::newDestination, "");
        NewLink2Controller form;
        form.setExternal(external);
        present(form);
        QCOMPARE(form.height(), NewLink2Controller::collapsedHeight);
        auto *destination = child<QLineEdit>(&form, "textDestination");
        QVERIFY(destination->hasFocus() || !form.isActiveWindow());
        // Typed at once, as a paste would bring it.
        destination->setText(typed);
        emit destination->textEdited(typed);
        QCOMPARE(destination->text(), field);
        snap(&form, QStringLiteral("new-collapsed-") + QTest::currentDataTag());
        auto *next = child<QPushButton>(&form, "fakeSubmitBtn");
        QCOMPARE(next->isEnabled(), !created.isEmpty());
        QTest::keyClick(destination, Qt::Key_Return);
        QCOMPARE(form.isExpanded(), !created.isEmpty());
        if (created.isEmpty())
            return;
        QCOMPARE(form.height(), NewLink2Controller::expandedHeight);
        auto *slug = child<QLineEdit>(&form, "textSlug");
        auto *title = child<QLineEdit>(&form, "textTitle");
        QTRY_VERIFY(!slug->text().isEmpty() && !title->text().isEmpty());
        if (QTest::currentDataTag() == QLatin1String("no scheme"))
            snap(&form, "new-expanded");
        QVERIFY(!slug->isReadOnly());
        QTest::keyClick(title, Qt::Key_Return);
        QTRY_COMPARE(sent("/v1/links", "POST").size(), 1);
        const QJsonObject body = harness::body(sent("/v1/links", "POST").at(0));
        QCOMPARE(body.value("destination").toString(), created);
        QCOMPARE(body.value("slashtag"), QJsonValue(slug->text()));
        QCOMPARE(sent("/v1/links/search").size(), searches);
    }

    void pickers_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("picker"); // class of the picker; empty: none
        QTest::newRow("1 domain") << 1 << QString();
        QTest::newRow("5 domains") << 5 << "DomainsController";
        QTest::newRow("6 domains") << 6 << "Domains2Controller";
    }

    void pickers()
    {
        QFETCH(int, count);
        QFETCH(QString, picker);
        NewLink2Controller form;
        QJsonArray list{QJsonObject{{"id", "off"}, {"fullName", "off.test"}, {"active", "true"}}};
        for (int i = 0; i < count; ++i)
            list.append(QJsonObject{{"id", QString("d%1").arg(i)},
                                    {"fullName", QString("d%1.test").arg(i)},
                                    {"active", true}});
        form.domains()->domainsLoaded(list);
        // A domain whose "active" is no boolean is not offered.
        QCOMPARE(form.domains()->baseDomains().size(), count);
        QCOMPARE(form.domains()->domainId(), QStringLiteral("d0"));
        auto *button = child<QPushButton>(&form, "textDomain");
        QCOMPARE(button->isEnabled(), !picker.isEmpty());
        form.domains()->openDomainMenu();
        if (form.domains()->picker())
            snap(form.domains()->picker(), QStringLiteral("picker-%1").arg(count));
        QCOMPARE(form.domains()->picker() ? form.domains()->picker()->metaObject()->className()
                                          : "",
                 picker);
    }

    // A domain picked in the form becomes the automatic one only in the automatic workspace.
    void domainChoiceKeepsTheAutomaticPair_data()
    {
        QTest::addColumn<QString>("workspace"); // of the list, where the form makes its link
        QTest::addColumn<QString>("stored");    // the automatic domain afterwards
        QTest::newRow("the automatic workspace") << "wsp-personal"
                                                 << "dom-dana-plain";
        QTest::newRow("another workspace") << "wsp-marketing"
                                           << "dom-quorv-link";
    }
    void domainChoiceKeepsTheAutomaticPair()
    {
        QFETCH(QString, workspace);
        QFETCH(QString, stored);
        SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView,
                                              {{"id", workspace}, {"name", "Listed"}});
        NewLink2Controller form;
        present(form);
        QTRY_VERIFY(form.domains()->baseDomains().size() >= 2);
        QTest::mouseClick(child<QPushButton>(&form, "textDomain"), Qt::LeftButton);
        QVERIFY(form.domains()->picker());
        QTest::mouseClick(form.domains()->picker()->row(1)->findChild<QPushButton *>(),
                          Qt::LeftButton);
        QCOMPARE(form.domains()->domainId(), form.domains()->baseDomains().at(1).domainId);
        QCOMPARE(Domain::decode(
                     SettingsStore::shared().objectForKey(Preferences::domainObjectAutoReplace))
                     ->id,
                 stored);
    }

    void pickerRows_data()
    {
        QTest::addColumn<QStringList>("typing"); // texts typed one after another
        QTest::addColumn<bool>("pressReturn");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("shown");
        QTest::newRow("ab does not filter") << QStringList{"ab"} << false << 2 << "ab.test" << 7;
        QTest::newRow("abc filters, third row")
            << QStringList{"abc"} << false << 2 << "x.abc.test" << 3;
        QTest::newRow("return with empty field")
            << QStringList{"abc", ""} << true << 3 << "abd.test" << 7;
        QTest::newRow("no match shows all")
            << QStringList{"abc", "zzz"} << false << 4 << "zz.test" << 7;
        QTest::newRow("shortened text shows all")
            << QStringList{"abc", "ab"} << false << 1 << "abc.test" << 7;
    }

    void pickerRows()
    {
        QFETCH(QStringList, typing);
        QFETCH(bool, pressReturn);
        QFETCH(int, row);
        QFETCH(QString, chosen);
        QFETCH(int, shown);
        EditLinkController form;
        QJsonArray list;
        for (const char *name :
             {"go.test", "abc.test", "ab.test", "abd.test", "zz.test", "abc.org", "x.abc.test"})
            list.append(
                QJsonObject{{"id", QString("id-") + name}, {"fullName", name}, {"active", true}});
        form.domains()->domainsLoaded(list);
        form.domains()->openDomainMenu();
        auto *picker = qobject_cast<Domains2Controller *>(form.domains()->picker());
        QVERIFY(picker);
        for (const QString &text : typing) {
            picker->textSearch()->setText(text);
            emit picker->textSearch()->textEdited(text);
        }
        if (pressReturn)
            QTest::keyClick(picker->textSearch(), Qt::Key_Return);
        QCOMPARE(picker->shownDomains().size(), shown);
        if (QTest::currentDataTag() == QLatin1String("abc filters, third row")) {
            QTest::qWait(20);
            snap(picker, "picker-filtered");
        }
        QTest::mouseClick(picker->row(row)->findChild<QPushButton *>(), Qt::LeftButton);
        QCOMPARE(form.domains()->domainName(), chosen);
        QCOMPARE(form.domains()->domainId(), "id-" + chosen);
    }

    void edit_data()
    {
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QString>("change"); // title, destination, slashtag or domain
        QTest::addColumn<int>("answer");     // the alert's answer
        QTest::addColumn<int>("alerts");
        QTest::addColumn<QString>("request"); // update, replace or none
        QTest::newRow("title, clicks") << 5 << "title" << 0 << 0 << "update";
        QTest::newRow("destination, clicks") << 5 << "destination" << 0 << 0 << "update";
        QTest::newRow("slashtag, no clicks") << 0 << "slashtag" << 0 << 0 << "replace";
        QTest::newRow("slashtag, clicks, OK")
            << 5 << "slashtag" << AlertPresenter::FirstButton << 1 << "replace";
        QTest::newRow("domain, clicks, Cancel")
            << 5 << "domain" << AlertPresenter::SecondButton << 1 << "none";
    }

    void edit()
    {
        QFETCH(int, clicks);
        QFETCH(QString, change);
        QFETCH(int, answer);
        QFETCH(int, alerts);
        QFETCH(QString, request);
        // A link of the personal workspace on quorv.link with or without clicks.
        QString linkId;
        for (int i = 0; i < 40 && linkId.isEmpty(); ++i) {
            const QString id = QString("wsp-personal-l%1").arg(i, 3, 10, QLatin1Char('0'));
            const QJsonObject link =
                harness::asUser(*m_sandbox, "GET", "/v1/links/" + id).json().toObject();
            if ((link.value("clicks").toInt() > 0) == (clicks > 0) &&
                link.value("domain").toObject().value("id") == QJsonValue("dom-quorv-link"))
                linkId = id;
        }
        QVERIFY(!linkId.isEmpty());
        SettingsStore::shared().setString(Preferences::editLinkId, linkId);
        if (answer)
            m_platform->alertPresenter.answerWith(answer);
        PostCounter toggle(NotificationViews::togglePopover);
        EditLinkController form;
        present(form);
        auto *submit = child<QPushButton>(&form, "submitBtn");
        auto *title = child<QLineEdit>(&form, "textTitle");
        QTRY_VERIFY(!title->text().isEmpty());
        QTRY_COMPARE(form.domains()->baseDomains().size(), 2);
        QVERIFY(!submit->isVisible());
        const QString name = change == "destination" ? "textDestination"
                             : change == "slashtag"  ? "textSlug"
                                                     : "textTitle";
        if (change == "domain") {
            form.domains()->openDomainMenu();
            QTest::mouseClick(form.domains()->picker()->row(1)->findChild<QPushButton *>(),
                              Qt::LeftButton);
        } else {
            // Typed at the end of the field; the slashtag's blanks become a "-" and a blank
            // left at the end goes.
            auto *field = child<QLineEdit>(&form, name.toLatin1().constData());
            field->setFocus();
            QTest::keyClick(field, Qt::Key_End);
            QTest::keyClicks(field, change == "destination" ? "?v=2"
                                    : change == "slashtag"  ? " x2 "
                                                            : "x2");
        }
        const QString slashtag = child<QLineEdit>(&form, "textSlug")->text().trimmed();
        QVERIFY(submit->isVisible());
        snap(&form, "edit-changed-" + change);
        QTest::mouseClick(submit, Qt::LeftButton);
        QTest::qWait(300);
        QCOMPARE(m_platform->alertPresenter.shown().size(), alerts);
        QCOMPARE(sent("/v1/links/" + linkId, "POST").size(), request == "update" ? 1 : 0);
        const QJsonArray posts = sent("/v1/links", "POST");
        const auto creations =
            std::count_if(posts.begin(), posts.end(), [](const QJsonValue &post) {
                return post.toObject().value("path") == QJsonValue("/v1/links");
            });
        QCOMPARE(creations, request == "replace" ? 1 : 0);
        if (request == "replace" && change == "slashtag")
            QCOMPARE(harness::body(posts.last()).value("slashtag").toString(), slashtag);
        QCOMPARE(sent("/v1/links/", "DELETE").size(), request == "replace" ? 1 : 0);
        // Done or cancelled, the form gives way to the list.
        QCOMPARE(toggle.count, 1);
    }

    void editState()
    {
        SettingsStore::shared().setString(Preferences::editLinkId, "wsp-personal-l002");
        EditLinkController form;
        present(form);
        auto *submit = child<QPushButton>(&form, "submitBtn");
        auto *slug = child<QLineEdit>(&form, "textSlug");
        QTRY_VERIFY(!slug->text().isEmpty());
        QTRY_VERIFY(!form.domains()->baseDomains().isEmpty());
        snap(&form, "edit-loaded");
        const QString oldSlug = slug->text();
        // Words typed key by key are joined by "-", with the cursor where the user types.
        retype(slug, " a b  c ");
        QCOMPARE(slug->text(), QStringLiteral("a-b-c "));
        QVERIFY(!child<QLabel>(&form, "slugErrorLabel")->isVisible());
        QVERIFY(submit->isVisible());
        QTest::keyClick(slug, Qt::Key_Home);
        QTest::keyClicks(slug, "x y");
        QCOMPARE(slug->text(), QStringLiteral("x-ya-b-c "));
        QCOMPARE(slug->cursorPosition(), 3);
        retype(slug, oldSlug);
        QVERIFY(!submit->isVisible());
        // The link's own domain chosen again changes nothing.
        QTest::mouseClick(child<QPushButton>(&form, "textDomain"), Qt::LeftButton);
        const QStringList names = form.domains()->picker()->shownDomains();
        QTest::mouseClick(form.domains()
                              ->picker()
                              ->row(static_cast<int>(names.indexOf(form.domains()->domainName())))
                              ->findChild<QPushButton *>(),
                          Qt::LeftButton);
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
        QTest::newRow("the list's workspace") << "wsp-personal-l003"
                                              << "" << QJsonObject() << true;
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
        EditLinkController form;
        present(form);
        auto *destination = child<QLineEdit>(&form, "textDestination");
        auto *error = child<QLabel>(&form, "formErrorLabel");
        QTRY_VERIFY(!destination->text().isEmpty() || error->isVisible());
        QCOMPARE(error->isVisible(), !loaded);
        QVERIFY(!error->text().isEmpty() || loaded);
        // Its domains come from the same workspace; for a link not loaded they change nothing:
        // no part of it looks or acts as if it could be changed.
        QTRY_COMPARE(form.domains()->baseDomains().size(), workspace.isEmpty() ? 2 : 7);
        for (const char *name : {"textDestination", "textDomain", "suggestTitleButton"})
            QCOMPARE(child<QWidget>(&form, name)->isEnabled(), loaded);
        if (!loaded)
            snap(&form, QStringLiteral("edit-not-loaded-") + QTest::currentDataTag());
    }

    // A form closed before its link came leaves no answer behind.
    void editClosedBeforeItsLink()
    {
        SettingsStore::shared().setString(Preferences::editLinkId, "wsp-personal-l003");
        QVERIFY(harness::arm(*m_sandbox,
                             {{"method", "GET"}, {"path", "/v1/links/*"}, {"delayMs", 800}}));
        auto form = std::make_unique<EditLinkController>();
        present(*form);
        QTRY_COMPARE(sent("/v1/links/wsp-personal-l003", "GET").size(), 1);
        form.reset();
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
        NewLink2Controller form;
        present(form);
        auto *slug = child<QLineEdit>(&form, "textSlug");
        QTRY_VERIFY(!slug->text().isEmpty());
        auto *edited = child<QLineEdit>(&form, field.toLatin1().constData());
        retype(edited, text);
        QTest::keyClick(edited, Qt::Key_Return);
        auto *label = child<QLabel>(&form, errorLabel.toLatin1().constData());
        QTRY_VERIFY(label->isVisible());
        QVERIFY(!label->text().isEmpty());
        snap(&form, QStringLiteral("new-refused-") + QTest::currentDataTag());
        QCOMPARE(sent("/v1/links", "POST").size(), sentAtAll ? 1 : 0);
        // The refusal shows where it belongs, not also as a generic "Try later" notification.
        for (const UserNotification &shown : m_platform->userNotifications.delivered())
            QVERIFY2(shown.title != LocalNotification::errorTitle,
                     qPrintable(shown.informativeText));
        // Nothing the user typed is lost and the form can be sent again once mended.
        QCOMPARE(edited->text(), text);
        QCOMPARE(child<QPushButton>(&form, "submitBtn")->isEnabled(), sentAtAll);
    }
};

QTEST_MAIN(LinkFormsTest)
#include "tst_linkforms.moc"
