#include "Controllers/SignIn/NoInternetViewController.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "Views/Icons.h"
#include "ui_NoInternetViewController.h"

NoInternetViewController::NoInternetViewController(QWidget *parent)
    : ViewControllerWithMenuHandler(parent)
    , m_ui(std::make_unique<Ui::NoInternetViewController>())
{
    m_ui->setupUi(this);
    m_ui->settings->setIcon(Icons::icon(QStringLiteral("ic-settings")));
    m_ui->settings->setIconSize(QSize(20, 20));
    m_ui->settings->setCursor(Qt::PointingHandCursor);
    m_ui->settings->setStyleSheet(
        QStringLiteral("QToolButton { border: 2px solid transparent; border-radius: 4px; }"
                       "QToolButton:focus { border-color: #2563EB; }"));
    connect(m_ui->cancelButton, &QPushButton::clicked, this,
            &NoInternetViewController::cancelAction);
    connect(m_ui->settings, &QToolButton::clicked, this, [this] { openSettings(m_ui->settings); });
}

NoInternetViewController::~NoInternetViewController() = default;

void NoInternetViewController::cancelAction()
{
    Logger::shared().log({QStringLiteral("exit")});
    NotificationCenter::shared().post(Costants::NotificationViews::closePopover);
}
