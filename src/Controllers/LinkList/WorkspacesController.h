#pragma once

#include "Services/WorkspaceDTO.h"
#include "Views/PickerView.h"

#include <QJsonArray>
#include <QList>

#include <optional>

class QVBoxLayout;

// The workspace picker under the link list's workspace name: one row per workspace. It
// reloads the list each time it opens, and when the workspaces changed it queues them for the
// background domain check. A click outside it asks the list to close it.
class WorkspacesController : public PickerView
{
    Q_OBJECT

public:
    explicit WorkspacesController(QWidget *parent = nullptr);
    ~WorkspacesController() override;

    void setLocalWorkspaceList(const QList<WorkspaceDTO> &list);
    [[nodiscard]] const QList<WorkspaceDTO> &localWorkspaceList() const
    {
        return m_localWorkspaceList;
    }
    void reload();
    void workspacesAnswered(const std::optional<QJsonArray> &answer);
    [[nodiscard]] int rowCount() const;
    // The workspace the list shows, marked in the picker.
    void setSelectedId(const QString &id);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void update(const QList<WorkspaceDTO> &list);
    void reloadTable();

    QList<WorkspaceDTO> m_localWorkspaceList;
    QVBoxLayout *m_rows;
    bool m_isReloading = false;
    QString m_selectedId;
};
