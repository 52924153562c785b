#pragma once

#include "Services/BrandedLinkDTO.h"

#include <QDateTime>
#include <QJsonArray>
#include <QList>
#include <QWidget>

#include <optional>

class BrandedLinkView;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class WorkspaceBox;

// The links of the link list and their paging: the rows, drawn from the links loaded page by
// page (15 at a time, up to 28 rows, then the dashboard row), the spinners above and below
// them, the empty and error panels, and the footer's retry. Paging follows the visible
// position, whatever moved it: the wheel, the keys, the selection or the scroll bar.
class LinkPager : public QWidget
{
    Q_OBJECT

public:
    static constexpr int pageSize = 15;
    static constexpr int maxRows = 28;
    static constexpr int placeholderFrom = 20;
    static constexpr int topEdge = 5;

    explicit LinkPager(const WorkspaceBox *workspaces, QWidget *parent = nullptr);

    // Empties the list and asks for its first page (of the search shown, if any).
    void resetLinks();
    // Shows the links found for this text from the first page on; "" shows the plain list.
    void showTerm(const QString &term);
    void requestLinks();
    void linksLoaded(const std::optional<QJsonArray> &list, quint64 generation);
    void scrolled();
    // No workspace to show links of: the panel that says so, and nothing left of an earlier one.
    void showNoWorkspace();
    // A failed load: the error panel with its retry instead of rows that are not there.
    void showLoadError();
    // Shows this panel over the rows (nullptr: the rows), hiding the other empty panels.
    void setEmptyPanel(QWidget *shown);
    // The workspace of the rows shown is no longer the chosen one (it was not known yet).
    void forgetShownWorkspace() { m_shownWorkspaceId.clear(); }
    [[nodiscard]] const QString &shownWorkspaceId() const { return m_shownWorkspaceId; }

    // Whole minutes, hours, days, months and years from `createdAt` to `today`, each the
    // remainder below the next larger unit; all 0 when the text does not parse.
    static void fillCreation(BrandedLinkDTO &link, const QDateTime &today);

    // What the list holds (the links, without the dashboard row) and shows.
    [[nodiscard]] const QList<BrandedLinkDTO> &localLinkList() const { return m_localLinkList; }
    [[nodiscard]] int numberOfRows() const;
    [[nodiscard]] BrandedLinkView *rowView(int row) const;
    [[nodiscard]] bool isRequestingLinks() const { return m_requestingLinks; }
    [[nodiscard]] QScrollArea *scrollView() const { return m_scrollView; }
    [[nodiscard]] QWidget *noWorkspacesView() const { return m_noWorkspacesView; }
    [[nodiscard]] QWidget *nolinksListView() const { return m_nolinksListView; }
    [[nodiscard]] QWidget *noLinksSearchView() const { return m_noLinksSearchView; }
    [[nodiscard]] QWidget *linksErrorView() const { return m_linksErrorView; }
    [[nodiscard]] QWidget *headerScrollBox() const { return m_headerScrollBox; }
    [[nodiscard]] QWidget *footerScrollBox() const { return m_footerScrollBox; }

signals:
    // The rows were drawn again; `count` of them show.
    void rowsSynced(int count);
    // The empty panels' actions, and the retry when the workspaces are what failed.
    void newLinkRequested();
    void dashboardRequested();
    void workspacesNeeded();

private:
    void buildPanels(QVBoxLayout *layout);
    void retryLoad();
    void favouriteChanged(const QString &id, bool favourite);
    void syncRows(int from);
    // Empties the list for a first page; a first page already on its way serves it.
    void restartPaging();

    const WorkspaceBox *m_workspaces;
    QList<BrandedLinkDTO> m_localLinkList;
    bool m_requestingLinks = false;
    bool m_filterFavorite = false;
    BrandedLinkDTO m_emptyLink;
    QDateTime m_today;
    // The search the rows are for; "" for the plain list.
    QString m_term;
    // The last page came back short: the service has nothing more for this list.
    bool m_reachedEnd = false;
    // The list moves its scroll bar itself (a reload goes back to the top): no paging then.
    bool m_movingItself = false;
    // The workspace whose links the list shows.
    QString m_shownWorkspaceId;
    // Every reset or new search starts a new generation; answers of older ones are dropped.
    quint64 m_generation = 0;
    // What the page in flight asks for: no cursor (a first page), search term, workspace.
    struct PageRequest
    {
        std::optional<QString> last;
        QString term;
        QString workspace;
        bool operator==(const PageRequest &) const = default;
    };
    std::optional<PageRequest> m_inFlight;

    QWidget *m_headerScrollBox = nullptr;
    QWidget *m_footerScrollBox = nullptr;
    QScrollArea *m_scrollView = nullptr;
    QVBoxLayout *m_tableLayout = nullptr;
    QList<BrandedLinkView *> m_rows;
    QWidget *m_noWorkspacesView = nullptr;
    QWidget *m_nolinksListView = nullptr;
    QWidget *m_noLinksSearchView = nullptr;
    QWidget *m_linksErrorView = nullptr;
    QWidget *m_footerSpinner = nullptr;
    QPushButton *m_footerRetry = nullptr;
};
