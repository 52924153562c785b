#include "Controllers/AboutController.h"

#include "Platform/BundleInfo.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/ApiManager.h"
#include "Services/Config.h"
#include "Update/VersionChecker.h"

#include "ui_AboutController.h"

#include <QIcon>
#include <QKeySequence>
#include <QShortcut>

AboutController::AboutController(QObject *parent)
    : WindowContentController(parent)
    , m_view(std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint))
    , m_ui(std::make_unique<Ui::AboutView>())
{
    m_ui->setupUi(m_view.get());
    m_view->setObjectName(QStringLiteral("AboutController"));
    m_view->setStyleSheet(
        QStringLiteral("#AboutController { background: #FFFFFF; border: 1px solid #DDDDDD; }"
                       "QLabel#versionLabel { color: #6B6B6B; }"));
    m_ui->logoLabel->setPixmap(QIcon(QStringLiteral(":/icons/app-icon.svg")).pixmap(64, 64));
    connect(m_ui->closeButton, &QToolButton::clicked, this, &AboutController::closeRequested);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_view.get());
    connect(escape, &QShortcut::activated, this, &AboutController::closeRequested);
    connect(m_ui->websiteLink, &QLabel::linkActivated, this, &AboutController::openWebsite);
    connect(m_ui->supportLink, &QLabel::linkActivated, this, &AboutController::openSupport);
    connect(m_ui->checkUpdatesButton, &QPushButton::clicked, this, &AboutController::checkUpdates);
    viewDidLoad();
}

AboutController::~AboutController() = default;

void AboutController::viewDidLoad()
{
    m_ui->websiteLink->setVisible(true);
    m_ui->supportLink->setVisible(true);
    const QString version = Platform::current().bundle().shortVersion();
    if (version.isEmpty())
        return;
    m_ui->versionLabel->setText(QStringLiteral("version ") + version);
    m_ui->versionLabel->setText(m_ui->versionLabel->text() + QLatin1Char('d'));
}

QString AboutController::versionText() const
{
    return m_ui->versionLabel->text();
}

void AboutController::present()
{
    m_view->show();
    m_view->raise();
    m_view->activateWindow();
}

void AboutController::raise()
{
    present();
}

void AboutController::dismiss()
{
    m_view->hide();
}

void AboutController::openWebsite()
{
    Platform::current().workspace().openUrl(Config::current().website);
}

void AboutController::openSupport()
{
    Platform::current().workspace().openUrl(Config::current().supportPage);
}

void AboutController::checkUpdates()
{
    ApiManager::shared().getPlugins(
        [](const std::optional<QJsonObject> &document) { VersionChecker::checkVersion(document); });
}
