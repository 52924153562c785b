#pragma once

#include "App/NotificationCenter.h"
#include "Controllers/ViewControllerWithMenuHandler.h"
#include "Services/BrandedLinkDTO.h"
#include "Services/WorkspaceDTO.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>

#include <memory>
#include <optional>

class BrandedLinkView;
class ElidedLabel;
class EventMonitor;
class Popover;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QToolButton;
class QVBoxLayout;
class WorkspacesController;

// The link list, content of the tray icon's main popover: the account, the chosen workspace
// with its picker, search, and the latest links of the workspace, paged by 15 up to 28 rows.
class MainViewController : public ViewControllerWithMenuHandler
{
    Q_OBJECT

public:
    static constexpr int pageSize = 15;
    static constexpr int maxRows = 28;
    static constexpr int placeholderFrom = 20;
    static constexpr int topEdge = 5;

    explicit MainViewController(QWidget *parent = nullptr);
    ~MainViewController() override;

    void viewWillAppear() override;

    void workspacesLoaded(const std::optional<QJsonArray> &list);
    void changeWorkspace(const Notification &notification);
    void toggleWorkspacePopover();
    void closeWorkspacePopover();
    void resetLinks();
    void requestLinks();
    void linksLoaded(const std::optional<QJsonArray> &list, quint64 generation);
    void scrolled();
    void openSearchMode();
    void closeSearchMode();
    void clearSearch();
    void searchChanged();
    void accountLoaded(const std::optional<QJsonObject> &account);
    void accountDomainsLoaded(const std::optional<QJsonArray> &list);

    void addButton();
    void openDashboard();
    void openAccountTab();

    // Whole minutes, hours, days, months and years from `createdAt` to `today`, each the
    // remainder below the next larger unit; all 0 when the text does not parse.
    static void fillCreation(BrandedLinkDTO &link, const QDateTime &today);

    // What the list holds (the links, without the dashboard row) and shows.
    [[nodiscard]] const QList<BrandedLinkDTO> &localLinkList() const { return m_localLinkList; }
    [[nodiscard]] int numberOfRows() const;
    [[nodiscard]] BrandedLinkView *rowView(int row) const;
    [[nodiscard]] const QJsonArray &workspacesList() const { return m_workspacesList; }
    [[nodiscard]] const QList<WorkspaceDTO> &workspacesListDTO() const
    {
        return m_workspacesListDTO;
    }
    [[nodiscard]] bool isRequestingLinks() const { return m_requestingLinks; }
    [[nodiscard]] bool isSearchOpen() const { return !m_ignoreSearch; }
    [[nodiscard]] int selectedRow() const { return m_selectedRow; }
    [[nodiscard]] QScrollArea *scrollView() const { return m_scrollView; }
    [[nodiscard]] QLineEdit *textFieldSearch() const { return m_textFieldSearch; }
    [[nodiscard]] QPushButton *textWorkspace() const { return m_textWorkspace; }
    [[nodiscard]] Popover *popoverWorkspaces() const { return m_popoverWorkspaces.get(); }
    [[nodiscard]] WorkspacesController *workspacesController() const;
    [[nodiscard]] QWidget *noWorkspacesView() const { return m_noWorkspacesView; }
    [[nodiscard]] QWidget *nolinksListView() const { return m_nolinksListView; }
    [[nodiscard]] QWidget *noLinksSearchView() const { return m_noLinksSearchView; }
    [[nodiscard]] QWidget *linksErrorView() const { return m_linksErrorView; }
    [[nodiscard]] QWidget *headerScrollBox() const { return m_headerScrollBox; }
    [[nodiscard]] QWidget *footerScrollBox() const { return m_footerScrollBox; }
    [[nodiscard]] QString accountName() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildHeader(QVBoxLayout *layout);
    void buildList(QVBoxLayout *layout);
    QWidget *makeEmptyPanel(const QString &objectName, const QString &icon, const QString &text,
                            QPushButton *action);
    void registerObservers();
    void load();
    void requestHeader();
    void requestWorkspaces();
    void showWorkspace(int index);
    void showNoWorkspace();
    void selectWorkspace(int index);
    // A failed load: the error panel with its retry instead of rows that are not there.
    void showLoadError();
    void retryLoad();
    void favouriteChanged(const QString &id, bool favourite);
    void setAvatar(QToolButton *button, const QString &url);
    void setEmptyPanel(QWidget *shown);
    void syncRows(int from);
    void select(int row);
    bool handleKey(QKeyEvent *event);
    void updateSearchButton();
    // Empties the list for a first page; a first page already on its way serves it.
    void restartPaging();
    [[nodiscard]] static QString storedWorkspaceId();

    // Link list state.
    QList<BrandedLinkDTO> m_localLinkList;
    QJsonArray m_workspacesList;
    QList<WorkspaceDTO> m_workspacesListDTO;
    bool m_has1Workspace = false;
    bool m_requestingLinks = false;
    bool m_filterFavorite = false;
    int m_indexSelectedWorkspace = -1;
    BrandedLinkDTO m_emptyLink;
    QDateTime m_today;
    QString m_lastSearch;
    bool m_ignoreSearch = true;
    bool m_loaded = false;
    // The last page came back short: the service has nothing more for this list.
    bool m_reachedEnd = false;
    // The list moves its scroll bar itself (a reload goes back to the top): no paging then.
    bool m_movingItself = false;
    // The workspace whose links the list shows, and whether the last workspace load failed.
    QString m_shownWorkspaceId;
    bool m_workspacesFailed = false;
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
    int m_selectedRow = -1;
    QElapsedTimer m_pickerClosedAt;

    std::unique_ptr<Popover> m_popoverWorkspaces;
    std::unique_ptr<EventMonitor> m_eventMonitor;

    // Views.
    QToolButton *m_avatarIcon = nullptr;
    QPushButton *m_accountNameButton = nullptr;
    QToolButton *m_addButton = nullptr;
    QToolButton *m_dashboardButton = nullptr;
    QToolButton *m_settingsButton = nullptr;
    QFrame *m_boxBorderWorkspace = nullptr;
    QToolButton *m_iconWorkspace = nullptr;
    QPushButton *m_textWorkspace = nullptr;
    QLabel *m_caret = nullptr;
    QLineEdit *m_textFieldSearch = nullptr;
    QToolButton *m_searchButton = nullptr;
    QWidget *m_headerScrollBox = nullptr;
    QWidget *m_footerScrollBox = nullptr;
    QScrollArea *m_scrollView = nullptr;
    QWidget *m_tableView = nullptr;
    QVBoxLayout *m_tableLayout = nullptr;
    QList<BrandedLinkView *> m_rows;
    QWidget *m_noWorkspacesView = nullptr;
    QWidget *m_nolinksListView = nullptr;
    QWidget *m_noLinksSearchView = nullptr;
    QWidget *m_linksErrorView = nullptr;
    QWidget *m_footerSpinner = nullptr;
    QPushButton *m_footerRetry = nullptr;
    QPushButton *m_openDashboardNoWorkspacesButton = nullptr;
};
