#include "Controllers/LinkList/WorkspaceBox.h"

#include "App/Costants.h"
#include "App/EventMonitor.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Controllers/LinkList/LinkListWidgets.h"
#include "Controllers/LinkList/WorkspacesController.h"
#include "Utils/DefaultHelper.h"
#include "Utils/Utils.h"
#include "Views/Icons.h"
#include "Views/Popover.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

using namespace Costants;

namespace {

// A press on the workspace name that closed the picker as an outside click does not open it
// again on its release.
constexpr qint64 kPickerReopenGraceMs = 400;

} // namespace

WorkspaceBox::WorkspaceBox(QWidget *parent)
    : QFrame(parent)
    , m_popoverWorkspaces(std::make_unique<Popover>())
    , m_eventMonitor(std::make_unique<EventMonitor>(EventMonitor::defaultMask,
                                                    [this](QEvent *) {
                                                        if (m_popoverWorkspaces->isShown())
                                                            closeWorkspacePopover();
                                                    }))
    , m_iconWorkspace(new QToolButton)
    , m_textWorkspace(new QPushButton)
    , m_caret(new QLabel)
{
    setObjectName(QStringLiteral("boxBorderWorkspace"));
    setFixedHeight(40);
    setStyleSheet(
        QStringLiteral("#boxBorderWorkspace { background: #F6F7F9; border: 1px solid #DDDDDD;"
                       " border-radius: 8px; }"));
    auto *box = new QHBoxLayout(this);
    box->setContentsMargins(8, 0, 10, 0);
    box->setSpacing(8);
    m_iconWorkspace->setObjectName(QStringLiteral("iconWorkspace"));
    m_iconWorkspace->setFixedSize(24, 24);
    m_iconWorkspace->setIconSize(QSize(24, 24));
    m_iconWorkspace->setAutoRaise(true);
    m_iconWorkspace->setFocusPolicy(Qt::NoFocus);
    m_iconWorkspace->setAccessibleName(QStringLiteral("Choose a workspace"));
    m_textWorkspace->setObjectName(QStringLiteral("textWorkspace"));
    m_textWorkspace->setFlat(true);
    m_textWorkspace->setFocusPolicy(Qt::TabFocus);
    m_textWorkspace->setCursor(Qt::PointingHandCursor);
    m_textWorkspace->setToolTip(QStringLiteral("Choose a workspace"));
    m_textWorkspace->setAccessibleName(QStringLiteral("Choose a workspace"));
    m_textWorkspace->setStyleSheet(QStringLiteral(
        "QPushButton { border: none; text-align: left; color: #1D1D1F; background: transparent; }"
        "QPushButton:focus { color: #2563EB; }"));
    m_caret->setPixmap(
        Icons::pixmap(QStringLiteral("ic-caret-down"), 16, Icons::normal, devicePixelRatioF()));
    m_caret->hide();
    box->addWidget(m_iconWorkspace);
    box->addWidget(m_textWorkspace, 1);
    box->addWidget(m_caret);
    connect(m_textWorkspace, &QPushButton::clicked, this, &WorkspaceBox::toggleWorkspacePopover);
    connect(m_iconWorkspace, &QToolButton::clicked, this, &WorkspaceBox::toggleWorkspacePopover);

    // The picker, with the light appearance of every popover.
    m_popoverWorkspaces->setWindowTitle(QStringLiteral("Quorvella workspaces"));
    // A pop-up, as a menu is: it leaves the list's window active, so choosing a workspace
    // (which hides the picker) is not taken for a click outside the program.
    m_popoverWorkspaces->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    m_popoverWorkspaces->setContentViewController(std::make_unique<WorkspacesController>());
}

WorkspaceBox::~WorkspaceBox() = default;

WorkspacesController *WorkspaceBox::workspacesController() const
{
    return qobject_cast<WorkspacesController *>(m_popoverWorkspaces->contentViewController());
}

