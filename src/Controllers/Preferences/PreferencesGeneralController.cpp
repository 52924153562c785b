#include "Controllers/Preferences/PreferencesGeneralController.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Controllers/Preferences/NeverRebrandList.h"
#include "Platform/Platform.h"
#include "Platform/UserNotificationCenter.h"
#include "Services/ApiManager.h"
#include "Services/AuthenticationManager.h"
#include "Utils/DefaultHelper.h"
#include "Views/ComboBoxAccessible.h"
#include "Views/HeaderTitle.h"

#include "ui_PreferencesGeneralController.h"

#include <QPointer>

using namespace Costants;
using namespace Costants::Preferences;

namespace {

// Positions of the pop-ups; the search runs from the last position to the first.
qsizetype positionOf(const QStringList &values, const std::optional<QString> &value)
{
    return value ? values.lastIndexOf(*value) : -1;
}

} // namespace

PreferencesGeneralController::PreferencesGeneralController(QWidget *parent)
    : ViewController(parent)
    , m_ui(std::make_unique<Ui::PreferencesGeneralController>())
{
    ComboBoxAccessible::install();
    m_ui->setupUi(this);
    for (QWidget *heading : {m_ui->generalHeading, m_ui->ruleHeading})
        setHeaderTitleFont(heading);
    for (QComboBox *popUp :
         {m_ui->rebrandOptionList, m_ui->workspaces, m_ui->domains, m_ui->slashtagOptions})
        popUp->setCursor(Qt::PointingHandCursor);
    // Below the rule and its defaults, above the closing spacer.
    m_ui->mainLayout->insertWidget(m_ui->mainLayout->count() - 1, new NeverRebrandList(this));
    connectCheckbox(m_ui->checkboxStartup, startup);
    connectCheckbox(m_ui->checkboxContextualMenu, contextualMenu);
    connectCheckbox(m_ui->checkboxAutomaticCopy, automaticCopy);
    connectCheckbox(m_ui->checkboxNotificationLinkCreated, notificationBrandedLink);
    connectCheckbox(m_ui->checkboxSkipRebranding, skipDuplicateCheck);
    // Only the user's choices act: filling and selecting by the program does not.
    connect(m_ui->rebrandOptionList, &QComboBox::activated, this,
            &PreferencesGeneralController::changeRebrandOption);
    connect(m_ui->workspaces, &QComboBox::activated, this,
            &PreferencesGeneralController::changeWorkspace);
    connect(m_ui->domains, &QComboBox::activated, this,
            &PreferencesGeneralController::changeDomain);
    connect(m_ui->slashtagOptions, &QComboBox::activated, this,
            &PreferencesGeneralController::changeSlashtagOption);
    loadPreferences();
}

PreferencesGeneralController::~PreferencesGeneralController() = default;

void PreferencesGeneralController::connectCheckbox(QCheckBox *checkbox, const QString &key)
{
    connect(checkbox, &QCheckBox::toggled, this, [key](bool checked) {
        SettingsStore &store = SettingsStore::shared();
        store.setBool(key, checked);
        store.synchronize();
    });
}

void PreferencesGeneralController::loadPreferences()
{
    SettingsStore &store = SettingsStore::shared();
    const std::pair<QCheckBox *, QString> checkboxes[] = {
        {m_ui->checkboxStartup, startup},
        {m_ui->checkboxContextualMenu, contextualMenu},
        {m_ui->checkboxAutomaticCopy, automaticCopy},
        {m_ui->checkboxNotificationLinkCreated, notificationBrandedLink},
        {m_ui->checkboxSkipRebranding, skipDuplicateCheck}};
    for (const auto &[checkbox, key] : checkboxes) {
        const QSignalBlocker blocker(checkbox);
        checkbox->setChecked(store.boolForKey(key));
    }

    const qsizetype slashtag =
        positionOf(OptionsRebrand::slashtagOptions, store.stringForKey(optionSlashtagRebrand));
    if (slashtag >= 0) {
        m_ui->slashtagOptions->setCurrentIndex(static_cast<int>(slashtag));
    } else {
        m_ui->slashtagOptions->setCurrentIndex(1);
        store.setString(optionSlashtagRebrand, OptionsRebrand::slashtagOptions.at(1));
        store.synchronize();
    }

    const qsizetype rule =
        positionOf(OptionsRebrand::rebrandOptions, store.stringForKey(optionActive));
    if (rule >= 0)
        m_ui->rebrandOptionList->setCurrentIndex(static_cast<int>(rule));

    fetchWorkspaces();
}

