#include "Controllers/LinkList/MainViewController.h"

#include "App/Clock.h"
#include "App/Costants.h"
#include "App/CrashReporter.h"
#include "App/EventMonitor.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Controllers/LinkList/AutoReplaceDomainsRefresh.h"
#include "Controllers/LinkList/WorkspacesController.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/ApiManager.h"
#include "Services/AuthenticationManager.h"
#include "Services/Config.h"
#include "Utils/DefaultHelper.h"
#include "Utils/Utils.h"
#include "Views/BrandedLinkView.h"
#include "Views/HeaderTitle.h"
#include "Views/Icons.h"
#include "Views/ImageCache.h"
#include "Views/LinkTableView.h"
#include "Views/Popover.h"
#include "Views/Spinner.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>

using namespace Costants;

namespace {

constexpr int kWidth = 358;
constexpr int kHeight = 518;
// A press on the workspace name that closed the picker as an outside click does not open it
// again on its release.
constexpr qint64 kPickerReopenGraceMs = 400;

// White whatever palette the popover hands down: the canvas of the design.
void paintWhite(QWidget *widget)
{
    QPalette white = widget->palette();
    white.setColor(QPalette::Window, Qt::white);
    widget->setPalette(white);
    widget->setAutoFillBackground(true);
}

QToolButton *headerButton(const QString &icon, const QString &name)
{
    auto *button = new QToolButton;
    button->setIcon(Icons::icon(icon));
    button->setIconSize(QSize(20, 20));
    button->setFixedSize(32, 32);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setToolTip(name);
    button->setAccessibleName(name);
    // Reached by Tab; a click leaves the keyboard with the list.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

MainViewController::MainViewController(QWidget *parent)
    : ViewControllerWithMenuHandler(parent)
    , m_popoverWorkspaces(std::make_unique<Popover>())
    , m_eventMonitor(std::make_unique<EventMonitor>(EventMonitor::defaultMask, [this](QEvent *) {
        if (m_popoverWorkspaces->isShown())
            closeWorkspacePopover();
    }))
{
    setObjectName(QStringLiteral("MainViewController"));
    setFixedSize(kWidth, kHeight);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildHeader(layout);
    buildList(layout);

    // The picker, with the light appearance of every popover.
    m_popoverWorkspaces->setWindowTitle(QStringLiteral("Quorvella workspaces"));
    // A pop-up, as a menu is: it leaves the list's window active, so choosing a workspace
    // (which hides the picker) is not taken for a click outside the program.
    m_popoverWorkspaces->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    m_popoverWorkspaces->setContentViewController(std::make_unique<WorkspacesController>());

    ImageCache::shared().setNetwork(ApiManager::shared().network());
    registerObservers();
}

MainViewController::~MainViewController()
{
    NotificationCenter::shared().removeObserver(this);
}

void MainViewController::buildHeader(QVBoxLayout *layout)
{
    auto *header = new QWidget;
    paintWhite(header);
    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(4);
    m_avatarIcon = new QToolButton;
    m_avatarIcon->setObjectName(QStringLiteral("avatarIcon"));
    m_avatarIcon->setFixedSize(32, 32);
    m_avatarIcon->setIconSize(QSize(32, 32));
    m_avatarIcon->setAutoRaise(true);
    m_avatarIcon->setFocusPolicy(Qt::NoFocus);
    m_avatarIcon->setAccessibleName(QStringLiteral("Account settings"));
    m_accountNameButton = new QPushButton;
    m_accountNameButton->setObjectName(QStringLiteral("accountNameButton"));
    m_accountNameButton->setFlat(true);
    m_accountNameButton->setFocusPolicy(Qt::TabFocus);
    m_accountNameButton->setCursor(Qt::PointingHandCursor);
    m_accountNameButton->setToolTip(QStringLiteral("Account settings"));
    m_accountNameButton->setAccessibleName(QStringLiteral("Account settings"));
    setHeaderTitleFont(m_accountNameButton);
    m_accountNameButton->setStyleSheet(
        QStringLiteral("QPushButton { border: none; text-align: left; color: #1D1D1F; }"
                       "QPushButton:hover { color: #2563EB; }"));
    m_addButton = headerButton(QStringLiteral("ic-plus"), QStringLiteral("New link"));
    m_dashboardButton =
        headerButton(QStringLiteral("ic-dashboard"), QStringLiteral("Open the dashboard"));
    m_settingsButton = headerButton(QStringLiteral("ic-settings"), QStringLiteral("Settings"));
    m_addButton->setObjectName(QStringLiteral("addButton"));
    m_settingsButton->setObjectName(QStringLiteral("settingsButton"));
    top->addWidget(m_avatarIcon);
    top->addWidget(m_accountNameButton, 1);
    top->addWidget(m_addButton);
    top->addWidget(m_dashboardButton);
    top->addWidget(m_settingsButton);
    connect(m_avatarIcon, &QToolButton::clicked, this, &MainViewController::openAccountTab);
    connect(m_accountNameButton, &QPushButton::clicked, this, &MainViewController::openAccountTab);
    connect(m_addButton, &QToolButton::clicked, this, &MainViewController::addButton);
    connect(m_dashboardButton, &QToolButton::clicked, this, &MainViewController::openDashboard);
    connect(m_settingsButton, &QToolButton::clicked, this, [this] {
        m_settingsButton->setDown(false);
        openSettings(m_settingsButton);
    });

    // The workspace box (name, avatar, caret) and, in its place while searching, the field.
    m_boxBorderWorkspace = new QFrame;
    m_boxBorderWorkspace->setObjectName(QStringLiteral("boxBorderWorkspace"));
    m_boxBorderWorkspace->setFixedHeight(40);
    m_boxBorderWorkspace->setStyleSheet(
        QStringLiteral("#boxBorderWorkspace { background: #F6F7F9; border: 1px solid #DDDDDD;"
                       " border-radius: 8px; }"));
    auto *box = new QHBoxLayout(m_boxBorderWorkspace);
    box->setContentsMargins(8, 0, 10, 0);
    box->setSpacing(8);
    m_iconWorkspace = new QToolButton;
    m_iconWorkspace->setObjectName(QStringLiteral("iconWorkspace"));
    m_iconWorkspace->setFixedSize(24, 24);
    m_iconWorkspace->setIconSize(QSize(24, 24));
    m_iconWorkspace->setAutoRaise(true);
    m_iconWorkspace->setFocusPolicy(Qt::NoFocus);
    m_iconWorkspace->setAccessibleName(QStringLiteral("Choose a workspace"));
    m_textWorkspace = new QPushButton;
    m_textWorkspace->setObjectName(QStringLiteral("textWorkspace"));
    m_textWorkspace->setFlat(true);
    m_textWorkspace->setFocusPolicy(Qt::TabFocus);
    m_textWorkspace->setCursor(Qt::PointingHandCursor);
    m_textWorkspace->setToolTip(QStringLiteral("Choose a workspace"));
    m_textWorkspace->setAccessibleName(QStringLiteral("Choose a workspace"));
    m_textWorkspace->setStyleSheet(QStringLiteral(
        "QPushButton { border: none; text-align: left; color: #1D1D1F; background: transparent; }"
        "QPushButton:focus { color: #2563EB; }"));
    m_caret = new QLabel;
    m_caret->setPixmap(
        Icons::pixmap(QStringLiteral("ic-caret-down"), 16, Icons::normal, devicePixelRatioF()));
    box->addWidget(m_iconWorkspace);
    box->addWidget(m_textWorkspace, 1);
    box->addWidget(m_caret);
    connect(m_textWorkspace, &QPushButton::clicked, this,
            &MainViewController::toggleWorkspacePopover);
    connect(m_iconWorkspace, &QToolButton::clicked, this,
            &MainViewController::toggleWorkspacePopover);

    m_textFieldSearch = new QLineEdit;
    m_textFieldSearch->setObjectName(QStringLiteral("textFieldSearch"));
    m_textFieldSearch->setFixedHeight(40);
    m_textFieldSearch->setPlaceholderText(QStringLiteral("Search links"));
    m_textFieldSearch->setAccessibleName(QStringLiteral("Search links"));
    m_textFieldSearch->setClearButtonEnabled(true);
    m_textFieldSearch->setStyleSheet(
        QStringLiteral("QLineEdit { border: 1px solid #DDDDDD; border-radius: 8px;"
                       " padding: 0 10px; background: white; }"
                       "QLineEdit:focus { border-color: #2563EB; }"));
    m_textFieldSearch->installEventFilter(this);
    connect(m_textFieldSearch, &QLineEdit::returnPressed, this, &MainViewController::searchChanged);
    // The clear button of the field empties it: the plain list comes back.
    connect(m_textFieldSearch, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text.isEmpty() && !m_lastSearch.isEmpty() && !m_ignoreSearch)
            clearSearch();
    });

