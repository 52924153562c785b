#include "Controllers/Preferences/PreferencesWindowController.h"

#include "App/Logger.h"
#include "App/ViewControllerFactory.h"
#include "Views/ViewController.h"

#include "Views/Icons.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPalette>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const QString kGeneral = QStringLiteral("general");
const QString kAccount = QStringLiteral("account");

// The white canvas of the program's windows, its pale toolbar, and the controls of the panes:
// bordered pop-ups and buttons with the accent focus ring, accent check marks and primary
// buttons. Every control keeps a 2 px border that only the focus colours, so nothing moves.
const QString kStyle = QStringLiteral(
    "PreferencesWindowController { background: #FFFFFF; }"
    "QWidget#toolbar { background: #F6F7F9; border-bottom: 1px solid #DDDDDD; }"
    "QWidget#toolbar QToolButton { border: 2px solid transparent; border-radius: 6px;"
    " padding: 4px 10px; color: #444444; }"
    "QWidget#toolbar QToolButton:hover { background: #EBEDF0; }"
    "QWidget#toolbar QToolButton:checked { background: #FFFFFF; color: #2563EB; }"
    "QWidget#toolbar QToolButton:focus { border-color: #2563EB; }"
    "QComboBox, QLineEdit { background: #FFFFFF; border: 1px solid #DDDDDD; border-radius: 4px;"
    " padding: 4px 8px; min-height: 20px; }"
    "QComboBox:focus, QLineEdit:focus { border: 2px solid #2563EB; padding: 3px 7px; }"
    "QComboBox:disabled { color: #BBBBBB; }"
    "QComboBox::drop-down { border: none; width: 20px; }"
    "QComboBox::down-arrow { image: url(:/icons/ic-caret-down.svg); width: 12px; height: 12px; }"
    "QComboBox QAbstractItemView { background: #FFFFFF; border: 1px solid #DDDDDD;"
    " selection-background-color: #2563EB; selection-color: #FFFFFF; outline: none; }"
    "QPushButton { background: #FFFFFF; color: #1D1D1F; border: 2px solid #DDDDDD;"
    " border-radius: 6px; padding: 4px 14px; }"
    "QPushButton:hover { background: #F6F7F9; }"
    "QPushButton:focus { border-color: #2563EB; }"
    "QPushButton:disabled { color: #BBBBBB; border-color: #EEEEEE; }"
    "QPushButton[primary=\"true\"] { background: #2563EB; color: #FFFFFF; border-color: #2563EB; }"
    "QPushButton[primary=\"true\"]:hover { background: #1D4ED8; border-color: #1D4ED8; }"
    "QPushButton[primary=\"true\"]:focus { border-color: #1E3A8A; }"
    "QCheckBox { spacing: 8px; }"
    "QCheckBox:focus { color: #2563EB; }"
    "QListWidget { background: #FFFFFF; border: 1px solid #DDDDDD; border-radius: 4px; }"
    "QListWidget:focus { border-color: #2563EB; }"
    "QListWidget::item:selected { background: #2563EB; color: #FFFFFF; }");
} // namespace

PreferencesWindowController::PreferencesWindowController(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PreferencesWindowController"));
    setWindowTitle(QStringLiteral("Quorvella Preferences"));
    setMinimumWidth(480);
    // The light canvas of every window of the program, whatever the desktop's theme.
    setAutoFillBackground(true);
    QPalette canvas = palette();
    canvas.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0xFF));
    canvas.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0xFF));
    canvas.setColor(QPalette::WindowText, QColor(0x1D, 0x1D, 0x1F));
    canvas.setColor(QPalette::Text, QColor(0x1D, 0x1D, 0x1F));
    canvas.setColor(QPalette::Highlight, QColor(0x25, 0x63, 0xEB));
    setPalette(canvas);
    setStyleSheet(kStyle);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    // A row of tool buttons rather than a toolbar: two items never overflow, and a toolbar's
    // overflow button would sit there unnamed for a screen reader.
    m_toolbar = new QWidget(this);
    m_toolbar->setObjectName(QStringLiteral("toolbar"));
    m_toolbar->setAttribute(Qt::WA_StyledBackground);
    auto *row = new QHBoxLayout(m_toolbar);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(8);
    auto *group = new QActionGroup(this);
    for (QToolButton *item :
         {addItem(kGeneral, QStringLiteral("General"), QStringLiteral("ic-preferences")),
          addItem(kAccount, QStringLiteral("Account"), QStringLiteral("ic-account"))}) {
        group->addAction(item->defaultAction());
        row->addWidget(item);
    }
    row->addStretch();
    m_general = m_items.at(0)->defaultAction();
    m_account = m_items.at(1)->defaultAction();
    connect(m_general, &QAction::triggered, this, &PreferencesWindowController::generalButton);
    connect(m_account, &QAction::triggered, this, &PreferencesWindowController::accountButton);
    m_layout->addWidget(m_toolbar);
    windowDidLoad();
}

QToolButton *PreferencesWindowController::addItem(const QString &identifier, const QString &title,
                                                  const QString &icon)
{
    auto *action = new QAction(Icons::icon(icon), title, m_toolbar);
    action->setObjectName(identifier);
    action->setCheckable(true);
    m_toolbar->addAction(action);
    auto *item = new QToolButton(m_toolbar);
    item->setObjectName(identifier + QStringLiteral("Item"));
    item->setDefaultAction(action);
    item->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    item->setIconSize(QSize(20, 20));
    item->setFocusPolicy(Qt::StrongFocus);
    item->setCursor(Qt::PointingHandCursor);
    item->setAccessibleName(title + QStringLiteral(" preferences"));
    item->installEventFilter(this);
    m_items.append(item);
    return item;
}

bool PreferencesWindowController::eventFilter(QObject *watched, QEvent *event)
{
    const qsizetype index = m_items.indexOf(qobject_cast<QToolButton *>(watched));
    if (index < 0 || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A tool button answers Space only; a tab also answers Enter.
        m_items.at(index)->click();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const qsizetype step = key->key() == Qt::Key_Right ? 1 : m_items.size() - 1;
        m_items.at((index + step) % m_items.size())->setFocus(Qt::TabFocusReason);
        return true;
    }
    default:
        return QDialog::eventFilter(watched, event);
    }
}

PreferencesWindowController::~PreferencesWindowController() = default;

void PreferencesWindowController::windowDidLoad()
{
    setContentViewController(QStringLiteral("PreferencesGeneralController"));
    setSelectedItemIdentifier(kGeneral);
    // The keyboard starts on the selected item of the toolbar.
    m_items.constFirst()->setFocus(Qt::TabFocusReason);
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
        // Out of the Tab order at once, not only when it is deleted.
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = pane.release();
    m_content->setParent(this);
    m_layout->addWidget(m_content);
    m_content->show();
    // Each pane has its own height; the window follows it.
    if (isVisible())
        fitContent();
}

void PreferencesWindowController::fitContent()
{
    // The whole pane where the screen has room: adjustSize() would stop at two thirds of it
    // and squeeze the general pane on a laptop screen.
    const QSize hint = sizeHint();
    resize(screen() ? hint.boundedTo(screen()->availableGeometry().size()) : hint);
}

void PreferencesWindowController::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Sized again now that the style has made the controls their real size.
    fitContent();
}

void PreferencesWindowController::done(int result)
{
    logLines({QStringLiteral("closing")});
    QDialog::done(result);
}
