#include "Controllers/Preferences/PreferencesAccountController.h"

#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/ApiManager.h"
#include "Services/AuthenticationManager.h"
#include "Services/Config.h"
#include "Services/TokenManager.h"
#include "Views/HeaderTitle.h"

#include "ui_PreferencesAccountController.h"

#include <QPointer>

using namespace Costants;

PreferencesAccountController::PreferencesAccountController(QWidget *parent)
    : ViewControllerWithMenuHandler(parent)
    , m_ui(std::make_unique<Ui::PreferencesAccountController>())
{
    m_ui->setupUi(this);
    // The name and address come from the service: plain text, cut with "…" when too long.
    m_ui->usernameLabel->setFullText(QStringLiteral("Your name"));
    m_ui->emailLabel->setFullText(QStringLiteral("Your e-mail address"));
    connect(m_ui->openDashboardButton, &QPushButton::clicked, this,
            &PreferencesAccountController::openDashboardPreferences);
    connect(m_ui->signOutButton, &QPushButton::clicked, this,
            &PreferencesAccountController::signOutAction);
    for (QPushButton *button : {m_ui->openDashboardButton, m_ui->signOutButton})
        button->setCursor(Qt::PointingHandCursor);
    setHeaderTitleFont(m_ui->accountHeading);
    viewDidLoad();
}

PreferencesAccountController::~PreferencesAccountController() = default;

QString PreferencesAccountController::username() const
{
    return m_ui->usernameLabel->fullText();
}

QString PreferencesAccountController::email() const
{
    return m_ui->emailLabel->fullText();
}

void PreferencesAccountController::viewDidLoad()
{
    m_ui->openDashboardButton->setVisible(true);
    const SettingsStore &store = SettingsStore::shared();
    if (const std::optional<QString> fullName = store.stringForKey(Preferences::fullName)) {
        m_ui->usernameLabel->setFullText(*fullName);
        if (const std::optional<QString> email = store.stringForKey(Preferences::email))
            m_ui->emailLabel->setFullText(*email);
        return;
    }
    ApiManager &api = ApiManager::shared();
    if (api.internetStatus() == InternetStatus::notReachable)
        return;
    AuthenticationManager &authentication = AuthenticationManager::shared();
    if (!authentication.hasValidToken()) {
        authentication.refreshIfExpired();
        return;
    }
    if (!TokenManager::load())
        return;
    api.getAccount([pane = QPointer(this)](const std::optional<QJsonObject> &account) {
        if (pane)
            pane->showAccount(account);
    });
}

void PreferencesAccountController::showAccount(const std::optional<QJsonObject> &account)
{
    if (!account)
        return;
    SettingsStore &store = SettingsStore::shared();
    // Only texts are shown and kept: a null or a number is no name.
    const QJsonValue fullName = account->value(QLatin1String("fullName"));
    if (fullName.isString()) {
        m_ui->usernameLabel->setFullText(fullName.toString());
        store.setString(Preferences::fullName, fullName.toString());
    }
    const QJsonValue email = account->value(QLatin1String("email"));
    if (email.isString()) {
        store.setString(Preferences::email, email.toString());
        m_ui->emailLabel->setFullText(email.toString());
    }
    store.synchronize();
}

void PreferencesAccountController::openDashboardPreferences()
{
    QUrl url = Config::current().dashboardHost;
    url.setPath(QStringLiteral("/account/settings"));
    Platform::current().workspace().openUrl(url);
}

void PreferencesAccountController::signOutAction()
{
    // The window goes first: the sign-out resets what its panes show.
    if (QWidget *preferences = window(); preferences != this)
        preferences->close();
    signOut();
}