    m_searchButton = new QToolButton;
    m_searchButton->setObjectName(QStringLiteral("searchButton"));
    m_searchButton->setFixedSize(40, 40);
    m_searchButton->setFocusPolicy(Qt::TabFocus);
    m_searchButton->setIconSize(QSize(20, 20));
    m_searchButton->setCursor(Qt::PointingHandCursor);
    m_searchButton->setStyleSheet(
        QStringLiteral("QToolButton { background: white; border: 1px solid #DDDDDD;"
                       " border-radius: 8px; }"
                       "QToolButton:hover { border-color: #2563EB; }"));
    connect(m_searchButton, &QToolButton::clicked, this, [this] {
        // With several workspaces the button leaves the search again.
        if (!m_ignoreSearch && !m_has1Workspace)
            closeSearchMode();
        else
            openSearchMode();
    });

    auto *second = new QHBoxLayout;
    second->setContentsMargins(0, 0, 0, 0);
    second->setSpacing(8);
    second->addWidget(m_boxBorderWorkspace, 1);
    second->addWidget(m_textFieldSearch, 1);
    second->addWidget(m_searchButton);

    auto *headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(12, 12, 12, 12);
    headerLayout->setSpacing(12);
    headerLayout->addLayout(top);
    headerLayout->addLayout(second);
    layout->addWidget(header);

    auto *line = new QFrame;
    line->setFixedHeight(1);
    line->setStyleSheet(QStringLiteral("background: #E6E6E6;"));
    layout->addWidget(line);
}

QWidget *MainViewController::makeEmptyPanel(const QString &objectName, const QString &icon,
                                            const QString &text, QPushButton *action)
{
    auto *panel = new QWidget;
    panel->setObjectName(objectName);
    paintWhite(panel);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(12);
    layout->addStretch(1);
    auto *image = new QLabel;
    image->setPixmap(Icons::pixmap(icon, 40, QColor(0xB0, 0xB5, 0xBF), devicePixelRatioF()));
    image->setAlignment(Qt::AlignCenter);
    auto *label = new QLabel(text);
    label->setObjectName(objectName + QStringLiteral("Text"));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #6B6B6B;"));
    layout->addWidget(image);
    layout->addWidget(label);
    if (action) {
        action->setCursor(Qt::PointingHandCursor);
        action->setStyleSheet(
            QStringLiteral("QPushButton { color: white; background: #2563EB; border: none;"
                           " border-radius: 6px; padding: 6px 14px; }"));
        layout->addWidget(action, 0, Qt::AlignHCenter);
    }
    layout->addStretch(2);
    panel->hide();
    return panel;
}

