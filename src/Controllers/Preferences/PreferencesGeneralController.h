#pragma once

#include "Services/Domain.h"
#include "Views/ViewController.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>

#include <memory>
#include <optional>

class QCheckBox;

namespace Ui {
class PreferencesGeneralController;
}

// The general pane: five on/off choices, the rebrand rule, and for the rules that create
// links the default workspace, domain and slashtag strategy. It only reads and writes the
// settings store; the parts that act on the choices read them there.
class PreferencesGeneralController : public ViewController
{
    Q_OBJECT

public:
    explicit PreferencesGeneralController(QWidget *parent = nullptr);
    ~PreferencesGeneralController() override;

    void changeRebrandOption();
    void changeWorkspace();
    void changeDomain();
    void changeSlashtagOption();

    void fillWorkspaces(const std::optional<QJsonArray> &list);
    void fillDomains(const std::optional<QJsonArray> &list);

    [[nodiscard]] const QList<QJsonObject> &workspacesList() const { return m_workspacesList; }
    [[nodiscard]] const QList<Domain> &domainsList() const { return m_domainsList; }

private:
    void loadPreferences();
    void connectCheckbox(QCheckBox *checkbox, const QString &key);
    void updateRuleControls();
    void fetchWorkspaces();
    void fetchDomains(const QString &workspaceId);
    void domainsAnswered(const QString &workspaceId, const std::optional<QJsonArray> &list);
    [[nodiscard]] static QString workspaceTitle(const QJsonObject &workspace,
                                                const QStringList &earlierTitles);

    std::unique_ptr<Ui::PreferencesGeneralController> m_ui;
    QList<QJsonObject> m_workspacesList;
    QList<Domain> m_domainsList;
};