bool WorkspaceBox::isPickerShown() const
{
    return m_popoverWorkspaces->isShown();
}

WorkspaceBox::Loaded WorkspaceBox::workspacesLoaded(const std::optional<QJsonArray> &list)
{
    if (!list) {
        // Offline or refused: the workspaces known stay as they are.
        m_workspacesFailed = true;
        return Loaded::failed;
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
    // Only the workspaces the list can show count: with none of them there is nothing to load,
    // and asking again would only bring the same answer.
    if (listed.isEmpty()) {
        showNoWorkspace();
        return Loaded::none;
    }
    if (listed.size() > 1) {
        m_iconWorkspace->setEnabled(true);
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
        return Loaded::several;
    }
    logLines({QStringLiteral("1 WORKSPACES")});
    m_has1Workspace = true;
    m_caret->hide();
    m_textWorkspace->setEnabled(false);
    hide();
    m_iconWorkspace->setEnabled(false);
    const QJsonObject workspace = listed.first().toObject();
    m_workspacesListDTO = {WorkspaceDTO::fromJson(workspace, 0)};
    m_textWorkspace->setText(workspace.value(QLatin1String("name")).toString());
    LinkListWidgets::setAvatar(m_iconWorkspace,
                               workspace.value(QLatin1String("avatarUrl")).toString());
    SettingsStore &store = SettingsStore::shared();
    store.setDictionary(Preferences::workspaceObjectMainView, workspace.toVariantMap());
    store.synchronize();
    return Loaded::one;
}

void WorkspaceBox::showNoWorkspace()
{
    m_textWorkspace->setText(QStringLiteral("No workspace"));
    show();
    m_textWorkspace->setEnabled(false);
    m_iconWorkspace->setEnabled(false);
    m_iconWorkspace->setIcon(QIcon());
    m_caret->hide();
    m_workspacesListDTO.clear();
}

void WorkspaceBox::showWorkspace(int index)
{
    const WorkspaceDTO &workspace = m_workspacesListDTO.at(index);
    m_textWorkspace->setText(workspace.name);
    LinkListWidgets::setAvatar(m_iconWorkspace, workspace.avatarURL);
}

int WorkspaceBox::indexOf(const QString &id) const
{
    if (id.isEmpty())
        return -1;
    for (qsizetype at = 0; at < m_workspacesList.size() && at < m_workspacesListDTO.size(); ++at) {
        if (m_workspacesList.at(at).toObject().value(QLatin1String("id")).toString() == id)
            return int(at);
    }
    return -1;
}

void WorkspaceBox::selectWorkspace(int index)
{
    m_indexSelectedWorkspace = index;
    SettingsStore &store = SettingsStore::shared();
    store.setDictionary(Preferences::workspaceObjectMainView,
                        m_workspacesList.at(index).toObject().toVariantMap());
    store.synchronize();
    logLines({QStringLiteral("SETTING NAME: ") + m_workspacesListDTO.at(index).name});
    showWorkspace(index);
}

void WorkspaceBox::toggleWorkspacePopover()
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
    const QRect anchor(mapToGlobal(QPoint(0, 0)), size());
    if (WorkspacesController *picker = workspacesController()) {
        picker->setFixedWidth(anchor.width());
        picker->setSelectedId(storedWorkspaceId());
    }
    m_popoverWorkspaces->show(anchor, Popover::Edge::Lower);
    m_eventMonitor->start();
    if (WorkspacesController *picker = workspacesController())
        picker->reload();
}

void WorkspaceBox::closeWorkspacePopover()
{
    if (m_popoverWorkspaces->isShown())
        m_pickerClosedAt.start();
    m_popoverWorkspaces->performClose();
    m_eventMonitor->stop();
}

QString WorkspaceBox::storedWorkspaceId()
{
    return SettingsStore::shared()
        .dictionaryForKey(Preferences::workspaceObjectMainView)
        .value_or(QVariantMap())
        .value(QStringLiteral("id"))
        .toString();
}