void MainViewController::buildList(QVBoxLayout *layout)
{
    m_headerScrollBox = new QWidget;
    m_headerScrollBox->setObjectName(QStringLiteral("headerScrollBox"));
    auto *headerSpin = new QHBoxLayout(m_headerScrollBox);
    headerSpin->setContentsMargins(0, 8, 0, 8);
    headerSpin->addWidget(new Spinner, 0, Qt::AlignCenter);
    layout->addWidget(m_headerScrollBox);

    m_tableView = new LinkTableView;
    m_tableView->setObjectName(QStringLiteral("tableView"));
    paintWhite(m_tableView);
    m_tableLayout = new QVBoxLayout(m_tableView);
    m_tableLayout->setContentsMargins(0, 0, 0, 0);
    m_tableLayout->setSpacing(0);
    m_tableLayout->addStretch(1);
    m_scrollView = new QScrollArea;
    m_scrollView->setObjectName(QStringLiteral("scrollView"));
    m_scrollView->setFrameShape(QFrame::NoFrame);
    m_scrollView->setWidgetResizable(true);
    m_scrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollView->setFocusPolicy(Qt::NoFocus);
    m_scrollView->setWidget(m_tableView);
    m_scrollView->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { width: 8px; background: transparent; margin: 2px; }"
        "QScrollBar::handle:vertical { background: #C9CDD3; border-radius: 2px; min-height: 32px; }"
        "QScrollBar::handle:vertical:hover { background: #9EA4AD; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    m_scrollView->installEventFilter(this);
    // Paging follows the visible position, whatever moved it: wheel, keys, selection, bar.
    connect(m_scrollView->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!m_movingItself)
            scrolled();
    });

    auto *newLink = new QPushButton(QStringLiteral("New link"));
    connect(newLink, &QPushButton::clicked, this, &MainViewController::addButton);
    m_openDashboardNoWorkspacesButton = new QPushButton(QStringLiteral("Open the dashboard"));
    connect(m_openDashboardNoWorkspacesButton, &QPushButton::clicked, this,
            &MainViewController::openDashboard);
    m_noWorkspacesView = makeEmptyPanel(
        QStringLiteral("noWorkspacesView"), QStringLiteral("ic-dashboard"),
        QStringLiteral("This account has no workspace yet."), m_openDashboardNoWorkspacesButton);
    m_nolinksListView =
        makeEmptyPanel(QStringLiteral("nolinksListView"), QStringLiteral("ic-plus"),
                       QStringLiteral("No branded links in this workspace yet."), newLink);
    m_noLinksSearchView =
        makeEmptyPanel(QStringLiteral("noLinksSearchView"), QStringLiteral("ic-search"),
                       QStringLiteral("No links match your search."), nullptr);
    auto *retry = new QPushButton(QStringLiteral("Try again"));
    retry->setObjectName(QStringLiteral("retryButton"));
    connect(retry, &QPushButton::clicked, this, &MainViewController::retryLoad);
    m_linksErrorView = makeEmptyPanel(
        QStringLiteral("linksErrorView"), QStringLiteral("ic-close"),
        QStringLiteral("Your links could not be loaded. Check the connection and try again."),
        retry);

    auto *stack = new QGridLayout;
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addWidget(m_scrollView, 0, 0);
    for (QWidget *panel :
         {m_noWorkspacesView, m_nolinksListView, m_noLinksSearchView, m_linksErrorView})
        stack->addWidget(panel, 0, 0);
    layout->addLayout(stack, 1);

    m_footerScrollBox = new QWidget;
    m_footerScrollBox->setObjectName(QStringLiteral("footerScrollBox"));
    auto *footerSpin = new QHBoxLayout(m_footerScrollBox);
    footerSpin->setContentsMargins(0, 8, 0, 8);
    m_footerSpinner = new Spinner;
    footerSpin->addWidget(m_footerSpinner, 0, Qt::AlignCenter);
    // A next page that failed: the rows stay, and this asks for the page again.
    m_footerRetry = new QPushButton(QStringLiteral("More links could not be loaded. Try again"));
    m_footerRetry->setObjectName(QStringLiteral("footerRetryButton"));
    m_footerRetry->setFlat(true);
    m_footerRetry->setCursor(Qt::PointingHandCursor);
    m_footerRetry->setStyleSheet(QStringLiteral("QPushButton { color: #C62828; border: none; }"));
    m_footerRetry->hide();
    connect(m_footerRetry, &QPushButton::clicked, this, [this] {
        m_footerRetry->hide();
        m_footerSpinner->show();
        requestLinks();
    });
    footerSpin->addWidget(m_footerRetry, 0, Qt::AlignCenter);
    layout->addWidget(m_footerScrollBox);

    m_footerScrollBox->hide();
    m_headerScrollBox->show();
    m_boxBorderWorkspace->hide();
    m_textFieldSearch->hide();
    m_caret->hide();
    updateSearchButton();
}

void MainViewController::registerObservers()
{
    NotificationCenter &center = NotificationCenter::shared();
    center.addObserver(this, NotificationViews::resetListLinks,
                       [this](const Notification &) { resetLinks(); });
    center.addObserver(this, NotificationViews::workspaceSelection,
                       [this](const Notification &n) { changeWorkspace(n); });
    center.addObserver(this, NotificationViews::workspaceClosePopover,
                       [this](const Notification &) { closeWorkspacePopover(); });
}