void PreferencesGeneralController::changeRebrandOption()
{
    const int index = m_ui->rebrandOptionList->currentIndex();
    if (index < 0) {
        logLines({QStringLiteral("no index selected")});
        return;
    }
    SettingsStore &store = SettingsStore::shared();
    store.setString(optionActive, OptionsRebrand::rebrandOptions.at(index));
    store.synchronize();
    Platform::current().userNotificationCenter().removeAllDeliveredNotifications();
    updateRuleControls();
}

void PreferencesGeneralController::updateRuleControls()
{
    const int index = m_ui->rebrandOptionList->currentIndex();
    if (index < 0) {
        logLines({QStringLiteral("no index selected")});
        return;
    }
    const bool visible = OptionsRebrand::rebrandOptions.at(index) != OptionsRebrand::doNothing;
    for (QWidget *control :
         {static_cast<QWidget *>(m_ui->workspaceLabel), static_cast<QWidget *>(m_ui->workspaces),
          static_cast<QWidget *>(m_ui->domainLabel), static_cast<QWidget *>(m_ui->domains),
          static_cast<QWidget *>(m_ui->slashtagLabel),
          static_cast<QWidget *>(m_ui->slashtagOptions)})
        control->setVisible(visible);
}

void PreferencesGeneralController::changeSlashtagOption()
{
    const int index = m_ui->slashtagOptions->currentIndex();
    if (index < 0)
        return;
    SettingsStore &store = SettingsStore::shared();
    store.setString(optionSlashtagRebrand, OptionsRebrand::slashtagOptions.at(index));
    store.synchronize();
}

void PreferencesGeneralController::fetchWorkspaces()
{
    ApiManager &api = ApiManager::shared();
    if (api.internetStatus() != InternetStatus::reachable) {
        m_workspacesList.clear();
        m_ui->workspaces->clear();
        updateRuleControls();
        return;
    }
    AuthenticationManager &authentication = AuthenticationManager::shared();
    if (!authentication.hasValidToken()) {
        authentication.refreshIfExpired();
        return;
    }
    // The pane may be replaced before the answer comes.
    api.getWorkspaces([pane = QPointer(this)](const std::optional<QJsonArray> &list) {
        if (pane)
            pane->fillWorkspaces(list);
    });
}

QString PreferencesGeneralController::workspaceTitle(const QJsonObject &workspace,
                                                     const QStringList &earlierTitles)
{
    const QString name = workspace.value(QLatin1String("name")).toString();
    if (!earlierTitles.contains(name))
        return name;
    return name + QStringLiteral(" (") + workspace.value(QLatin1String("id")).toString().left(8) +
           QStringLiteral("... )");
}

void PreferencesGeneralController::fillWorkspaces(const std::optional<QJsonArray> &list)
{
    m_workspacesList.clear();
    m_ui->workspaces->clear();
    if (!list) {
        updateRuleControls();
        return;
    }
    QStringList titles;
    for (const QJsonValue &value : *list) {
        const QJsonObject workspace = value.toObject();
        const QJsonValue type = workspace.value(QLatin1String("type"));
        if (!type.isUndefined() && type != QJsonValue(QStringLiteral("classic")))
            continue;
        if (!workspace.value(QLatin1String("name")).isString())
            continue;
        // Without an id no domains can be asked for, nor links created in it.
        const QJsonValue id = workspace.value(QLatin1String("id"));
        if (!id.isString() || id.toString().isEmpty())
            continue;
        const QString title = workspaceTitle(workspace, titles);
        titles.append(title);
        m_workspacesList.append(workspace);
        m_ui->workspaces->addItem(title);
    }
    m_ui->workspaces->setEnabled(true);
    if (m_workspacesList.isEmpty()) {
        updateRuleControls();
        return;
    }
    QJsonArray objects;
    for (const QJsonObject &workspace : std::as_const(m_workspacesList))
        objects.append(workspace);
    const int index = DefaultHelper::chooseDefaultWorkspace(objects, workspaceObjectAutoReplace);
    if (index >= 0) {
        m_ui->workspaces->setCurrentIndex(index);
        fetchDomains(m_workspacesList.at(index).value(QLatin1String("id")).toString());
    }
    updateRuleControls();
}

