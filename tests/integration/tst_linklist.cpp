// The link list, its rows and the workspace picker against the sandbox, drawn on a real X
// server: paging, search, workspaces, row actions, keyboard, and the pictures of each state
// (build/screenshots/).

#include "Controllers/MainViewController.h"
#include "Controllers/QRController.h"
#include "Controllers/ShareController.h"
#include "Controllers/WorkspacesController.h"
#include "ServiceHarness.h"
#include "Views/BrandedLinkView.h"
#include "Views/ElidedLabel.h"
#include "Views/Popover.h"

#include <QDir>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>

using namespace Costants;

enum class RowAction { favourite, deleteLong, deleteShort, deleteFails, copyPlain };
Q_DECLARE_METATYPE(RowAction)

// How many shown windows hold a controller of this kind.
template<typename Controller>
int shownPopovers()
{
    int count = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        count += window->isVisible() && window->findChild<Controller *>() ? 1 : 0;
    return count;
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

    static void scrollTo(MainViewController *list, bool bottom)
    {
        QScrollBar *bar = list->scrollView()->verticalScrollBar();
        bar->setSliderPosition(bottom ? bar->maximum() : 0);
        list->scrolled();
    }

    void shoot(const QString &file, QWidget *widget)
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return;
        const QString folder = QStringLiteral(QUORVELLA_BINARY_DIR "/../screenshots");
        QDir().mkpath(folder);
        QVERIFY(widget->grab().save(folder + QLatin1Char('/') + file));
    }

    std::unique_ptr<Popover> m_popover;

