#include "Controllers/SignIn/LoginViewController.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/ViewControllerFactory.h"
#include "Controllers/SignIn/OauthViewController.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/Config.h"
#include "Views/HeaderTitle.h"
#include "Views/Icons.h"
#include "Views/WindowNoTitleBar.h"
#include "ui_LoginViewController.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>

using namespace Costants;

namespace {
QPointer<WindowNoTitleBar> &openWindow()
{
    static QPointer<WindowNoTitleBar> window;
    return window;
}

// The white canvas, the accent "Sign in" and the accent links. Every button keeps a 2 px border
// that only the keyboard focus colours, so the focus ring never moves the layout.
const QString kStyle = QStringLiteral(
    "#mainView { background: #FFFFFF; }"
    "QLabel#subtitleLabel, QLabel#orButton { color: #6B6B6B; }"
    "QPushButton#loginButton { background: #2563EB; color: #FFFFFF; border: 2px solid #2563EB;"
    " border-radius: 6px; padding: 0 16px; }"
    "QPushButton#loginButton:hover { background: #1D4ED8; border-color: #1D4ED8; }"
    "QPushButton#loginButton:focus { border-color: #1E3A8A; }"
    "QPushButton#loginButton:pressed { background: #1E40AF; }"
    "QPushButton[flat=\"true\"] { color: #2563EB; background: transparent;"
    " border: 2px solid transparent; border-radius: 4px; padding: 2px 8px; }"
    "QPushButton[flat=\"true\"]:hover { text-decoration: underline; }"
    "QPushButton[flat=\"true\"]:focus { border-color: #2563EB; }"
    "QToolButton#settingsButton { border: 2px solid transparent; border-radius: 4px;"
    " padding: 2px; }"
    "QToolButton#settingsButton:hover { background: #F6F7F9; }"
    "QToolButton#settingsButton:focus { border-color: #2563EB; }");
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
    setStyleSheet(kStyle);
    setHeaderTitleFont(m_ui->titleLabel);
    QFont secondary = m_ui->subtitleLabel->font();
    secondary.setPointSizeF(secondary.pointSizeF() * 0.9);
    m_ui->subtitleLabel->setFont(secondary);
    m_ui->orButton->setFont(secondary);
    // Drawn at the screen's scale, so the logo stays sharp at 2x.
    m_ui->logoLabel->setPixmap(QIcon(QStringLiteral(":/icons/app-icon.svg"))
                                   .pixmap(QSize(48, 48), qApp->devicePixelRatio()));
    m_ui->settingsButton->setIcon(Icons::icon(QStringLiteral("ic-settings")));
    m_ui->settingsButton->setIconSize(QSize(20, 20));
    for (QWidget *pressable :
         {static_cast<QWidget *>(m_ui->settingsButton), static_cast<QWidget *>(m_ui->loginButton),
          static_cast<QWidget *>(m_ui->createAccountButton),
          static_cast<QWidget *>(m_ui->openWebsiteButton)})
        pressable->setCursor(Qt::PointingHandCursor);
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

void LoginViewController::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        NotificationCenter::shared().post(NotificationViews::closePopover);
        return;
    }
    ViewControllerWithMenuHandler::keyPressEvent(event);
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
