#pragma once

#include "Services/WorkspaceDTO.h"

#include <QWidget>

class QLabel;
class QPushButton;

// One workspace of the picker: avatar and name. A click posts "qv-workspace-selection" with
// the workspace's index and id; the link list applies it.
class WorkspaceLinkView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int rowHeight = 36;

    explicit WorkspaceLinkView(QWidget *parent = nullptr);

    void configure(const WorkspaceDTO &workspace);
    void selectWorkspace();
    // The workspace the list shows now: its name in the accent colour.
    void setCurrent(bool current);

    [[nodiscard]] QPushButton *name() const { return m_name; }
    [[nodiscard]] QLabel *icon() const { return m_icon; }
    qint64 index = 0;
    QString id;

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_icon;
    QPushButton *m_name;
    QString m_avatarUrl;
    bool m_hovered = false;
};