void PreferencesGeneralController::changeWorkspace()
{
    const int index = m_ui->workspaces->currentIndex();
    logLines({QStringLiteral("changed workspace to index: ") + QString::number(index)});
    if (index < 0 || index >= m_workspacesList.size()) {
        logLines({QStringLiteral("no index selected")});
        return;
    }
    const QJsonObject &workspace = m_workspacesList.at(index);
    const QJsonValue name = workspace.value(QLatin1String("name"));
    const QJsonValue id = workspace.value(QLatin1String("id"));
    logLines({name.isString() ? name.toString() : QStringLiteral("no workspace name index found"),
              id.isString() ? id.toString() : QStringLiteral("no workspace id index found")});
    SettingsStore &store = SettingsStore::shared();
    store.setDictionary(workspaceObjectAutoReplace, workspace.toVariantMap());
    store.synchronize();
    // The default domain belongs to the workspace it was chosen in.
    store.remove(domainObjectAutoReplace);
    store.synchronize();
    fetchDomains(id.toString());
}

void PreferencesGeneralController::fetchDomains(const QString &workspaceId)
{
    ApiManager &api = ApiManager::shared();
    if (api.internetStatus() != InternetStatus::reachable) {
        fillDomains(std::nullopt);
        return;
    }
    AuthenticationManager &authentication = AuthenticationManager::shared();
    if (!authentication.hasValidToken()) {
        authentication.refreshIfExpired();
        return;
    }
    api.getDomains(workspaceId, [pane = QPointer(this),
                                 workspaceId](const std::optional<QJsonArray> &list, int) {
        if (pane)
            pane->domainsAnswered(workspaceId, list);
    });
}

void PreferencesGeneralController::domainsAnswered(const QString &workspaceId,
                                                   const std::optional<QJsonArray> &list)
{
    // A late answer for a workspace chosen before would list, and store as the default, a
    // domain of another workspace than the automatic one.
    const int index = m_ui->workspaces->currentIndex();
    if (index < 0 || index >= m_workspacesList.size() ||
        m_workspacesList.at(index).value(QLatin1String("id")).toString() != workspaceId) {
        logLines({QStringLiteral("domains of a workspace no longer chosen: ") + workspaceId});
        return;
    }
    fillDomains(list);
}

void PreferencesGeneralController::fillDomains(const std::optional<QJsonArray> &list)
{
    logLines({QStringLiteral("setting domains")});
    m_ui->domains->clear();
    if (!list)
        return;
    QList<Domain> domains;
    QStringList titles;
    QJsonArray objects;
    for (const QJsonValue &value : *list) {
        const QJsonObject domain = value.toObject();
        const QJsonValue fullName = domain.value(QLatin1String("fullName"));
        const QJsonValue id = domain.value(QLatin1String("id"));
        logLines({fullName.isString() ? fullName.toString() : QStringLiteral("domain fullname")});
        const QJsonValue active = domain.value(QLatin1String("active"));
        if (!active.isBool() || !active.toBool() || !fullName.isString() || !id.isString())
            continue;
        domains.append(Domain{fullName.toString(), id.toString()});
        titles.append(fullName.toString());
        objects.append(
            QJsonObject{{QStringLiteral("fullName"), fullName}, {QStringLiteral("id"), id}});
    }
    m_domainsList = domains;
    m_ui->domains->addItems(titles);
    m_ui->domains->setEnabled(true);
    int index = DefaultHelper::checkDefaultDomain(objects);
    if (index < 0 && !domains.isEmpty()) {
        // The stored default is none of this workspace's domains, so automatic creation would
        // be refused: the first one, which the pop-up shows, takes its place.
        SettingsStore &store = SettingsStore::shared();
        store.setData(domainObjectAutoReplace, domains.first().encoded());
        store.synchronize();
        index = 0;
    }
    if (index >= 0)
        m_ui->domains->setCurrentIndex(index);
}

void PreferencesGeneralController::changeDomain()
{
    const int index = m_ui->domains->currentIndex();
    if (index < 0 || index >= m_domainsList.size()) {
        logLines({QStringLiteral("no index selected")});
        return;
    }
    SettingsStore &store = SettingsStore::shared();
    store.setData(domainObjectAutoReplace, m_domainsList.at(index).encoded());
    store.synchronize();
}
