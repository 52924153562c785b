#include "Controllers/LinkList/WorkspacesController.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Services/ApiManager.h"
#include "Utils/BackgroundTasks.h"
#include "Utils/Utils.h"
#include "Views/WorkspaceLinkView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Costants;

namespace {

// After an update the domains of the listed workspaces are read again, a little later.
constexpr int kDomainCheckDelayMs = 2000;

} // namespace

WorkspacesController::WorkspacesController(QWidget *parent)
    : PickerView(parent)
    , m_rows(new QVBoxLayout(this))
{
    setObjectName(QStringLiteral("WorkspacesController"));
    setFixedWidth(240);
    m_rows->setContentsMargins(0, 6, 0, 6);
    m_rows->setSpacing(0);
    // The local monitor: a press anywhere in the program outside the picker closes it.
    qApp->installEventFilter(this);
}

WorkspacesController::~WorkspacesController()
{
    qApp->removeEventFilter(this);
}

bool WorkspacesController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && isVisible() && watched->isWidgetType()) {
        const auto *press = static_cast<QMouseEvent *>(event);
        const QRect area(mapToGlobal(QPoint(0, 0)), size());
        if (!area.contains(press->globalPosition().toPoint()))
            NotificationCenter::shared().post(NotificationViews::workspaceClosePopover);
    }
    return false; // the event goes on unchanged
}

void WorkspacesController::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        NotificationCenter::shared().post(NotificationViews::workspaceClosePopover);
    else
        PickerView::keyPressEvent(event);
}

void WorkspacesController::showEvent(QShowEvent *event)
{
    PickerView::showEvent(event);
    // The keyboard starts on the workspace shown.
    for (int at = 0; at < m_rows->count(); ++at) {
        auto *row = qobject_cast<WorkspaceLinkView *>(m_rows->itemAt(at)->widget());
        if (row && (row->id == m_selectedId || at == 0))
            row->name()->setFocus();
    }
}

int WorkspacesController::rowCount() const
{
    return m_rows->count();
}

void WorkspacesController::setLocalWorkspaceList(const QList<WorkspaceDTO> &list)
{
    m_localWorkspaceList = list;
    reloadTable();
}

void WorkspacesController::setSelectedId(const QString &id)
{
    m_selectedId = id;
    reloadTable();
}

void WorkspacesController::reloadTable()
{
    while (QLayoutItem *item = m_rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const WorkspaceDTO &workspace : std::as_const(m_localWorkspaceList)) {
        auto *row = new WorkspaceLinkView;
        row->configure(workspace);
        row->setCurrent(workspace.id == m_selectedId);
        m_rows->addWidget(row);
    }
    adjustSize();
    if (QWidget *window = this->window(); window != this)
        window->adjustSize();
}

void WorkspacesController::reload()
{
    if (m_isReloading)
        logLines({QStringLiteral("already reloading workspaces")});
    m_isReloading = true;
    if (ApiManager::shared().internetStatus() != InternetStatus::reachable)
        return;
    ApiManager::shared().getWorkspaces(
        [self = QPointer(this)](const std::optional<QJsonArray> &answer) {
            if (self)
                self->workspacesAnswered(answer);
        });
}

void WorkspacesController::workspacesAnswered(const std::optional<QJsonArray> &answer)
{
    if (!answer)
        return;
    QList<WorkspaceDTO> fresh;
    for (const QJsonValue &value : *answer) {
        const QJsonObject workspace = value.toObject();
        if (WorkspaceDTO::isListed(workspace))
            fresh.append(WorkspaceDTO::fromJson(workspace, fresh.size()));
    }
    if (fresh.size() != m_localWorkspaceList.size()) {
        logLines({QStringLiteral("different count, updating list")});
        update(fresh);
        return;
    }
    if (fresh.isEmpty()) {
        logLines({QStringLiteral("no need to update workspaces list")});
        return;
    }
    const bool changed = std::any_of(fresh.cbegin(), fresh.cend(), [this](const WorkspaceDTO &w) {
        return std::none_of(
            m_localWorkspaceList.cbegin(), m_localWorkspaceList.cend(),
            [&w](const WorkspaceDTO &known) { return known.name == w.name && known.id == w.id; });
    });
    if (changed)
        update(fresh);
}

void WorkspacesController::update(const QList<WorkspaceDTO> &list)
{
    SettingsStore &store = SettingsStore::shared();
    store.remove(Preferences::workspaceIdsListCheckedDomains);
    store.synchronize();
    m_localWorkspaceList = list;
    reloadTable();
    QStringList ids;
    for (const WorkspaceDTO &workspace : list)
        ids.append(workspace.id);
    store.setStringArray(Preferences::workspaceIdsListToCheckDomains, ids);
    store.synchronize();
    QTimer::singleShot(kDomainCheckDelayMs, qApp, [] { BackgroundTasks::run(); });
}
