#pragma once

#include "Controllers/LinkForms/LinkFormView.h"

#include <QJsonArray>

class QLabel;

// The form that creates one branded link by hand: first the destination alone, then, once
// it is confirmed, the proposed slashtag and title and the workspace's domains.
class NewLink2Controller : public LinkFormView
{
    Q_OBJECT

public:
    static constexpr int collapsedHeight = 213;
    static constexpr int expandedHeight = 486;

    explicit NewLink2Controller(QWidget *parent = nullptr);

    void viewWillAppear() override;

    void controlTextDidChange();
    void askForSlug();
    void createBrandedLink();

    [[nodiscard]] bool isExpanded() const { return m_alreadyOpen; }
    [[nodiscard]] QString workspaceId() const { return m_wId; }

protected:
    void submit() override;

private:
    void load();
    void domainsStep();
    void restoreRememberedDomain();
    void domainChosen();
    void setExpandedVisible(bool visible);
    void duplicatesFound(const std::optional<QJsonArray> &links);
    void titleProposed(int round, const std::optional<QString> &title);
    void slashtagProposed(int round, const std::optional<QString> &slashtag);
    void creationRefused(const QString &property, const QString &message);

    QPushButton *m_fakeSubmitBtn;
    QLabel *m_hintLabel;
    QString m_destinationURL;
    QString m_wId;
    bool m_loaded = false;
    bool m_alreadyOpen = false;
    bool m_hasExpanded = false;
    // Proposals of an earlier confirmation must not overwrite those of a later one.
    int m_round = 0;
};
