#include "Controllers/Preferences/AboutController.h"

#include "Platform/BundleInfo.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/ApiManager.h"
#include "Services/Config.h"
#include "Update/VersionChecker.h"
#include "Views/HeaderTitle.h"
#include "Views/Icons.h"

#include "ui_AboutController.h"

#include <QApplication>
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
    // The popovers' canvas and accent; buttons keep a 2 px border that only the keyboard focus
    // colours, so the focus ring never moves the layout.
    m_view->setStyleSheet(QStringLiteral(
        "#AboutController { background: #FFFFFF; border: 1px solid #DDDDDD; }"
        "QLabel#versionLabel { color: #6B6B6B; }"
        "QPushButton#checkUpdatesButton { background: #2563EB; color: #FFFFFF;"
        " border: 2px solid #2563EB; border-radius: 6px; padding: 6px 16px; }"
        "QPushButton#checkUpdatesButton:hover { background: #1D4ED8; border-color: #1D4ED8; }"
        "QPushButton#checkUpdatesButton:focus { border-color: #1E3A8A; }"
        "QToolButton#closeButton { border: 2px solid transparent; border-radius: 4px; }"
        "QToolButton#closeButton:hover { background: #F6F7F9; }"
        "QToolButton#closeButton:focus { border-color: #2563EB; }"
        "QLabel#websiteLink:focus, QLabel#supportLink:focus { border: 2px solid #2563EB;"
        " border-radius: 4px; }"));
    QPalette links = m_view->palette();
    links.setColor(QPalette::Link, Icons::accent);
    m_view->setPalette(links);
    setHeaderTitleFont(m_ui->nameLabel);
    QFont secondary = m_ui->versionLabel->font();
    secondary.setPointSizeF(secondary.pointSizeF() * 0.9);
    m_ui->versionLabel->setFont(secondary);
    m_ui->logoLabel->setPixmap(QIcon(QStringLiteral(":/icons/app-icon.svg"))
                                   .pixmap(QSize(64, 64), qApp->devicePixelRatio()));
    m_ui->closeButton->setIcon(Icons::icon(QStringLiteral("ic-close")));
    m_ui->closeButton->setIconSize(QSize(16, 16));
    for (QWidget *pressable :
         {static_cast<QWidget *>(m_ui->closeButton), static_cast<QWidget *>(m_ui->websiteLink),
          static_cast<QWidget *>(m_ui->supportLink),
          static_cast<QWidget *>(m_ui->checkUpdatesButton)})
        pressable->setCursor(Qt::PointingHandCursor);
    m_ui->checkUpdatesButton->setAutoDefault(true);
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
    // A screen reader speaks the number, not only the word.
    m_ui->versionLabel->setAccessibleName(QStringLiteral("Version ") + version + QLatin1Char('d'));
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