WorkspacesController *MainViewController::workspacesController() const
{
    return qobject_cast<WorkspacesController *>(m_popoverWorkspaces->contentViewController());
}

void MainViewController::load()
{
    CrashReporter::capture({QStringLiteral("info"),
                            QStringLiteral("Mac app unique users"),
                            {{QStringLiteral("macOnline"), QStringLiteral("true")}},
                            {{QStringLiteral("app"), QStringLiteral("on")}}});
    logLines({QStringLiteral("Sentry: setting app opened")});
    requestHeader();
    AutoReplaceDomainsRefresh::start(this);
}

void MainViewController::viewWillAppear()
{
    // The first show loads; every later one refreshes the same three things.
    if (!m_loaded) {
        m_loaded = true;
        load();
    } else {
        logLines({QStringLiteral("will appear updating")});
        requestHeader();
    }
    if (!m_ignoreSearch)
        m_textFieldSearch->setFocus();
    else
        setFocus();
}

void MainViewController::requestHeader()
{
    requestWorkspaces();
    ApiManager &api = ApiManager::shared();
    if (api.internetStatus() == InternetStatus::reachable) {
        api.getAccount([self = QPointer(this)](const std::optional<QJsonObject> &account) {
            if (self)
                self->accountLoaded(account);
        });
    }
    api.getAccountDomains([self = QPointer(this)](const std::optional<QJsonArray> &list) {
        if (self)
            self->accountDomainsLoaded(list);
    });
}

void MainViewController::requestWorkspaces()
{
    if (ApiManager::shared().internetStatus() != InternetStatus::reachable) {
        workspacesLoaded(std::nullopt);
        return;
    }
    ApiManager::shared().getWorkspaces(
        [self = QPointer(this)](const std::optional<QJsonArray> &list) {
            if (self)
                self->workspacesLoaded(list);
        });
}

void MainViewController::workspacesLoaded(const std::optional<QJsonArray> &list)
{
    if (!list) {
        // Offline or refused: the workspaces known stay as they are; with none known the list
        // says it could not load, with a retry.
        m_headerScrollBox->hide();
        m_workspacesFailed = true;
        if (!m_has1Workspace && m_workspacesList.isEmpty())
            showLoadError();
        return;
    }
    m_workspacesFailed = false;
    logLines(
        {QStringLiteral("has ") + QString::number(list->size()) + QStringLiteral(" workspaces")});
    QJsonArray listed;
    for (const QJsonValue &value : *list) {
        if (WorkspaceDTO::isListed(value.toObject()))
            listed.append(value);
    }
    m_workspacesList = {};
    m_has1Workspace = false;
    m_noWorkspacesView->hide();
    // Only the workspaces the list can show count: with none of them there is nothing to load,
    // and asking again would only bring the same answer.
    if (listed.isEmpty()) {
        showNoWorkspace();
        return;
    }
    if (listed.size() > 1) {
        m_iconWorkspace->setEnabled(true);
        m_searchButton->setEnabled(true);
        m_textWorkspace->setEnabled(true);
        m_caret->show();
        m_workspacesListDTO = Utils::prepareWorkspaces(*list);
        m_workspacesList = listed;
        const int index = DefaultHelper::chooseDefaultWorkspace(
            m_workspacesList, Preferences::workspaceObjectMainView);
        if (WorkspacesController *picker = workspacesController())
            picker->setLocalWorkspaceList(m_workspacesListDTO);
        if (index >= 0 && index < m_workspacesListDTO.size())
            showWorkspace(index);
        // A search the user is in stays, as long as it is about the same workspace.
        if (!m_ignoreSearch && storedWorkspaceId() == m_shownWorkspaceId) {
            logLines({QStringLiteral("keeping the search")});
            return;
        }
        m_boxBorderWorkspace->show();
        closeSearchMode();
        logLines({QStringLiteral("set workspace(n), ask to reset links")});
        resetLinks();
        return;
    }
    logLines({QStringLiteral("1 WORKSPACES")});
    m_has1Workspace = true;
    m_caret->hide();
    m_textWorkspace->setEnabled(false);
    m_boxBorderWorkspace->hide();
    m_iconWorkspace->setEnabled(false);
    m_searchButton->setEnabled(true);
    openSearchMode();
    const QJsonObject workspace = listed.first().toObject();
    m_workspacesListDTO = {WorkspaceDTO::fromJson(workspace, 0)};
    m_textWorkspace->setText(workspace.value(QLatin1String("name")).toString());
    setAvatar(m_iconWorkspace, workspace.value(QLatin1String("avatarUrl")).toString());
    SettingsStore &store = SettingsStore::shared();
    store.setDictionary(Preferences::workspaceObjectMainView, workspace.toVariantMap());
    store.synchronize();
    logLines({QStringLiteral("set workspace(1), ask to reset links")});
    resetLinks();
}

void MainViewController::showNoWorkspace()
{
    setEmptyPanel(m_noWorkspacesView);
    // Nothing to choose and nothing to search: the box stays, quiet.
    m_textWorkspace->setText(QStringLiteral("No workspace"));
    m_boxBorderWorkspace->show();
    m_textFieldSearch->hide();
    m_ignoreSearch = true;
    m_textWorkspace->setEnabled(false);
    m_iconWorkspace->setEnabled(false);
    m_iconWorkspace->setIcon(QIcon());
    m_caret->hide();
    m_searchButton->setEnabled(false);
    m_workspacesListDTO.clear();
    m_footerScrollBox->hide();
    m_headerScrollBox->hide();
    // What is left of an earlier workspace goes, and a page still on its way is dropped.
    m_localLinkList.clear();
    ++m_generation;
    m_requestingLinks = false;
    m_inFlight.reset();
    m_shownWorkspaceId.clear();
    syncRows(0);
}

