// The link list, its rows and the workspace picker against the sandbox, drawn on a real X
// server: paging, search, workspaces, row actions, keyboard, and the pictures of each state
// (build/screenshots/).

#include "Controllers/LinkList/LinkListKeys.h"
#include "Controllers/LinkList/LinkSearch.h"
#include "Controllers/LinkList/MainViewController.h"
#include "Controllers/LinkList/WorkspaceBox.h"
#include "Controllers/LinkList/WorkspacesController.h"
#include "Controllers/QRShare/QRController.h"
#include "Controllers/QRShare/ShareController.h"
#include "ServiceHarness.h"
#include "Views/BrandedLinkView.h"
#include "Views/ElidedLabel.h"
#include "Views/LinkRowActions.h"
#include "Views/Popover.h"

#include <QAccessible>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>

using namespace Costants;

// The shown window that holds a controller of this kind, nullptr when there is none.
template<typename Controller>
QWidget *shownPopover()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->findChild<Controller *>())
            return window;
    return nullptr;
}

class LinkListTest : public ServiceTest
{
    Q_OBJECT

private:
    void prepare() override
    {
        // The list starts from the default workspace: "Personal", 40 links.
        harness::storeIssuedToken(*m_sandbox);
        QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/requests").status, 200);
    }
    void release() override
    {
        m_popover.reset();
        QTest::qWait(20);
    }
    [[nodiscard]] QJsonArray pageRequests() { return sent("/v1/links", "GET"); }
    [[nodiscard]] QString lastQuery(const QString &path)
    {
        return sent(path).last().toObject().value("query").toString();
    }

    // Shows a fresh list in its popover and waits for the first page.
    MainViewController *showList(int expectedRows = 15)
    {
        m_popover = std::make_unique<Popover>();
        m_popover->setContentViewController(std::make_unique<MainViewController>());
        auto *list = qobject_cast<MainViewController *>(m_popover->contentViewController());
        m_popover->show(QRect(900, 0, 24, 24));
        if (!QTest::qWaitForWindowExposed(m_popover.get()))
            return nullptr;
        if (!QTest::qWaitFor(
                [&] { return list->numberOfRows() == expectedRows && !list->isRequestingLinks(); },
                5000))
            qWarning() << "rows:" << list->numberOfRows();
        QTest::qWait(50); // layout of the rows
        return list;
    }

    // Turns the mouse wheel down over the list, a notch at a time.
    static void wheel(MainViewController *list, int notches = 40)
    {
        QWidget *viewport = list->pager()->scrollView()->viewport();
        const QPoint at(viewport->width() / 2, viewport->height() / 2);
        for (int i = 0; i < notches; ++i) {
            QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, -120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(viewport, &event);
            QTest::qWait(5);
        }
    }

