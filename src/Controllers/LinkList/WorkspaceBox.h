#pragma once

#include "Services/WorkspaceDTO.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QJsonArray>
#include <QList>

#include <memory>
#include <optional>

class EventMonitor;
class Popover;
class QLabel;
class QPushButton;
class QToolButton;
class WorkspacesController;

// The workspace of the link list: the box with its name, avatar and caret, the picker it
// opens, and which workspaces the account has. The chosen one is kept in the settings store
// under "workspaceObjectMainView", where the client reads it for every link request.
class WorkspaceBox : public QFrame
{
    Q_OBJECT

public:
    // What a workspace load found, for the list to follow.
    enum class Loaded { failed, none, several, one };

    explicit WorkspaceBox(QWidget *parent = nullptr);
    ~WorkspaceBox() override;

    [[nodiscard]] Loaded workspacesLoaded(const std::optional<QJsonArray> &list);
    // Nothing to choose: the box stays, quiet, and says so.
    void showNoWorkspace();
    // Position of the workspace with this id in the lists, -1 when it is not there.
    [[nodiscard]] int indexOf(const QString &id) const;
    // Stores the workspace at this position as the chosen one and shows it.
    void selectWorkspace(int index);
    void toggleWorkspacePopover();
    void closeWorkspacePopover();

    [[nodiscard]] bool hasOneWorkspace() const { return m_has1Workspace; }
    // A workspace whose links can be asked for is known.
    [[nodiscard]] bool hasWorkspace() const
    {
        return m_has1Workspace || !m_workspacesList.isEmpty();
    }
    // The last load failed and no workspace is known from before.
    [[nodiscard]] bool failedWithNone() const { return m_workspacesFailed && !hasWorkspace(); }
    [[nodiscard]] bool isPickerShown() const;
    [[nodiscard]] const QJsonArray &workspacesList() const { return m_workspacesList; }
    [[nodiscard]] const QList<WorkspaceDTO> &workspacesListDTO() const
    {
        return m_workspacesListDTO;
    }
    [[nodiscard]] QPushButton *textWorkspace() const { return m_textWorkspace; }
    [[nodiscard]] Popover *popoverWorkspaces() const { return m_popoverWorkspaces.get(); }
    [[nodiscard]] WorkspacesController *workspacesController() const;
    [[nodiscard]] static QString storedWorkspaceId();

private:
    void showWorkspace(int index);

    QJsonArray m_workspacesList;
    QList<WorkspaceDTO> m_workspacesListDTO;
    bool m_has1Workspace = false;
    bool m_workspacesFailed = false;
    int m_indexSelectedWorkspace = -1;
    QElapsedTimer m_pickerClosedAt;
    std::unique_ptr<Popover> m_popoverWorkspaces;
    std::unique_ptr<EventMonitor> m_eventMonitor;
    QToolButton *m_iconWorkspace;
    QPushButton *m_textWorkspace;
    QLabel *m_caret;
};