void MainViewController::showLoadError()
{
    m_headerScrollBox->hide();
    m_footerScrollBox->hide();
    m_localLinkList.clear();
    m_movingItself = true;
    syncRows(0);
    m_scrollView->verticalScrollBar()->setValue(0);
    m_movingItself = false;
    setEmptyPanel(m_linksErrorView);
}

void MainViewController::retryLoad()
{
    logLines({QStringLiteral("retrying the load")});
    setEmptyPanel(nullptr);
    m_headerScrollBox->show();
    if (m_workspacesFailed && !m_has1Workspace && m_workspacesList.isEmpty())
        requestHeader();
    else
        resetLinks();
}

void MainViewController::showWorkspace(int index)
{
    const WorkspaceDTO &workspace = m_workspacesListDTO.at(index);
    m_textWorkspace->setText(workspace.name);
    setAvatar(m_iconWorkspace, workspace.avatarURL);
}

void MainViewController::setAvatar(QToolButton *button, const QString &url)
{
    QPointer<QToolButton> target(button);
    // The last avatar asked for wins: a late one of the workspace shown before is dropped.
    button->setProperty("avatarUrl", url);
    ImageCache::shared().load(QUrl(url), button, [target, url](const QImage &image) {
        if (target && target->property("avatarUrl").toString() == url)
            target->setIcon(QIcon(ImageCache::circular(image, target->iconSize().width(),
                                                       target->devicePixelRatioF())));
    });
}

void MainViewController::changeWorkspace(const Notification &notification)
{
    logLines({QStringLiteral("received change workspace")});
    const QVariant value = notification.userInfo.value(NotificationViews::workspaceSelectionIndex);
    if (notification.userInfo.isEmpty() || !value.isValid()) {
        ApiManager::shared().getAccountDomains(
            [self = QPointer(this)](const std::optional<QJsonArray> &list) {
                if (self)
                    self->accountDomainsLoaded(list);
            });
        return;
    }
    const int index = value.toInt();
    logLines({QStringLiteral("new index: ") + QString::number(index)});
    closeWorkspacePopover();
    // The picker may have loaded a newer list than this one: its row names the workspace by
    // id, and a position in the older list could be another workspace.
    const QString id =
        notification.userInfo.value(NotificationViews::workspaceSelectionId).toString();
    for (qsizetype at = 0; at < m_workspacesList.size() && at < m_workspacesListDTO.size(); ++at) {
        if (!id.isEmpty() &&
            m_workspacesList.at(at).toObject().value(QLatin1String("id")).toString() == id) {
            selectWorkspace(int(at));
            return;
        }
    }
    if (id.isEmpty()) {
        logLines({QStringLiteral("ignoring a workspace choice without id")});
        return;
    }
    // Added since the list loaded: loading the workspaces again resolves it by its id.
    logLines({QStringLiteral("workspace not known yet, loading the workspaces")});
    SettingsStore &store = SettingsStore::shared();
    store.setDictionary(Preferences::workspaceObjectMainView, {{QStringLiteral("id"), id}});
    store.synchronize();
    m_headerScrollBox->show();
    m_shownWorkspaceId.clear();
    requestWorkspaces();
}

void MainViewController::selectWorkspace(int index)
{
    m_indexSelectedWorkspace = index;
    m_headerScrollBox->show();
    SettingsStore &store = SettingsStore::shared();
    store.setDictionary(Preferences::workspaceObjectMainView,
                        m_workspacesList.at(index).toObject().toVariantMap());
    store.synchronize();
    logLines({QStringLiteral("SETTING NAME: ") + m_workspacesListDTO.at(index).name});
    showWorkspace(index);
    setFocus();
    resetLinks();
}

void MainViewController::toggleWorkspacePopover()
{
    if (m_has1Workspace)
        return;
    if (m_popoverWorkspaces->isShown()) {
        closeWorkspacePopover();
        return;
    }
    if (m_pickerClosedAt.isValid() && m_pickerClosedAt.elapsed() < kPickerReopenGraceMs) {
        m_pickerClosedAt.invalidate();
        return;
    }
    if (!m_popoverWorkspaces->contentViewController())
        m_popoverWorkspaces->setContentViewController(std::make_unique<WorkspacesController>());
    const QRect anchor(m_boxBorderWorkspace->mapToGlobal(QPoint(0, 0)),
                       m_boxBorderWorkspace->size());
    if (WorkspacesController *picker = workspacesController()) {
        picker->setFixedWidth(anchor.width());
        picker->setSelectedId(storedWorkspaceId());
    }
    m_popoverWorkspaces->show(anchor, Popover::Edge::Lower);
    m_eventMonitor->start();
    if (WorkspacesController *picker = workspacesController())
        picker->reload();
}

void MainViewController::closeWorkspacePopover()
{
    if (m_popoverWorkspaces->isShown())
        m_pickerClosedAt.start();
    m_popoverWorkspaces->performClose();
    m_eventMonitor->stop();
}

void MainViewController::resetLinks()
{
    setEmptyPanel(nullptr);
    logLines({QStringLiteral("resetting links with")});
    restartPaging();
    QTimer::singleShot(0, this, [this] { syncRows(0); });
    requestLinks();
}

QString MainViewController::storedWorkspaceId()
{
    return SettingsStore::shared()
        .dictionaryForKey(Preferences::workspaceObjectMainView)
        .value_or(QVariantMap())
        .value(QStringLiteral("id"))
        .toString();
}

