#pragma once

#include "Views/PickerView.h"

#include <QStringList>

class QLabel;
class QPushButton;
class QVBoxLayout;

// The plain domain picker: one row per active domain of the workspace and a way to add one
// on the dashboard. The owning form applies a choice; the picker changes nothing itself.
class DomainsController : public PickerView
{
    Q_OBJECT

public:
    explicit DomainsController(const QStringList &domainsList, QWidget *parent = nullptr);

    // A later load of the form's domains.
    virtual void setDomains(const QStringList &names);
    // The names in the order of the rows; a row's index refers to this list.
    [[nodiscard]] QStringList shownDomains() const { return m_domainsList; }
    [[nodiscard]] QWidget *row(int index) const;

    virtual void openDashboard();

protected:
    void showEvent(QShowEvent *event) override;
    void reloadRows();
    void openDashboardPage();

    QStringList m_domainsList;
    QVBoxLayout *m_layout;
    QWidget *m_rows;
    QWidget *m_scroll;
    QPushButton *m_dashboardButton;
};
