#include "Controllers/Preferences/PreferencesWindowController.h"

#include "App/Logger.h"
#include "App/ViewControllerFactory.h"
#include "Views/ViewController.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QEventLoop>
#include <QIcon>
#include <QPalette>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
const QString kGeneral = QStringLiteral("general");
const QString kAccount = QStringLiteral("account");
} // namespace

PreferencesWindowController::PreferencesWindowController(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PreferencesWindowController"));
    setWindowTitle(QStringLiteral("Quorvella Preferences"));
    setMinimumWidth(480);
    // The light canvas of every window of the program.
    setAutoFillBackground(true);
    QPalette canvas = palette();
    canvas.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0xFF));
    setPalette(canvas);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("toolbar"));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setIconSize(QSize(24, 24));
    m_toolbar->setStyleSheet(QStringLiteral("QToolBar { background: #F6F7F9; border: none; "
                                            "border-bottom: 1px solid #DDDDDD; padding: 4px; }"
                                            "QToolButton:checked { color: #2563EB; }"));
    auto *group = new QActionGroup(this);
    m_general = m_toolbar->addAction(QIcon(QStringLiteral(":/icons/ic-preferences.svg")),
                                     QStringLiteral("General"));
    m_general->setObjectName(kGeneral);
    m_account = m_toolbar->addAction(QIcon(QStringLiteral(":/icons/ic-account.svg")),
                                     QStringLiteral("Account"));
    m_account->setObjectName(kAccount);
    for (QAction *item : {m_general, m_account}) {
        item->setCheckable(true);
        group->addAction(item);
    }
    connect(m_general, &QAction::triggered, this, &PreferencesWindowController::generalButton);
    connect(m_account, &QAction::triggered, this, &PreferencesWindowController::accountButton);
    m_layout->addWidget(m_toolbar);
    windowDidLoad();
}

PreferencesWindowController::~PreferencesWindowController() = default;

void PreferencesWindowController::windowDidLoad()
{
    setContentViewController(QStringLiteral("PreferencesGeneralController"));
    setSelectedItemIdentifier(kGeneral);
}

int PreferencesWindowController::runModal()
{
    // The run returns only when the window closes, but it blocks no other window: a new-link
    // form opened meanwhile by a copied URL must take input.
    setWindowModality(Qt::NonModal);
    QEventLoop run;
    connect(this, &QDialog::finished, &run, &QEventLoop::quit);
    show();
    raise();
    activateWindow();
    run.exec();
    return result();
}

void PreferencesWindowController::generalButton()
{
    setContentViewController(QStringLiteral("PreferencesGeneralController"));
    setSelectedItemIdentifier(kGeneral);
    logLines({kGeneral});
}

void PreferencesWindowController::accountButton()
{
    logLines({kAccount});
    setContentViewController(QStringLiteral("PreferencesAccountController"));
    setSelectedItemIdentifier(kAccount);
}

QStringList PreferencesWindowController::toolbarSelectableItemIdentifiers() const
{
    QStringList identifiers;
    for (const QAction *item : m_toolbar->actions())
        identifiers.append(item->objectName());
    return identifiers;
}

QString PreferencesWindowController::selectedItemIdentifier() const
{
    for (const QAction *item : m_toolbar->actions())
        if (item->isChecked())
            return item->objectName();
    return {};
}

void PreferencesWindowController::setSelectedItemIdentifier(const QString &identifier)
{
    for (QAction *item : m_toolbar->actions())
        item->setChecked(item->objectName() == identifier);
}

void PreferencesWindowController::setContentViewController(const QString &identifier)
{
    std::unique_ptr<ViewController> pane =
        ViewControllerFactory::instantiate<ViewController>(identifier);
    if (m_content) {
        m_layout->removeWidget(m_content);
        m_content->deleteLater();
    }
    m_content = pane.release();
    m_content->setParent(this);
    m_layout->addWidget(m_content);
    m_content->show();
}

void PreferencesWindowController::done(int result)
{
    logLines({QStringLiteral("closing")});
    QDialog::done(result);
}