void MainViewController::restartPaging()
{
    m_localLinkList.clear();
    m_reachedEnd = false;
    // A list loaded afresh starts at its top, where a link just made shows; going there now
    // also keeps the rows' removal from counting as a scroll to the top later.
    m_movingItself = true;
    m_scrollView->verticalScrollBar()->setValue(0);
    m_movingItself = false;
    m_footerRetry->hide();
    m_shownWorkspaceId = storedWorkspaceId();
    if (m_requestingLinks &&
        m_inFlight == PageRequest{std::nullopt, m_lastSearch, storedWorkspaceId()})
        return;
    // A page of another workspace, search or position no longer fits the list: its answer
    // is dropped and a fresh first page asked for.
    ++m_generation;
    m_requestingLinks = false;
    m_inFlight.reset();
}

void MainViewController::requestLinks()
{
    if (m_localLinkList.size() >= maxRows || m_reachedEnd) {
        m_footerScrollBox->hide();
        return;
    }
    logLines({QStringLiteral("requesting links")});
    if (m_requestingLinks)
        return;
    if (!m_localLinkList.isEmpty()) {
        m_footerRetry->hide();
        m_footerSpinner->show();
        m_footerScrollBox->show();
    }
    m_requestingLinks = true;
    logLines({m_has1Workspace, m_workspacesList.size()});
    if (m_has1Workspace || !m_workspacesList.isEmpty()) {
        if (m_has1Workspace)
            logLines({QStringLiteral("1 workspace")});
        const std::optional<QString> last =
            m_localLinkList.isEmpty() ? std::nullopt : std::optional(m_localLinkList.last().id);
        const quint64 generation = m_generation;
        const auto answer = [self = QPointer(this),
                             generation](const std::optional<QJsonArray> &l) {
            if (self)
                self->linksLoaded(l, generation);
        };
        // Without a usable token the client sends nothing and never answers (it refreshes
        // the token instead): the list must not wait for that answer.
        if (!ApiManager::shared().authentication().hasValidToken()) {
            logLines({QStringLiteral("no usable token, links not requested")});
            m_requestingLinks = false;
        } else {
            m_inFlight = PageRequest{last, m_lastSearch, storedWorkspaceId()};
        }
        // While a search is shown, paging and the top reload go on with the search.
        if (!m_lastSearch.isEmpty())
            ApiManager::shared().searchLinks(m_lastSearch, last, std::nullopt, answer);
        else
            ApiManager::shared().getLinks(last, std::nullopt, m_filterFavorite, answer);
        return;
    }
    // Nothing to ask for until a workspace load succeeds; asking for the workspaces from here
    // again would repeat the same answer without end.
    logLines({QStringLiteral("no workspaces, no load links")});
    m_footerScrollBox->hide();
    m_headerScrollBox->hide();
    m_requestingLinks = false;
    if (m_workspacesFailed)
        showLoadError();
}

void MainViewController::fillCreation(BrandedLinkDTO &link, const QDateTime &today)
{
    link.creationMinutes = link.creationHours = link.creationDays = 0;
    link.creationMonths = link.creationYears = 0;
    QDateTime created = QDateTime::fromString(link.createdAt, Qt::ISODateWithMs);
    if (!created.isValid() || created > today)
        return;
    created = created.toLocalTime();
    const QDateTime end = today.toLocalTime();
    qint64 years = end.date().year() - created.date().year();
    if (created.addYears(int(years)) > end)
        --years;
    QDateTime cursor = created.addYears(int(years));
    qint64 months = (end.date().year() - cursor.date().year()) * 12 + end.date().month() -
                    cursor.date().month();
    if (cursor.addMonths(int(months)) > end)
        --months;
    cursor = cursor.addMonths(int(months));
    qint64 days = cursor.daysTo(end);
    if (cursor.addDays(days) > end)
        --days;
    cursor = cursor.addDays(days);
    const qint64 seconds = cursor.secsTo(end);
    link.creationYears = years;
    link.creationMonths = months;
    link.creationDays = days;
    link.creationHours = seconds / 3600;
    link.creationMinutes = (seconds % 3600) / 60;
}

void MainViewController::linksLoaded(const std::optional<QJsonArray> &list, quint64 generation)
{
    if (generation != m_generation)
        return;
    m_requestingLinks = false;
    m_inFlight.reset();
    const bool reset = m_localLinkList.isEmpty();
    logLines({QStringLiteral("is a reset: ") +
              (reset ? QStringLiteral("true") : QStringLiteral("false"))});
    m_headerScrollBox->hide();
    if (!list) {
        // Failed or dropped: never shown as an empty list. A first page gives the error panel,
        // a next one keeps the rows and offers to ask again.
        logLines({QStringLiteral("links not loaded")});
        if (reset) {
            showLoadError();
        } else {
            m_footerSpinner->hide();
            m_footerRetry->show();
            m_footerScrollBox->show();
        }
        return;
    }
    m_today = Clock::current().now();
    const qsizetype before = m_localLinkList.size();
    for (const QJsonValue &value : *list) {
        BrandedLinkDTO link = BrandedLinkDTO::fromJson(value.toObject());
        link.multilineTitle = link.title;
        fillCreation(link, m_today);
        m_localLinkList.append(link);
    }
    // A short page is the last one: no more requests at the bottom of this list.
    m_reachedEnd = list->size() < pageSize;
    logLines({QStringLiteral("LOADED")});
    m_footerScrollBox->hide();
    if (m_localLinkList.isEmpty()) {
        logLines({QStringLiteral("NO LINKS")});
        // The panel says what the user is looking at: an empty search or an empty workspace.
        if (!m_lastSearch.isEmpty()) {
            logLines({QStringLiteral("was a search")});
            setEmptyPanel(m_noLinksSearchView);
        } else {
            logLines({QStringLiteral("was a population")});
            setEmptyPanel(m_nolinksListView);
        }
    } else {
        setEmptyPanel(nullptr);
        m_noWorkspacesView->hide();
    }
    // The dashboard row is drawn after the links (syncRows), never stored among them.
    syncRows(reset ? 0 : int(std::max<qsizetype>(0, before)));
}