    // Points at a row so that its actions show, and clicks the one with this name.
    static void clickRowAction(BrandedLinkView *row, const char *name)
    {
        // Entered from outside the rows each time: a row drawn again under a pointer that
        // stays still, or one still moving into view, sees no enter event.
        QVERIFY2(QTest::qWaitFor([row] {
                     QTest::mouseMove(row->window(), QPoint(2, 2));
                     QTest::mouseMove(row, QPoint(40, 20));
                     return row->isHovered();
                 }),
                 name);
        auto *button = row->layerHover()->findChild<QToolButton *>(name);
        QVERIFY(button && button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Whether the row shows the red mark of a favourite under its favicon.
    static bool showsFavouriteMark(BrandedLinkView *row)
    {
        const QImage image =
            row->grab(QRect(0, row->height() / 2, 40, row->height() / 2)).toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (const QColor c = image.pixelColor(x, y); c.red() > 180 && c.green() < 120)
                    return true;
        return false;
    }

    // Keeps a picture of the widget in one of its states under the build folder.
    static void shoot(const QString &file, QWidget *widget)
    {
        const QString folder = QStringLiteral(QUORVELLA_BINARY_DIR "/../screenshots");
        QDir().mkpath(folder);
        QVERIFY(widget->grab().save(folder + QLatin1Char('/') + file));
    }

    std::unique_ptr<Popover> m_popover;

private slots:
    void paging_data()
    {
        QTest::addColumn<QString>("workspace");
        QTest::addColumn<int>("secondPage"); // links in an armed second page; -1: the real one
        QTest::addColumn<QString>("moveBy");
        QTest::addColumn<int>("links");
        QTest::newRow("40 links by the wheel: 28 rows, then the dashboard row")
            << "wsp-personal" << -1 << "wheel" << 30;
        QTest::newRow("40 links by PageDown") << "wsp-personal" << -1 << "PageDown" << 30;
        QTest::newRow("22 links by End: the dashboard row last")
            << "wsp-marketing" << -1 << "End" << 22;
        QTest::newRow("a short page before the end: no link hidden, one dashboard row")
            << "wsp-personal" << 5 << "wheel" << 20;
    }

    // Paging follows what the user sees, whatever moved it, and stops at the end or the cap.
    void paging()
    {
        QFETCH(QString, workspace);
        QFETCH(int, secondPage);
        QFETCH(QString, moveBy);
        QFETCH(int, links);
        SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView,
                                              {{"id", workspace}});
        QJsonArray shortPage;
        if (secondPage >= 0) {
            shortPage = harness::asUser(*m_sandbox, "GET",
                                        "/v1/links?limit=" + QByteArray::number(secondPage) +
                                            "&last=wsp-personal-l014")
                            .json()
                            .toArray();
            QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/requests").status, 200);
        }
        MainViewController *list = showList();
        QVERIFY(list);
        QVERIFY(!list->rowView(14)->isPlaceholder());
        if (secondPage >= 0)
            QVERIFY(harness::arm(*m_sandbox, {{"method", "GET"},
                                              {"path", "/v1/links"},
                                              {"status", 200},
                                              {"body", shortPage},
                                              {"times", 1}}));
        const auto move = [&] {
            list->setFocus();
            for (int i = 0; i < 12 && moveBy != "wheel"; ++i)
                QTest::keyClick(list, moveBy == "End" ? Qt::Key_End : Qt::Key_PageDown, {}, 20);
            if (moveBy == "wheel")
                wheel(list);
        };
        move();
        QTRY_COMPARE(list->localLinkList().size(), links);
        QCOMPARE(pageRequests().size(), 2);
        QCOMPARE(lastQuery("/v1/links"), "limit=15&last=" + workspace + "-l014");
        QCOMPARE(harness::header(pageRequests().last().toObject(), "workspace").value_or(""),
                 workspace);
        // Every link loaded up to 28 has its row, then the one dashboard row comes last.
        const int linkRows = std::min(links, int(MainViewController::maxRows));
        QCOMPARE(list->numberOfRows(), linkRows + 1);
        for (int row = 0; row < linkRows; ++row)
            QCOMPARE(list->rowView(row)->id, list->localLinkList().at(row).id);
        QVERIFY(list->rowView(linkRows)->isPlaceholder());

        // At the end or the cap, more scrolling asks for nothing more.
        QTest::qWait(100);
        move();
        QTest::qWait(300);
        QCOMPARE(pageRequests().size(), 2);
        QCOMPARE(list->numberOfRows(), linkRows + 1);
    }

    void search()
    {
        MainViewController *list = showList();
        QVERIFY(list);
        QLineEdit *field = list->search()->textFieldSearch();
        QTest::mouseClick(list->findChild<QToolButton *>("searchButton"), Qt::LeftButton);
        QVERIFY(list->search()->isOpen());
        QTest::keyClicks(field, "example");
        QAccessibleInterface *clear =
            QAccessible::queryAccessibleInterface(field->findChild<QToolButton *>());
        QCOMPARE(clear ? clear->text(QAccessible::Name) : QString(), "Clear search");
        QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClick(field, Qt::Key_Return);
        QTRY_COMPARE(list->numberOfRows(), 15);
        // A result selected from the field: Enter opens it and Ctrl+C copies it, once only.
        QTest::keyClick(field, Qt::Key_Down);
        QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Return);
        const QString url = list->rowView(0)->fullUrl();
        QCOMPARE(m_platform->fakePasteboard.snapshot().items->value(0).plainText.value_or(""), url);
        QCOMPARE(m_platform->fakeWorkspace.opened, QList<QUrl>{QUrl(url)});
        QCOMPARE(sent("/v1/links/search").size(), 1);

        // Paging goes on with the search, after its last link.
        wheel(list);
        QTRY_COMPARE(sent("/v1/links/search").size(), 2);
        QCOMPARE(lastQuery("/v1/links/search"), "limit=15&term=example&last=wsp-personal-l014");
        QTRY_COMPARE(list->localLinkList().size(), 30);

        // The workspaces answer of the next opening leaves a search being typed alone.
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, "a&b#c+d");
        const qsizetype workspaceLoads = sent("/v1/workspaces").size();
        m_popover->performClose();
        m_popover->show(QRect(900, 0, 24, 24));
        QTRY_COMPARE(sent("/v1/workspaces").size(), workspaceLoads + 1);
        QTest::qWait(200);
        QVERIFY(list->search()->isOpen());
        QCOMPARE(field->text(), "a&b#c+d");
        // Characters that mean something in a query reach the service as the term.
        QTest::keyClick(field, Qt::Key_Return);
        QTRY_COMPARE(sent("/v1/links/search").size(), 3);
        QCOMPARE(lastQuery("/v1/links/search"), "limit=15&term=a%26b%23c%2Bd");