private slots:
    void paging_data()
    {
        QTest::addColumn<QString>("workspace");
        QTest::addColumn<QString>("cursor");
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("placeholderAt");
        QTest::addColumn<int>("rows");
        QTest::newRow("40 links: 15, then the page after the 15th, capped")
            << "wsp-personal"
            << "wsp-personal-l014" << 31 << 29 << 28;
        QTest::newRow("22 links: the dashboard row before the last")
            << "wsp-marketing"
            << "wsp-marketing-l014" << 23 << 21 << 23;
    }

    void paging()
    {
        QFETCH(QString, workspace);
        QFETCH(QString, cursor);
        QFETCH(int, entries);
        QFETCH(int, placeholderAt);
        QFETCH(int, rows);
        SettingsStore::shared().setDictionary(Preferences::workspaceObjectMainView,
                                              {{"id", workspace}});
        MainViewController *list = showList();
        QVERIFY(list);
        QCOMPARE(list->localLinkList().size(), 15);
        QVERIFY(!list->rowView(14)->isPlaceholder());

        scrollTo(list, true);
        QTRY_COMPARE(list->localLinkList().size(), entries);
        const QJsonArray pages = pageRequests();
        QCOMPARE(pages.last().toObject().value("query").toString(), "limit=15&last=" + cursor);
        QCOMPARE(harness::header(pages.last().toObject(), "workspace").value_or(""), workspace);
        QVERIFY(list->localLinkList().at(placeholderAt).id.isEmpty());
        QCOMPARE(list->numberOfRows(), rows);
        QCOMPARE(std::count_if(list->localLinkList().cbegin(), list->localLinkList().cend(),
                               [](const BrandedLinkDTO &l) { return l.id.isEmpty(); }),
                 1);

        // Further scrolling stops once the cap is passed; below it an empty page adds nothing.
        QTest::qWait(50);
        scrollTo(list, true);
        QTest::qWait(300);
        QCOMPARE(list->localLinkList().size(), entries);
        QCOMPARE(list->numberOfRows(), rows);
        QCOMPARE(pageRequests().size(), entries > 28 ? 2 : 3);
        // Past the cap the entries stay at a scroll to the top.
        if (entries > 28) {
            scrollTo(list, false);
            QTest::qWait(300);
            QCOMPARE(pageRequests().size(), 2);
        }
    }

    // With ten entries or fewer, a scroll to the top reloads the first page.
    void topScrollReloads()
    {
        const QJsonArray all =
            harness::asUser(*m_sandbox, "GET", "/v1/links?limit=10").json().toArray();
        QVERIFY(harness::arm(*m_sandbox, {{"method", "GET"},
                                          {"path", "/v1/links"},
                                          {"status", 200},
                                          {"body", all},
                                          {"times", 1}}));
        MainViewController *list = showList(10);
        QVERIFY(list);
        const qsizetype before = pageRequests().size();
        QTest::qWait(50);
        scrollTo(list, false);
        QTest::qWait(300);
        QCOMPARE(pageRequests().size(), before + 1);
        QCOMPARE(pageRequests().last().toObject().value("query").toString(), "limit=15");
        QTRY_COMPARE(list->numberOfRows(), 15);
    }

    void search()
    {
        MainViewController *list = showList();
        QVERIFY(list);
        // Search mode closed: the field's events are ignored.
        list->textFieldSearch()->setText("docs");
        list->searchChanged();
        QVERIFY(m_log->contains("ignoring search"));
        QCOMPARE(sent("/v1/links/search").size(), 0);

        list->openSearchMode();
        list->textFieldSearch()->setText("example");
        list->searchChanged();
        list->searchChanged();
        QTRY_COMPARE(list->numberOfRows(), 15);
        QCOMPARE(sent("/v1/links/search").size(), 1);

        // Paging goes on with the search, after its last link.
        QTest::qWait(50);
        scrollTo(list, true);
        QTRY_COMPARE(sent("/v1/links/search").size(), 2);
        QCOMPARE(sent("/v1/links/search").last().toObject().value("query").toString(),
                 "limit=15&term=example&last=wsp-personal-l014");
        QTRY_COMPARE(list->localLinkList().size(), 31);

        // No match: the search panel, not the empty-workspace one.
        list->textFieldSearch()->setText("nothing-matches-this");
        list->searchChanged();
        QTRY_VERIFY(list->noLinksSearchView()->isVisible());
        QVERIFY(!list->nolinksListView()->isVisible());
        shoot("link-list-no-search-results.png", m_popover.get());

        const qsizetype plain = pageRequests().size();
        list->clearSearch();
        QTRY_COMPARE(list->numberOfRows(), 15);
        QCOMPARE(pageRequests().size(), plain + 1);
        QVERIFY(!list->noLinksSearchView()->isVisible());
    }

    void workspaces_data()
    {
        QTest::addColumn<QJsonValue>("answer");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<bool>("searchOpen");
        QTest::addColumn<int>("linkRequests");
        QTest::newRow("demo account: the team workspace is left out")
            << QJsonValue(QJsonValue::Undefined) << QStringList{"Archive", "Marketing", "Personal"}
            << false << 1;
        QTest::newRow("zero workspaces") << QJsonValue(QJsonArray()) << QStringList() << false << 0;
        QTest::newRow("one workspace: search replaces the name")
            << QJsonValue(QJsonArray{QJsonObject{{"id", "wsp-personal"}, {"name", "Personal"}}})
            << QStringList() << true << 1;
    }

    void workspaces()
    {
        QFETCH(QJsonValue, answer);
        QFETCH(QStringList, listed);
        QFETCH(bool, searchOpen);
        QFETCH(int, linkRequests);
        if (!answer.isUndefined())
            QVERIFY(harness::arm(*m_sandbox, {{"method", "GET"},
                                              {"path", "/v1/workspaces"},
                                              {"status", 200},
                                              {"body", answer}}));
        MainViewController *list = showList(linkRequests ? 15 : 0);
        QVERIFY(list);
        QTest::qWait(200);
        QStringList names;
        for (const WorkspaceDTO &workspace : list->workspacesListDTO())
            names.append(workspace.name);
        QCOMPARE(names, listed);
        QCOMPARE(list->workspacesList().size(), listed.size());
        for (qsizetype i = 0; i < listed.size(); ++i)
            QCOMPARE(list->workspacesList().at(i).toObject().value("name").toString(),
                     listed.at(i));
        QCOMPARE(list->isSearchOpen(), searchOpen);
        QCOMPARE(list->noWorkspacesView()->isVisible(), linkRequests == 0);
        QCOMPARE(pageRequests().size(), linkRequests);
        if (linkRequests == 0)
            shoot("link-list-no-workspaces.png", m_popover.get());
    }

    void changeWorkspace_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("rows");
        QTest::newRow("Marketing") << 1 << "wsp-marketing" << 15;
        QTest::newRow("Archive, without links") << 0 << "wsp-archive" << 0;
        QTest::newRow("index of an older list is ignored") << 3 << "wsp-personal" << 15;
        QTest::newRow("negative index is ignored") << -1 << "wsp-personal" << 15;
    }

    void changeWorkspace()
    {
        QFETCH(int, index);
        QFETCH(QString, stored);
        QFETCH(int, rows);
        MainViewController *list = showList();
        QVERIFY(list);
        list->toggleWorkspacePopover();
        QVERIFY(list->popoverWorkspaces()->isShown());
        QTRY_COMPARE(list->workspacesController()->rowCount(), 3);
        if (index == 0 && QGuiApplication::platformName() == QLatin1String("xcb")) {
            QTest::qWait(300); // avatars
            const QRect area = m_popover->geometry().united(list->popoverWorkspaces()->geometry());
            QVERIFY(QGuiApplication::primaryScreen()
                        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                        .save(QStringLiteral(QUORVELLA_BINARY_DIR
                                             "/../screenshots/link-list-workspace-picker.png")));
        }
        NotificationCenter::shared().post(NotificationViews::workspaceSelection, nullptr,
                                          {{NotificationViews::workspaceSelectionIndex, index}});
        QVERIFY(!list->popoverWorkspaces()->isShown());
        QCOMPARE(SettingsStore::shared()
                     .dictionaryForKey(Preferences::workspaceObjectMainView)
                     .value_or(QVariantMap())
                     .value("id")
                     .toString(),
                 stored);
        QTRY_COMPARE(list->numberOfRows(), rows);
        QTRY_VERIFY(!list->isRequestingLinks());
        QCOMPARE(harness::header(pageRequests().last().toObject(), "workspace").value_or(""),
                 stored);
        QCOMPARE(list->nolinksListView()->isVisible(), rows == 0);
        if (rows == 0)
            shoot("link-list-empty-workspace.png", m_popover.get());
    }

    void pickerReload_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("updated");
        QTest::newRow("same workspaces")
            << QStringList{"Archive", "Marketing", "Personal"} << false;
        QTest::newRow("same count, one renamed")
            << QStringList{"Archive", "Sales", "Personal"} << true;
        QTest::newRow("one more") << QStringList{"Archive", "Marketing", "Personal", "New"} << true;
    }

    void pickerReload()
    {
        QFETCH(QStringList, names);
        QFETCH(bool, updated);
        const QStringList ids{"wsp-archive", "wsp-marketing", "wsp-personal", "wsp-new"};
        QList<WorkspaceDTO> known;
        QJsonArray answer;
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (i < 3)
                known.append(WorkspaceDTO::fromJson(
                    {{"id", ids.at(i)},
                     {"name", QStringList{"Archive", "Marketing", "Personal"}.at(i)}},
                    i));
            answer.append(
                QJsonObject{{"id", ids.at(i)}, {"name", names.at(i)}, {"type", "classic"}});
        }
        SettingsStore &store = SettingsStore::shared();
        store.setStringArray(Preferences::workspaceIdsListCheckedDomains, {"wsp-archive"});
        WorkspacesController picker;
        picker.setLocalWorkspaceList(known);
        picker.workspacesAnswered(answer);
        QCOMPARE(picker.rowCount(), updated ? names.size() : 3);
        QCOMPARE(store.contains(Preferences::workspaceIdsListCheckedDomains), !updated);
        QCOMPARE(store.stringArrayForKey(Preferences::workspaceIdsListToCheckDomains).has_value(),
                 updated);
        if (updated)
            QCOMPARE(*store.stringArrayForKey(Preferences::workspaceIdsListToCheckDomains),
                     ids.mid(0, names.size()));
    }

    void rowTexts_data()
    {
        QTest::addColumn<qint64>("clicks");
        QTest::addColumn<qint64>("ageMinutes");
        QTest::addColumn<QString>("clicksText");
        QTest::addColumn<QString>("ageText");
        const qint64 day = 24 * 60;
        QTest::newRow("0 clicks, just now") << qint64(0) << qint64(0) << "0 clicks"
                                            << "Just now";
        QTest::newRow("1 click, 59 minutes") << qint64(1) << qint64(59) << "1 click"
                                             << "59 minutes ago";
        QTest::newRow("2 clicks, 1 hour") << qint64(2) << qint64(61) << "2 clicks"
                                          << "1 hour ago";
        QTest::newRow("3 days") << qint64(1204) << 3 * day + 5 << "1204 clicks"
                                << "3 days ago";
        QTest::newRow("1 year 3 months") << qint64(0) << (365 + 92) * day << "0 clicks"
                                         << "1 year ago";
        QTest::newRow("2 months") << qint64(0) << 62 * day << "0 clicks"
                                  << "2 months ago";
    }

    void rowTexts()
    {
        QFETCH(qint64, clicks);
        QFETCH(qint64, ageMinutes);
        QFETCH(QString, clicksText);
        QFETCH(QString, ageText);
        const QDateTime today(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC);
        BrandedLinkDTO link;
        link.createdAt = today.addSecs(-ageMinutes * 60).toString("yyyy-MM-ddTHH:mm:ss.zzzZ");
        MainViewController::fillCreation(link, today);
        QCOMPARE(BrandedLinkView::clicksText(clicks), clicksText);
        QCOMPARE(BrandedLinkView::creationText(link), ageText);
        link.createdAt = "yesterday";
        MainViewController::fillCreation(link, today);
        QCOMPARE(BrandedLinkView::creationText(link), "Just now");
    }

    void rowActions_data()
    {
        QTest::addColumn<RowAction>("action");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("notification");
        const QString none;
        QTest::newRow("favourite on a favourite sends false")
            << RowAction::favourite << 0 << R"({"favourite":false})" << none;
        QTest::newRow("long delete, Cancel")
            << RowAction::deleteLong << AlertPresenter::SecondButton << none << none;
        QTest::newRow("short delete, Cancel")
            << RowAction::deleteShort << AlertPresenter::SecondButton << none << none;
        QTest::newRow("long delete, Delete")
            << RowAction::deleteLong << AlertPresenter::FirstButton << "DELETE"
            << "Link deleted";
        QTest::newRow("short delete, OK")
            << RowAction::deleteShort << AlertPresenter::FirstButton << "DELETE"
            << "Link deleted";
        QTest::newRow("failed delete is not announced as done")
            << RowAction::deleteFails << AlertPresenter::FirstButton << "DELETE"
            << "Oooops!";
        QTest::newRow("copy of a link without https")
            << RowAction::copyPlain << 0 << none << "Link copied ✨";
    }

    void rowActions()
    {
        QFETCH(RowAction, action);
        QFETCH(int, answer);
        QFETCH(QString, request);
        QFETCH(QString, notification);
        MainViewController *list = showList();
        QVERIFY(list);
        // l001 is a favourite; l003 is on the domain without https.
        const int rowIndex = action == RowAction::copyPlain ? 3 : 1;
        BrandedLinkView *row = list->rowView(rowIndex);
        const QString id = row->id;
        const QString icon = row->favourite()->accessibleName();
        if (action == RowAction::deleteFails)
            QVERIFY(harness::arm(
                *m_sandbox,
                {{"method", "DELETE"}, {"path", "/v1/links/*"}, {"status", 500}, {"times", 1}}));
        m_platform->alertPresenter.answerWith(answer);
        const qsizetype pagesBefore = pageRequests().size();
        switch (action) {
        case RowAction::favourite:
            QVERIFY(row->isFavourite);
            row->loveLink();
            QCOMPARE(row->favourite()->accessibleName(), icon); // only the answer changes it
            QTRY_COMPARE(row->favourite()->accessibleName(), QString("Add to favourites"));
            QVERIFY(!row->isFavourite);
            break;
        case RowAction::deleteLong:
        case RowAction::deleteFails:
            row->openDeleteMenu();
            QCOMPARE(m_platform->alertPresenter.shown().last().buttons,
                     QStringList({"Delete", "Cancel"}));
            break;
        case RowAction::deleteShort:
            row->trashLink();
            QCOMPARE(m_platform->alertPresenter.shown().last().buttons,
                     QStringList({"OK", "Cancel"}));
            break;
        case RowAction::copyPlain:
            QVERIFY(!row->isHttps);
            row->copyLink();
            QCOMPARE(
                m_platform->fakePasteboard.snapshot().items->value(0).plainText.value_or(QString()),
                "http://" + row->shortURL);
            break;
        }
        QTest::qWait(300);
        const QJsonArray favourites = sent("/v1/links/" + id + "/favourite", "POST");
        const QJsonArray deletions = sent("/v1/links/" + id, "DELETE");
        if (request.isEmpty()) {
            QCOMPARE(favourites.size() + deletions.size(), 0);
        } else if (request == "DELETE") {
            QCOMPARE(deletions.size(), 1);
            // The list reloads after the answer, whatever it was.
            QTRY_COMPARE(pageRequests().size(), pagesBefore + 1);
            const bool gone = action != RowAction::deleteFails;
            QTRY_COMPARE(list->numberOfRows(), 15);
            QCOMPARE(list->rowView(rowIndex)->id != id, gone);
        } else {
            QCOMPARE(favourites.size(), 1);
            QCOMPARE(favourites.first().toObject().value("body").toString(), request);
        }
        // A failed deletion is not announced as done.
        const auto shown = m_platform->userNotifications.history();
        QCOMPARE(shown.size(), notification.isEmpty() ? 0 : 1);
        if (!notification.isEmpty())
            QCOMPARE(shown.last().title, notification);
    }

    // The share and QR buttons open their popovers by the row; one QR popover is shown at a time.
    void rowPopovers()
    {
        MainViewController *list = showList();
        QVERIFY(list);
        BrandedLinkView *first = list->rowView(0);
        BrandedLinkView *second = list->rowView(1);
        for (const char *button : {"shareButton", "qrButton"})
            QVERIFY(!first->layerHover()->findChild<QToolButton *>(button)->isHidden());
        first->openQRMenu();
        QTRY_COMPARE(shownPopovers<QRController>(), 1);
        second->openQRMenu();
        QTest::qWait(100);
        QCOMPARE(shownPopovers<QRController>(), 1);
        second->openShareMenu();
        QTRY_COMPARE(shownPopovers<ShareController>(), 1);
        NotificationCenter::shared().post(Costants::NotificationViews::closeSharePopup);
        NotificationCenter::shared().post(Costants::NotificationViews::closeQrPopup);
        QTRY_COMPARE(shownPopovers<ShareController>() + shownPopovers<QRController>(), 0);
    }

    void recovery()
    {
        MainViewController *list = showList();
        QVERIFY(list);
        // A page asked for without a usable token is never sent and never answers...
        harness::storeIssuedToken(*m_sandbox, -60);
        scrollTo(list, true);
        QVERIFY(!list->isRequestingLinks());
        QTRY_VERIFY(m_authentication->hasValidToken()); // the refresh went through
        // ...and the next reset loads the list again.
        const qsizetype pages = pageRequests().size();
        NotificationCenter::shared().post(NotificationViews::resetListLinks);
        QTRY_COMPARE(pageRequests().size(), pages + 1);
        QTRY_VERIFY(!list->isRequestingLinks());
        QCOMPARE(list->numberOfRows(), 15);

        // The late answer of a page that a reset overtook is dropped.
        QVERIFY(harness::arm(
            *m_sandbox,
            {{"method", "GET"}, {"path", "/v1/links"}, {"delayMs", 500}, {"times", 1}}));
        scrollTo(list, true);
        NotificationCenter::shared().post(NotificationViews::resetListLinks);
        QTest::qWait(900);
        QCOMPARE(list->localLinkList().size(), 15);
    }

    void keyboard()
    {
        MainViewController *list = showList();
        QVERIFY(list);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->selectedRow(), 1);
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(
            m_platform->fakePasteboard.snapshot().items->value(0).plainText.value_or(QString()),
            list->rowView(1)->fullUrl());
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(m_platform->fakeWorkspace.opened.value(0).toString(), list->rowView(1)->fullUrl());
        m_platform->alertPresenter.answerWith(AlertPresenter::SecondButton);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(m_platform->alertPresenter.shown().size(), 1);
        QTest::keyClick(list, Qt::Key_Slash);
        QVERIFY(list->isSearchOpen());
        QTest::keyClick(list->textFieldSearch(), Qt::Key_Escape);
        QVERIFY(!list->isSearchOpen());
        QTRY_COMPARE(list->numberOfRows(), 15);
        // Long texts are cut, with the whole text in the tooltip.
        BrandedLinkView *row = list->rowView(0);
        BrandedLinkDTO link = list->localLinkList().at(0);
        link.multilineTitle = QString(300, QLatin1Char('x'));
        row->configure(link, 0);
        QVERIFY(row->multilineTitle()->isElided());
        QVERIFY(row->multilineTitle()->toolTip().endsWith(link.multilineTitle));
    }

    void screenshots()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (run under xvfb-run)");
        MainViewController *list = showList();
        QVERIFY(list);
        QTest::qWait(400); // favicons and avatars
        shoot("link-list.png", m_popover.get());
        BrandedLinkView *row = list->rowView(1);
        QTest::mouseMove(row, QPoint(40, 20));
        QTRY_VERIFY(row->isHovered());
        QVERIFY(row->layerHover()->isVisible());
        shoot("link-list-hovered-row.png", m_popover.get());
        scrollTo(list, true);
        QTRY_COMPARE(list->localLinkList().size(), 31);
        list->scrollView()->verticalScrollBar()->setValue(
            list->scrollView()->verticalScrollBar()->maximum());
        QTest::qWait(300);
        shoot("link-list-bottom.png", m_popover.get());
    }
};

QTEST_MAIN(LinkListTest)
#include "tst_linklist.moc"
