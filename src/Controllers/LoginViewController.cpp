#include "Controllers/LoginViewController.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/ViewControllerFactory.h"
#include "Controllers/OauthViewController.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/Config.h"
#include "Views/WindowNoTitleBar.h"
#include "ui_LoginViewController.h"

#include <QPointer>

using namespace Costants;

namespace {
QPointer<WindowNoTitleBar> &openWindow()
{
    static QPointer<WindowNoTitleBar> window;
    return window;
}
} // namespace

WindowNoTitleBar *LoginViewController::signInWindow()
{
    WindowNoTitleBar *window = openWindow();
    return window && window->isOpen() ? window : nullptr;
}

LoginViewController::LoginViewController(QWidget *parent)
    : ViewControllerWithMenuHandler(parent)
    , m_ui(std::make_unique<Ui::LoginViewController>())
{
    m_ui->setupUi(this);
    connect(m_ui->loginButton, &QPushButton::clicked, this, &LoginViewController::loginAction);
    connect(m_ui->createAccountButton, &QPushButton::clicked, this,
            &LoginViewController::signupAction);
    connect(m_ui->openWebsiteButton, &QPushButton::clicked, this,
            &LoginViewController::openDashboard);
    connect(m_ui->settingsButton, &QToolButton::clicked, this,
            [this] { openSettings(m_ui->settingsButton); });
}

LoginViewController::~LoginViewController() = default;

void LoginViewController::viewWillAppear()
{
    // Enter or space signs in straight away.
    m_ui->loginButton->setFocus();
}

void LoginViewController::loginAction()
{
    Logger::shared().log({QStringLiteral("login")});
    openSignInWindow(false);
}

void LoginViewController::signupAction()
{
    Logger::shared().log({QStringLiteral("signup")});
    QUrl page = Config::current().dashboardHost;
    page.setPath(Dashboard::signUpPath);
    Platform::current().workspace().openUrl(page);
    NotificationCenter::shared().post(NotificationViews::closePopover);
}

void LoginViewController::openDashboard()
{
    Platform::current().workspace().openUrl(Config::current().dashboardHost);
}

void LoginViewController::openSignInWindow(bool isSignup)
{
    NotificationCenter::shared().post(NotificationViews::closePopover);
    if (WindowNoTitleBar *open = signInWindow()) {
        open->show();
        return;
    }
    std::unique_ptr<OauthViewController> controller =
        ViewControllerFactory::instantiate<OauthViewController>(
            QStringLiteral("OauthViewController"));
    controller->setIsSignup(isSignup);
    auto *window = new WindowNoTitleBar(std::move(controller));
    openWindow() = window;
    window->show();
}
