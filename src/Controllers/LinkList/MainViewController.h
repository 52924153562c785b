#pragma once

#include "App/NotificationCenter.h"
#include "Controllers/LinkList/LinkPager.h"
#include "Controllers/ViewControllerWithMenuHandler.h"

#include <QJsonArray>
#include <QJsonObject>

#include <optional>

class AccountHeader;
class LinkListKeys;
class LinkSearch;
class WorkspaceBox;

// The link list, content of the tray icon's main popover: the account, the chosen workspace
// with its picker, search, and the latest links of the workspace, paged by 15 up to 28 rows.
// Each of these is a part of its own; this controller builds them, loads what the header shows
// and leads each event (a workspace load, a choice in the picker, a search) to the parts.
class MainViewController : public ViewControllerWithMenuHandler
{
    Q_OBJECT

public:
    static constexpr int pageSize = LinkPager::pageSize;
    static constexpr int maxRows = LinkPager::maxRows;

    explicit MainViewController(QWidget *parent = nullptr);
    ~MainViewController() override;

    void viewWillAppear() override;

    void workspacesLoaded(const std::optional<QJsonArray> &list);
    void changeWorkspace(const Notification &notification);
    void accountLoaded(const std::optional<QJsonObject> &account);
    void accountDomainsLoaded(const std::optional<QJsonArray> &list);

    // The parts of the list.
    [[nodiscard]] AccountHeader *header() const { return m_header; }
    [[nodiscard]] WorkspaceBox *workspaces() const { return m_workspaces; }
    [[nodiscard]] LinkSearch *search() const { return m_search; }
    [[nodiscard]] LinkPager *pager() const { return m_pager; }
    [[nodiscard]] LinkListKeys *keys() const { return m_keys; }

    // What the list holds (the links, without the dashboard row) and shows.
    [[nodiscard]] const QList<BrandedLinkDTO> &localLinkList() const
    {
        return m_pager->localLinkList();
    }
    [[nodiscard]] int numberOfRows() const { return m_pager->numberOfRows(); }
    [[nodiscard]] BrandedLinkView *rowView(int row) const { return m_pager->rowView(row); }
    [[nodiscard]] bool isRequestingLinks() const { return m_pager->isRequestingLinks(); }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void registerObservers();
    void load();
    void requestHeader();
    void requestWorkspaces();
    void requestAccountDomains();
    void selectWorkspace(int index);

    bool m_loaded = false;
    AccountHeader *m_header;
    WorkspaceBox *m_workspaces;
    LinkSearch *m_search;
    LinkPager *m_pager;
    LinkListKeys *m_keys;
};