int MainViewController::numberOfRows() const
{
    const qsizetype links = std::min<qsizetype>(m_localLinkList.size(), maxRows);
    return int(links) + (m_localLinkList.size() >= placeholderFrom ? 1 : 0);
}

BrandedLinkView *MainViewController::rowView(int row) const
{
    return row >= 0 && row < m_rows.size() && row < numberOfRows() ? m_rows.at(row) : nullptr;
}

void MainViewController::syncRows(int from)
{
    const int count = numberOfRows();
    const int links = int(std::min<qsizetype>(m_localLinkList.size(), maxRows));
    while (m_rows.size() < count) {
        auto *row = new BrandedLinkView;
        connect(row, &BrandedLinkView::favouriteChanged, this,
                &MainViewController::favouriteChanged);
        m_tableLayout->insertWidget(int(m_rows.size()), row);
        m_rows.append(row);
    }
    while (m_rows.size() > count)
        delete m_rows.takeLast();
    for (int row = std::max(0, from); row < links; ++row)
        m_rows.at(row)->configure(m_localLinkList.at(row), row);
    // The dashboard row, last.
    if (count > links)
        m_rows.at(links)->configure(m_emptyLink, links);
    if (m_selectedRow >= count)
        m_selectedRow = -1;
    if (m_selectedRow >= 0)
        m_rows.at(m_selectedRow)->setSelected(true);
}

void MainViewController::favouriteChanged(const QString &id, bool favourite)
{
    // The rows are drawn again from the list: it keeps what the service answered.
    for (BrandedLinkDTO &link : m_localLinkList) {
        if (link.id == id)
            link.favourite = favourite;
    }
}

void MainViewController::scrolled()
{
    logLines({QStringLiteral("scrolling")});
    if (m_popoverWorkspaces->isShown()) {
        logLines({QStringLiteral("showing workspaces")});
        return;
    }
    const QScrollBar *bar = m_scrollView->verticalScrollBar();
    const int y = bar->sliderPosition();
    const int visible = m_scrollView->viewport()->height();
    const int height = bar->maximum() + visible;
    logLines({QVariant(y)});
    const qsizetype count = m_localLinkList.size();
    if (y <= topEdge && count < maxRows) {
        logLines({QStringLiteral("top scroll")});
        m_headerScrollBox->show();
        restartPaging();
        requestLinks();
        return;
    }
    if (height - y != visible) {
        logLines({QStringLiteral("return -1")});
        return;
    }
    logLines({QStringLiteral("bottom scroll")});
    if (count >= maxRows || m_reachedEnd) {
        m_headerScrollBox->hide();
        m_footerScrollBox->hide();
        return;
    }
    requestLinks();
}

void MainViewController::updateSearchButton()
{
    const bool leaves = !m_ignoreSearch && !m_has1Workspace;
    m_searchButton->setIcon(
        Icons::icon(leaves ? QStringLiteral("ic-close") : QStringLiteral("ic-search")));
    const QString name = leaves ? QStringLiteral("Close search") : QStringLiteral("Search links");
    m_searchButton->setToolTip(name + QStringLiteral(" (/)"));
    m_searchButton->setAccessibleName(name);
}

void MainViewController::openSearchMode()
{
    m_ignoreSearch = false;
    m_textFieldSearch->show();
    m_boxBorderWorkspace->hide();
    m_textFieldSearch->setFocus();
    updateSearchButton();
}

void MainViewController::closeSearchMode()
{
    m_ignoreSearch = true;
    m_textFieldSearch->clearFocus();
    m_textFieldSearch->hide();
    m_boxBorderWorkspace->setVisible(!m_has1Workspace);
    {
        const QSignalBlocker quiet(m_textFieldSearch);
        m_textFieldSearch->clear();
    }
    m_lastSearch.clear();
    logLines({QStringLiteral("reset search")});
    updateSearchButton();
    setFocus();
    resetLinks();
}

void MainViewController::clearSearch()
{
    {
        const QSignalBlocker quiet(m_textFieldSearch);
        m_textFieldSearch->clear();
    }
    m_lastSearch.clear();
    logLines({QStringLiteral("reset search")});
    resetLinks();
}

void MainViewController::searchChanged()
{
    logLines({QStringLiteral("sent new search"), m_textFieldSearch->objectName()});
    const QString text = m_textFieldSearch->text();
    if (text == m_lastSearch || m_ignoreSearch) {
        logLines({QStringLiteral("ignoring search")});
        return;
    }
    m_lastSearch = text;
    if (text.isEmpty()) {
        logLines({QStringLiteral("empty search")});
        resetLinks();
        return;
    }
    setEmptyPanel(nullptr);
    restartPaging();
    m_headerScrollBox->show();
    requestLinks();
}

