#pragma once

#include "Controllers/LinkForms/DomainsController.h"

class QLineEdit;

// The domain picker for six domains or more: the same rows under a search field. The list
// shown is announced with "qv-domains-list" each time it changes, so a row's index always
// names the domain in that row.
class Domains2Controller : public DomainsController
{
    Q_OBJECT

public:
    explicit Domains2Controller(const QStringList &domainsList, QWidget *parent = nullptr);

    void setDomains(const QStringList &names) override;
    void openDashboard() override;
    [[nodiscard]] QLineEdit *textSearch() const { return m_textSearch; }

    void controlTextDidChange();
    void postSearch();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void show(const QStringList &names);

    QStringList m_allDomains;
    QLineEdit *m_textSearch;
    QWidget *m_promoBox;
};
