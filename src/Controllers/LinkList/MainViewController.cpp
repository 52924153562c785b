#include "Controllers/LinkList/MainViewController.h"

#include "App/Costants.h"
#include "App/CrashReporter.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Controllers/LinkList/AccountHeader.h"
#include "Controllers/LinkList/AutoReplaceDomainsRefresh.h"
#include "Controllers/LinkList/LinkListKeys.h"
#include "Controllers/LinkList/LinkListWidgets.h"
#include "Controllers/LinkList/LinkSearch.h"
#include "Controllers/LinkList/WorkspaceBox.h"
#include "Services/ApiManager.h"
#include "Utils/DefaultHelper.h"
#include "Views/ImageCache.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Costants;

namespace {

constexpr int kWidth = 358;
constexpr int kHeight = 518;

} // namespace

MainViewController::MainViewController(QWidget *parent)
    : ViewControllerWithMenuHandler(parent)
    , m_header(new AccountHeader)
    , m_workspaces(new WorkspaceBox)
    , m_search(new LinkSearch(m_workspaces, this, this))
    , m_pager(new LinkPager(m_workspaces))
    , m_keys(new LinkListKeys(m_pager, m_search, this))
{
    setObjectName(QStringLiteral("MainViewController"));
    setFixedSize(kWidth, kHeight);
    setFocusPolicy(Qt::StrongFocus);
    LinkListWidgets::paintWhite(this);

    // The header: the account row, then the workspace box or, in its place while searching,
    // the search field, and the search button.
    auto *header = new QWidget;
    LinkListWidgets::paintWhite(header);
    auto *second = new QHBoxLayout;
    second->setContentsMargins(0, 0, 0, 0);
    second->setSpacing(8);
    second->addWidget(m_workspaces, 1);
    second->addWidget(m_search->textFieldSearch(), 1);
    second->addWidget(m_search->searchButton());
    auto *headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(12, 12, 12, 12);
    headerLayout->setSpacing(12);
    headerLayout->addWidget(m_header);
    headerLayout->addLayout(second);
    auto *line = new QFrame;
    line->setFixedHeight(1);
    line->setStyleSheet(QStringLiteral("background: #E6E6E6;"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(line);
    layout->addWidget(m_pager, 1);
    m_workspaces->hide();

    connect(m_header, &AccountHeader::settingsRequested, this,
            [this](QWidget *button) { openSettings(button); });
    connect(m_search, &LinkSearch::termChanged, m_pager, &LinkPager::showTerm);
    connect(m_pager, &LinkPager::newLinkRequested, m_header, &AccountHeader::addButton);
    connect(m_pager, &LinkPager::dashboardRequested, m_header, &AccountHeader::openDashboard);
    connect(m_pager, &LinkPager::workspacesNeeded, this, &MainViewController::requestHeader);

    ImageCache::shared().setNetwork(ApiManager::shared().network());
    registerObservers();
}

MainViewController::~MainViewController()
{
    NotificationCenter::shared().removeObserver(this);
}

void MainViewController::registerObservers()
{
    NotificationCenter &center = NotificationCenter::shared();
    center.addObserver(this, NotificationViews::resetListLinks,
                       [this](const Notification &) { m_pager->resetLinks(); });
    center.addObserver(this, NotificationViews::workspaceSelection,
                       [this](const Notification &n) { changeWorkspace(n); });
    center.addObserver(this, NotificationViews::workspaceClosePopover,
                       [this](const Notification &) { m_workspaces->closeWorkspacePopover(); });
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
    if (m_search->isOpen())
        m_search->textFieldSearch()->setFocus();
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
    requestAccountDomains();
}

void MainViewController::requestAccountDomains()
{
    ApiManager::shared().getAccountDomains(
        [self = QPointer(this)](const std::optional<QJsonArray> &list) {
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
    const WorkspaceBox::Loaded loaded = m_workspaces->workspacesLoaded(list);
    if (loaded == WorkspaceBox::Loaded::failed) {
        // With no workspace known the list says it could not load, with a retry.
        m_pager->headerScrollBox()->hide();
        if (!m_workspaces->hasWorkspace())
            m_pager->showLoadError();
        return;
    }
    if (loaded == WorkspaceBox::Loaded::none) {
        m_search->disable();
        m_pager->showNoWorkspace();
        return;
    }
    m_pager->noWorkspacesView()->hide();
    m_search->setButtonEnabled(true);
    if (loaded == WorkspaceBox::Loaded::one) {
        // The search field replaces the workspace name.
        m_search->openSearchMode();
        logLines({QStringLiteral("set workspace(1), ask to reset links")});
        m_pager->resetLinks();
        return;
    }
    // A search the user is in stays, as long as it is about the same workspace.
    if (m_search->isOpen() && WorkspaceBox::storedWorkspaceId() == m_pager->shownWorkspaceId()) {
        logLines({QStringLiteral("keeping the search")});
        return;
    }
    m_workspaces->show();
    m_search->closeSearchMode();
    logLines({QStringLiteral("set workspace(n), ask to reset links")});
    m_pager->resetLinks();
}

void MainViewController::changeWorkspace(const Notification &notification)
{
    logLines({QStringLiteral("received change workspace")});
    const QVariant value = notification.userInfo.value(NotificationViews::workspaceSelectionIndex);
    if (notification.userInfo.isEmpty() || !value.isValid()) {
        requestAccountDomains();
        return;
    }
    logLines({QStringLiteral("new index: ") + QString::number(value.toInt())});
    m_workspaces->closeWorkspacePopover();
    // The picker may have loaded a newer list than this one: its row names the workspace by
    // id, and a position in the older list could be another workspace.
    const QString id =
        notification.userInfo.value(NotificationViews::workspaceSelectionId).toString();
    const int index = m_workspaces->indexOf(id);
    if (index >= 0) {
        selectWorkspace(index);
        return;
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
    m_pager->headerScrollBox()->show();
    m_pager->forgetShownWorkspace();
    requestWorkspaces();
}

void MainViewController::selectWorkspace(int index)
{
    m_pager->headerScrollBox()->show();
    m_workspaces->selectWorkspace(index);
    setFocus();
    m_pager->resetLinks();
}

void MainViewController::accountLoaded(const std::optional<QJsonObject> &account)
{
    m_header->accountLoaded(account);
}

void MainViewController::accountDomainsLoaded(const std::optional<QJsonArray> &list)
{
    if (!list)
        return;
    logLines({QStringLiteral("updating domain list")});
    DefaultHelper::updateDomainNames(*list);
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
    if (!m_keys->handleKey(event))
        ViewControllerWithMenuHandler::keyPressEvent(event);
}