void MainViewController::accountLoaded(const std::optional<QJsonObject> &account)
{
    if (!account)
        return;
    const QJsonValue id = account->value(QLatin1String("id"));
    if (id.isString()) {
        logLines({QStringLiteral("setting userid")});
        if (CrashReporter *reporter = CrashReporter::shared())
            reporter->setUser(id.toString());
        std::puts("SENTRY: setting user data on");
        std::fflush(stdout);
        SettingsStore &store = SettingsStore::shared();
        store.setString(Preferences::userId, id.toString());
        store.synchronize();
    }
    const QJsonValue name = account->value(QLatin1String("fullName"));
    if (name.isString())
        m_accountNameButton->setText(name.toString());
    const QJsonValue avatar = account->value(QLatin1String("avatarUrl"));
    if (avatar.isString())
        setAvatar(m_avatarIcon, avatar.toString());
}

QString MainViewController::accountName() const
{
    return m_accountNameButton->text();
}

void MainViewController::accountDomainsLoaded(const std::optional<QJsonArray> &list)
{
    if (!list)
        return;
    logLines({QStringLiteral("updating domain list")});
    DefaultHelper::updateDomainNames(*list);
}

void MainViewController::setEmptyPanel(QWidget *shown)
{
    for (QWidget *panel : {m_nolinksListView, m_noLinksSearchView, m_linksErrorView})
        panel->setVisible(panel == shown);
    if (shown == m_noWorkspacesView)
        m_noWorkspacesView->show();
}

void MainViewController::addButton()
{
    logLines({QStringLiteral("creating new link controller")});
    NotificationCenter::shared().post(NotificationViews::closePopover);
    SettingsStore &store = SettingsStore::shared();
    store.setString(Preferences::newDestination, QString());
    store.synchronize();
    NotificationCenter::shared().post(NotificationViews::newLinkPopover);
}

void MainViewController::openDashboard()
{
    logLines({QStringLiteral("open dashboard")});
    Platform::current().workspace().openUrl(Config::current().dashboardHost);
}

void MainViewController::openAccountTab()
{
    logLines({QStringLiteral("open account tab")});
    QUrl page = Config::current().dashboardHost;
    page.setPath(Dashboard::accountSettingsPath);
    Platform::current().workspace().openUrl(page);
}

void MainViewController::select(int row)
{
    const int count = numberOfRows();
    if (count == 0)
        return;
    row = std::clamp(row, 0, count - 1);
    if (m_selectedRow >= 0 && m_selectedRow < m_rows.size())
        m_rows.at(m_selectedRow)->setSelected(false);
    m_selectedRow = row;
    m_rows.at(row)->setSelected(true);
    m_scrollView->ensureWidgetVisible(m_rows.at(row), 0, 0);
}

bool MainViewController::handleKey(QKeyEvent *event)
{
    const bool inSearch = m_textFieldSearch->hasFocus();
    BrandedLinkView *selected = rowView(m_selectedRow);
    switch (event->key()) {
    case Qt::Key_Down:
        select(m_selectedRow + 1);
        return true;
    case Qt::Key_Up:
        select(m_selectedRow - 1);
        return true;
    case Qt::Key_PageDown:
    case Qt::Key_PageUp: {
        // A page of rows; the selection moves, the view follows it and paging follows the view.
        const int page =
            std::max(1, m_scrollView->viewport()->height() / BrandedLinkView::rowHeight);
        select(std::max(0, m_selectedRow) + (event->key() == Qt::Key_PageDown ? page : -page));
        return true;
    }
    case Qt::Key_Home:
    case Qt::Key_End:
        if (inSearch)
            break;
        select(event->key() == Qt::Key_End ? numberOfRows() - 1 : 0);
        return true;
    case Qt::Key_Escape:
        if (!m_ignoreSearch && !m_has1Workspace) {
            closeSearchMode();
        } else if (m_has1Workspace && !m_textFieldSearch->text().isEmpty()) {
            clearSearch();
        } else {
            NotificationCenter::shared().post(NotificationViews::closePopover);
        }
        return true;
    case Qt::Key_F:
        if (event->modifiers() != Qt::ControlModifier)
            break;
        [[fallthrough]];
    case Qt::Key_Slash:
        if (inSearch)
            break;
        openSearchMode();
        return true;
    default:
        break;
    }
    if (inSearch || !selected)
        return false;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (selected->isPlaceholder())
            selected->openMoreDash();
        else
            selected->visitURL();
        return true;
    }
    if (event->matches(QKeySequence::Copy)) {
        selected->copyLink();
        return true;
    }
    if (event->key() == Qt::Key_Delete) {
        selected->openDeleteMenu();
        return true;
    }
    if (event->modifiers() == Qt::ControlModifier && event->key() == Qt::Key_D) {
        selected->loveLink();
        return true;
    }
    if (event->modifiers() == Qt::ControlModifier && event->key() == Qt::Key_E) {
        selected->editLink();
        return true;
    }
    return false;
}

bool MainViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return ViewControllerWithMenuHandler::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_textFieldSearch) {
        // The field keeps its own keys; arrows leave it for the list, Escape leaves search.
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            searchChanged();
            return true;
        }
        if (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up ||
            key->key() == Qt::Key_PageDown || key->key() == Qt::Key_PageUp ||
            key->key() == Qt::Key_Escape)
            return handleKey(key);
        return false;
    }
    if (watched == m_scrollView)
        return handleKey(key);
    return ViewControllerWithMenuHandler::eventFilter(watched, event);
}

void MainViewController::hideEvent(QHideEvent *event)
{
    ViewControllerWithMenuHandler::hideEvent(event);
    // The rows' share and QR popovers belong to the list: they go with it.
    NotificationCenter::shared().post(NotificationViews::closeSharePopup);
    NotificationCenter::shared().post(NotificationViews::closeQrPopup);
}

void MainViewController::keyPressEvent(QKeyEvent *event)
{
    if (!handleKey(event))
        ViewControllerWithMenuHandler::keyPressEvent(event);
}