        // No match: the search panel, not the empty-workspace one.
        QTRY_VERIFY(list->pager()->noLinksSearchView()->isVisible());
        QVERIFY(!list->pager()->nolinksListView()->isVisible());
        shoot("link-list-no-search-results.png", m_popover.get());

        // Emptying the field brings the plain list back.
        const qsizetype plain = pageRequests().size();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Backspace);
        QTRY_COMPARE(list->numberOfRows(), 15);
        QCOMPARE(pageRequests().size(), plain + 1);
        QVERIFY(!list->pager()->noLinksSearchView()->isVisible());
    }

    void workspaces_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QJsonValue>("answer");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<bool>("searchOpen");
        QTest::addColumn<int>("linkRequests");
        const QJsonObject team{{"id", "wsp-agency"}, {"name", "Agency Team"}, {"type", "team"}};
        QTest::newRow("demo account: the team workspace is left out")
            << 200 << QJsonValue(QJsonValue::Undefined)
            << QStringList{"Archive", "Marketing", "Personal"} << false << 1;
        QTest::newRow("one workspace: search replaces the name")
            << 200
            << QJsonValue(QJsonArray{QJsonObject{{"id", "wsp-personal"}, {"name", "Personal"}}})
            << QStringList{"Personal"} << true << 1;
        QTest::newRow("two team workspaces: the empty state, no request storm")
            << 200 << QJsonValue(QJsonArray{team, QJsonObject{{"id", "wsp-b"}, {"type", "team"}}})
            << QStringList() << false << 0;
        QTest::newRow("one team workspace: the empty state, no endless spinner")
            << 200 << QJsonValue(QJsonArray{team}) << QStringList() << false << 0;
        QTest::newRow("refused: the client signs out")
            << 401 << QJsonValue(QJsonValue::Undefined) << QStringList() << false << 0;
    }

    void workspaces()
    {
        QFETCH(int, status);
        QFETCH(QJsonValue, answer);
        QFETCH(QStringList, listed);
        QFETCH(bool, searchOpen);
        QFETCH(int, linkRequests);
        if (!answer.isUndefined() || status != 200)
            QVERIFY(
                harness::arm(*m_sandbox, {{"method", "GET"},
                                          {"path", "/v1/workspaces"},
                                          {"status", status},
                                          {"body", answer.isUndefined() ? QJsonValue() : answer}}));
        MainViewController *list = showList(linkRequests ? 15 : 0);
        QVERIFY(list);
        QTest::qWait(500);
        QStringList names;
        for (const WorkspaceDTO &workspace : list->workspaces()->workspacesListDTO())
            names.append(workspace.name);
        QCOMPARE(names, listed);
        QCOMPARE(list->search()->isOpen(), searchOpen);
        QCOMPARE(list->pager()->noWorkspacesView()->isVisible(),
                 linkRequests == 0 && status == 200);
        QVERIFY(!list->pager()->headerScrollBox()->isVisible());
        QCOMPARE(pageRequests().size(), linkRequests);
        // The first show and the background refresh of the automatic domains, nothing more.
        QVERIFY(sent("/v1/workspaces").size() <= 2);
        // A 401 on the workspaces ends the session as on any other request.
        QCOMPARE(SettingsStore::shared().stringForKey(Preferences::accessToken).has_value(),
                 status != 401);
        if (QByteArray(QTest::currentDataTag()).startsWith("two team"))
            shoot("link-list-no-workspaces.png", m_popover.get());
    }

    void changeWorkspace_data()
    {
        QTest::addColumn<QString>("picked");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("how"); // click, keys, added (a workspace meanwhile), offline
        QTest::newRow("Marketing by the arrow keys") << "wsp-marketing" << 15 << "keys";
        QTest::newRow("Archive, without links") << "wsp-archive" << 0 << "click";
        QTest::newRow("Marketing, after a workspace was added") << "wsp-marketing" << 15 << "added";
        QTest::newRow("offline: the names stay and switching shows the error")
            << "wsp-marketing" << 0 << "offline";
    }

    // A click on a row of the picker shows that workspace's links.
    void changeWorkspace()
    {
        QFETCH(QString, picked);
        QFETCH(QString, how);
        QFETCH(int, rows);
        MainViewController *list = showList();
        QVERIFY(list);
        WorkspaceBox *box = list->workspaces();
        if (how == "added") {
            QJsonArray answer =
                harness::asUser(*m_sandbox, "GET", "/v1/workspaces?orderBy=name&orderDir=asc")
                    .json()
                    .toArray();
            answer.prepend(
                QJsonObject{{"id", "wsp-added"}, {"name", "Added"}, {"type", "classic"}});
            QVERIFY(harness::arm(*m_sandbox, {{"method", "GET"},
                                              {"path", "/v1/workspaces"},
                                              {"status", 200},
                                              {"body", answer}}));
        } else if (how == "offline") {
            m_reachability->report(false);
            m_popover->performClose();
            m_popover->show(QRect(900, 0, 24, 24));
            QTest::qWait(200);
            QCOMPARE(box->textWorkspace()->text(), "Personal");
        }
        QTest::mouseClick(box->textWorkspace(), Qt::LeftButton);
        QVERIFY(box->popoverWorkspaces()->isShown());
        QTRY_COMPARE(box->workspacesController()->rowCount(), how == "added" ? 4 : 3);
        if (picked == "wsp-archive") {
            QTest::qWait(300); // avatars
            shoot("link-list-workspace-picker.png", box->popoverWorkspaces());
        }
        const qsizetype before = pageRequests().size();
        if (how == "keys") {
            // The keyboard starts on Personal, the workspace shown; Marketing is one up.
            QTRY_VERIFY(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        } else {
            QWidget *row = box->workspacesController()->findChild<QWidget *>("workspace-" + picked);
            QVERIFY(row);
            QTest::mouseClick(row->findChild<QPushButton *>(), Qt::LeftButton);
        }
        QTRY_VERIFY(!box->popoverWorkspaces()->isShown());
        QCOMPARE(WorkspaceBox::storedWorkspaceId(), picked);
        QCOMPARE(box->textWorkspace()->text(),
                 picked == "wsp-archive" ? QString("Archive") : QString("Marketing"));
        QTRY_COMPARE(list->numberOfRows(), rows);
        QTRY_VERIFY(!list->isRequestingLinks());
        QCOMPARE(list->pager()->linksErrorView()->isVisible(), how == "offline");
        if (how == "offline") {
            QCOMPARE(pageRequests().size(), before);
            return shoot("link-list-load-error.png", m_popover.get());
        }
        QCOMPARE(harness::header(pageRequests().last().toObject(), "workspace").value_or(""),
                 picked);
        QCOMPARE(list->pager()->nolinksListView()->isVisible(), rows == 0);
        if (rows == 0)
            shoot("link-list-empty-workspace.png", m_popover.get());
    }

    // The picker's known workspaces against a fresh answer of as many (a count that changes is
    // changeWorkspace's "added"): a rename takes the new list and queues its domain checks again.
    void pickerReload_data()
    {
        QTest::addColumn<QString>("marketing"); // the name the answer gives wsp-marketing
        QTest::newRow("same workspaces") << "Marketing";
        QTest::newRow("one renamed") << "Sales";
    }

    void pickerReload()
    {
        QFETCH(QString, marketing);
        const bool updated = marketing != "Marketing";
        const QStringList ids{"wsp-archive", "wsp-marketing", "wsp-personal"};
        const QStringList before{"Archive", "Marketing", "Personal"};
        QList<WorkspaceDTO> known;
        QJsonArray answer;
        for (qsizetype i = 0; i < ids.size(); ++i) {
            known.append(WorkspaceDTO::fromJson({{"id", ids[i]}, {"name", before[i]}}, i));
            answer.append(QJsonObject{
                {"id", ids[i]}, {"name", i == 1 ? marketing : before[i]}, {"type", "classic"}});
        }
        SettingsStore &store = SettingsStore::shared();
        store.setStringArray(Preferences::workspaceIdsListCheckedDomains, {"wsp-archive"});
        WorkspacesController picker;
        picker.setLocalWorkspaceList(known);
        picker.workspacesAnswered(answer);
        QCOMPARE(picker.rowCount(), 3);
        QCOMPARE(store.contains(Preferences::workspaceIdsListCheckedDomains), !updated);
        QCOMPARE(store.stringArrayForKey(Preferences::workspaceIdsListToCheckDomains),
                 updated ? std::optional(ids) : std::nullopt);
    }

    void rowTexts_data()
    {
        QTest::addColumn<qint64>("clicks");
        QTest::addColumn<QString>("clicksText");
        QTest::addColumn<qint64>("ageMinutes"); // -1: a date that does not parse
        QTest::addColumn<QString>("ageText");
        const qint64 day = 24LL * 60;
        QTest::newRow("0 clicks, just now") << 0LL << "0 clicks" << 0LL << "Just now";
        QTest::newRow("1 click, 59 minutes") << 1LL << "1 click" << 59LL << "59 minutes ago";
        QTest::newRow("2 clicks, 1 hour") << 2LL << "2 clicks" << 61LL << "1 hour ago";
        QTest::newRow("3 days") << 1204LL << "1204 clicks" << 3 * day + 5 << "3 days ago";
        QTest::newRow("1 year 3 months") << 0LL << "0 clicks" << (365 + 92) * day << "1 year ago";
        QTest::newRow("2 months") << 0LL << "0 clicks" << 62 * day << "2 months ago";
        QTest::newRow("unreadable date") << 0LL << "0 clicks" << -1LL << "Just now";
    }

    void rowTexts()
    {
        QFETCH(qint64, clicks);
        QFETCH(qint64, ageMinutes);
        QFETCH(QString, clicksText);
        QFETCH(QString, ageText);
        const QDateTime today(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC);
        BrandedLinkDTO link;
        link.createdAt = ageMinutes < 0
                             ? QString("yesterday")
                             : today.addSecs(-ageMinutes * 60).toString(Qt::ISODateWithMs);
        LinkPager::fillCreation(link, today);
        QCOMPARE(BrandedLinkView::clicksText(clicks), clicksText);
        QCOMPARE(BrandedLinkView::creationText(link), ageText);
    }

    void rowActions_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("answer"); // to the question
        QTest::addColumn<int>("status"); // of the deletion; 0: none sent
        QTest::addColumn<QString>("notification");
        QTest::newRow("delete, Delete: the list reloads from its top")
            << "deleteButton" << AlertPresenter::FirstButton << 200 << "Link deleted";
        QTest::newRow("failed delete is not announced as done")
            << "deleteButton" << AlertPresenter::FirstButton << 500 << "Oooops!";
        QTest::newRow("copy of a link without https") << "copyButton" << 0 << 0 << "Link copied ✨";
    }

    void rowActions()
    {
        QFETCH(QString, button);
        QFETCH(int, answer);
        QFETCH(int, status);
        QFETCH(QString, notification);
        MainViewController *list = showList();
        QVERIFY(list);
        // l003 is on the domain without https.
        BrandedLinkView *row = list->rowView(button == "copyButton" ? 3 : 1);
        const QString id = row->id;
        if (status == 500)
            QVERIFY(harness::arm(
                *m_sandbox,
                {{"method", "DELETE"}, {"path", "/v1/links/*"}, {"status", 500}, {"times", 1}}));
        m_platform->alertPresenter.answerWith(answer);
        const qsizetype pagesBefore = pageRequests().size();
        QScrollBar *bar = list->pager()->scrollView()->verticalScrollBar();
        wheel(list, 1);
        QVERIFY(bar->value() > 0);
        clickRowAction(row, qPrintable(button));
        if (button == "copyButton") {
            QCOMPARE(
                m_platform->fakePasteboard.snapshot().items->value(0).plainText.value_or(QString()),
                "http://" + row->shortURL);
        } else {
            const Alert &question = m_platform->alertPresenter.shown().last();
            QCOMPARE(question.buttons, QStringList({"Delete", "Cancel"}));
            QVERIFY(question.destructive);
            QVERIFY(question.informativeText.startsWith(row->shortURL + "\n"));
        }
        QTest::qWait(300);
        QCOMPARE(sent("/v1/links/" + id, "DELETE").size(), status ? 1 : 0);
        if (status) {
            // The list reloads after the answer, whatever it was, and shows its top.
            QTRY_COMPARE(pageRequests().size(), pagesBefore + 1);
            QTRY_COMPARE(list->numberOfRows(), 15);
            QCOMPARE(list->rowView(1)->id != id, status == 200);
            QCOMPARE(bar->value(), 0);
        }
        // A failed deletion is not announced as done.
        const auto shown = m_platform->userNotifications.history();
        QCOMPARE(shown.size(), notification.isEmpty() ? 0 : 1);
        if (!notification.isEmpty())
            QCOMPARE(shown.last().title, notification);
    }

    // The service's answer to a toggle is what the row shows from then on, also once the rows
    // are drawn again for the next page; the next toggle sends the opposite.
    void favouriteSurvivesPaging()
    {
        MainViewController *list = showList();
        QVERIFY(list);
        // At the bottom, l014 (not a favourite) is toggled while the next page is on its way.
        QVERIFY(harness::arm(
            *m_sandbox,
            {{"method", "GET"}, {"path", "/v1/links"}, {"delayMs", 3000}, {"times", 1}}));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_End);
        QTRY_VERIFY(list->isRequestingLinks());
        BrandedLinkView *row = list->rowView(14);
        const QString path = "/v1/links/" + row->id + "/favourite";
        clickRowAction(row, "favourite");
        QTRY_COMPARE(row->favourite()->accessibleName(), QString("Remove from favourites"));
        QVERIFY2(list->isRequestingLinks(), "the page came before the toggle's answer");
        QTRY_COMPARE(list->localLinkList().size(), 30);
        QVERIFY(list->rowView(14)->isFavourite);
        clickRowAction(list->rowView(14), "favourite");
        QTRY_COMPARE(sent(path, "POST").size(), 2);
        QCOMPARE(harness::body(sent(path, "POST").at(0)), (QJsonObject{{"favourite", true}}));
        QCOMPARE(harness::body(sent(path, "POST").at(1)), (QJsonObject{{"favourite", false}}));
        QTest::keyClick(list, Qt::Key_End);
        QTest::qWait(300);
        shoot("link-list-bottom.png", m_popover.get());
    }

    void failedLoads_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<bool>("nextPage");
        QTest::newRow("first page refused") << QJsonObject{{"status", 500}} << false;
        QTest::newRow("first page dropped") << QJsonObject{{"drop", true}} << false;
        QTest::newRow("next page refused") << QJsonObject{{"status", 503}} << true;
    }

    // A page that fails never shows as an empty list: the error panel, or for a next page the
    // rows with a retry under them; the retry loads it.
    void failedLoads()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(bool, nextPage);
        fault["method"] = "GET";
        fault["path"] = "/v1/links";
        fault["times"] = 3; // the network stack sends a dropped GET again once
        if (!nextPage)
            QVERIFY(harness::arm(*m_sandbox, fault));
        MainViewController *list = showList(nextPage ? 15 : 0);
        QVERIFY(list);
        QPushButton *retry = nullptr;
        if (nextPage) {
            QVERIFY(harness::arm(*m_sandbox, fault));
            wheel(list);
            retry = list->pager()->footerScrollBox()->findChild<QPushButton *>("footerRetryButton");
            QTRY_VERIFY(retry->isVisible());
            QCOMPARE(list->numberOfRows(), 15);
        } else {
            QTRY_VERIFY(list->pager()->linksErrorView()->isVisible());
            QVERIFY(!list->pager()->nolinksListView()->isVisible());
            QVERIFY(!list->pager()->headerScrollBox()->isVisible());
            shoot("link-list-load-error.png", m_popover.get());
            retry = list->pager()->linksErrorView()->findChild<QPushButton *>("retryButton");
        }
        QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/faults").status, 200);
        QTest::mouseClick(retry, Qt::LeftButton);
        QTRY_COMPARE(list->localLinkList().size(), nextPage ? 30 : 15);
        QVERIFY(!list->pager()->linksErrorView()->isVisible());
    }

    // The actions follow the pointer: one overlay moves from row to row and goes when the
    // pointer leaves. The share and QR popovers of a row: the row's actions stay while one is
    // open (a second overlay serves the next row), a second click on share closes it, and Esc,
    // an outside click (the same for either) or closing the list close them.
    void rowPopovers()
    {
        MainViewController *list = showList();
        QVERIFY(list);
        BrandedLinkView *first = list->rowView(0);
        const auto overlays = [list] {
            return list->findChildren<LinkRowActions *>().size();
        };
        // Outside the popovers: the list's corner, where nothing else reacts.
        const auto clickOutside = [list] {
            QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(2, 2));
        };
        QTest::mouseMove(list->workspaces()->textWorkspace());
        QTRY_VERIFY(!first->favicon()->pixmap().isNull());
        shoot("link-list.png", m_popover.get());
        QTest::mouseMove(list->rowView(3), QPoint(40, 20));
        QTRY_VERIFY(list->rowView(3)->isHovered());
        QTest::mouseMove(list->rowView(1), QPoint(40, 20));
        QTRY_VERIFY(list->rowView(1)->isHovered());
        QVERIFY(!list->rowView(3)->isHovered() && overlays() == 1);
        shoot("link-list-hovered-row.png", m_popover.get());
        QTest::mouseMove(list->workspaces()->textWorkspace());
        QTRY_VERIFY(!list->rowView(1)->isHovered());
        QVERIFY(!list->rowView(1)->layerHover()->isVisible());
        clickRowAction(first, "qrButton");
        QTRY_VERIFY(shownPopover<QRController>());
        QTest::mouseMove(list->rowView(5), QPoint(40, 20));
        QTRY_VERIFY(list->rowView(5)->isHovered());
        QVERIFY(first->layerHover()->isVisible());
        QCOMPARE(overlays(), 2);
        // Esc in the QR popover closes it.
        QTest::keyClick(shownPopover<QRController>(), Qt::Key_Escape);
        QTRY_VERIFY(!shownPopover<QRController>());
        // A click on its own image keeps it; a click outside closes it.
        clickRowAction(first, "qrButton");
        QTRY_VERIFY(shownPopover<QRController>());
        QTest::mouseClick(shownPopover<QRController>()->findChild<QWidget *>("ctaView"),
                          Qt::LeftButton);
        QTest::qWait(100);
        QVERIFY(shownPopover<QRController>());
        clickOutside();
        QTRY_VERIFY(!shownPopover<QRController>());

        BrandedLinkView *second = list->rowView(1);
        clickRowAction(second, "shareButton");
        QTRY_VERIFY(shownPopover<ShareController>());
        QTest::mouseClick(second->layerHover()->findChild<QToolButton *>("shareButton"),
                          Qt::LeftButton);
        QTRY_VERIFY(!shownPopover<ShareController>());
        // The popovers go with the list.
        clickRowAction(second, "shareButton");
        clickRowAction(list->rowView(2), "qrButton");
        QTRY_VERIFY(shownPopover<ShareController>() && shownPopover<QRController>());
        m_popover->performClose();
        QTRY_VERIFY(!shownPopover<ShareController>() && !shownPopover<QRController>());
    }

    void recovery()
    {
        MainViewController *list = showList();
        QVERIFY(list);
        list->setFocus();
        // A page asked for without a usable token is never sent and never answers...
        harness::storeIssuedToken(*m_sandbox, -60);
        QTest::keyClick(list, Qt::Key_End);
        QVERIFY(!list->isRequestingLinks());
        QTRY_VERIFY(m_authentication->hasValidToken()); // the refresh went through
        // ...and a scroll back to the top (fewer than 28 entries) loads the first page again.
        const qsizetype pages = pageRequests().size();
        QTest::keyClick(list, Qt::Key_Home);
        QTRY_COMPARE(pageRequests().size(), pages + 1);
        QTRY_VERIFY(!list->isRequestingLinks());
        QCOMPARE(list->numberOfRows(), 15);

        // The late answer of a page that a reload from the top overtook is dropped.
        QVERIFY(harness::arm(
            *m_sandbox,
            {{"method", "GET"}, {"path", "/v1/links"}, {"delayMs", 500}, {"times", 1}}));
        QTest::keyClick(list, Qt::Key_End);
        QTRY_VERIFY(list->isRequestingLinks());
        QTest::keyClick(list, Qt::Key_Home);
        QTest::qWait(900);
        QCOMPARE(list->localLinkList().size(), 15);
    }

    // The selected row to a screen reader and by its keys: Ctrl+D turns its favourite, Ctrl+S and
    // Ctrl+R open and close its share and QR popovers under its own buttons.
    void keyboard()
    {
        MainViewController *list = showList();
        QVERIFY(list);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->keys()->selectedRow(), 1);
        // A screen reader meets a list of items, the selected one selected, named by its URL.
        BrandedLinkView *second = list->rowView(1);
        QAccessibleInterface *item = QAccessible::queryAccessibleInterface(second);
        QCOMPARE(item->role(), QAccessible::ListItem);
        QCOMPARE(item->parent()->role(), QAccessible::List);
        QVERIFY(item->state().selected);
        QVERIFY(!QAccessible::queryAccessibleInterface(list->rowView(0))->state().selected);
        // The short URL is a link, spoken as the URL, that a screen reader can press.
        QAccessibleInterface *url = QAccessible::queryAccessibleInterface(second->shortUrlButton());
        QCOMPARE(url->role(), QAccessible::Link);
        QCOMPARE(url->text(QAccessible::Name), second->shortURL);
        url->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(m_platform->fakeWorkspace.opened, QList<QUrl>{QUrl(second->fullUrl())});
        // l001 is a favourite, l000 not: seen and spoken without pointing; Ctrl+D shows its turn.
        QVERIFY(showsFavouriteMark(second) && !showsFavouriteMark(list->rowView(0)));
        QVERIFY(item->text(QAccessible::Description).startsWith("Favourite, "));
        QTest::keyClick(list, Qt::Key_D, Qt::ControlModifier);
        QTRY_VERIFY(!showsFavouriteMark(second));
        QVERIFY(!item->text(QAccessible::Description).startsWith("Favourite"));
        const QRect row(list->rowView(1)->mapToGlobal(QPoint()), list->rowView(1)->size());
        for (const bool share : {true, false}) {
            const Qt::Key key = share ? Qt::Key_S : Qt::Key_R;
            QWidget *(*shown)() =
                share ? &shownPopover<ShareController> : &shownPopover<QRController>;
            QTest::keyClick(list, key, Qt::ControlModifier);
            QTRY_VERIFY(shown());
            QVERIFY2(qAbs(shown()->y() - row.bottom()) < 40 && row.contains(shown()->x(), row.y()),
                     qPrintable(QString("at %1,%2").arg(shown()->x()).arg(shown()->y())));
            QTest::keyClick(list, key, Qt::ControlModifier);
            QTRY_VERIFY(!shown());
        }
        // Tab follows the eye (account, new link, dashboard, settings, workspace) to the search
        // button, which shows the focus ring; Space opens the search.
        list->setFocus();
        for (int i = 0; i < 6; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QToolButton *searchButton = list->search()->searchButton();
        QCOMPARE(QApplication::focusWidget(), searchButton);
        QCOMPARE(searchButton->grab().toImage().pixelColor(20, 0), QColor(0x25, 0x63, 0xEB));
        QTest::keyClick(searchButton, Qt::Key_Space);
        QVERIFY(list->search()->isOpen());
        // Long texts are cut, with the whole text in the tooltip (l000's title is long).
        const ElidedLabel *title = list->rowView(0)->multilineTitle();
        QVERIFY(title->isElided() && title->toolTip().endsWith(list->localLinkList().at(0).title));
    }
};

QTEST_MAIN(LinkListTest)
#include "tst_linklist.moc"
