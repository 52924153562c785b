#include "Controllers/Update/UpdaterWindowController.h"

#include "App/Logger.h"
#include "Controllers/Update/UpdateController.h"
#include "Views/HeaderTitle.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The popovers' canvas, type and accent. The positive button is the primary one in every
// state; buttons keep a 2 px border that only the keyboard focus colours.
const QString kStyle = QStringLiteral(
    "#UpdaterWindowController { background: #FFFFFF; }"
    "QPushButton { border: 2px solid #DDDDDD; border-radius: 6px; padding: 5px 16px;"
    " background: #FFFFFF; color: #1D1D1F; min-width: 64px; }"
    "QPushButton:hover { background: #F6F7F9; }"
    "QPushButton:focus { border-color: #2563EB; }"
    "QPushButton#positiveButton { background: #2563EB; color: #FFFFFF; border-color: #2563EB; }"
    "QPushButton#positiveButton:hover { background: #1D4ED8; border-color: #1D4ED8; }"
    "QPushButton#positiveButton:focus { border-color: #1E3A8A; }"
    "QProgressBar { border: none; background: #F6F7F9; border-radius: 3px; max-height: 6px; }"
    "QProgressBar::chunk { background: #2563EB; border-radius: 3px; }");

} // namespace

UpdaterWindowController::UpdaterWindowController(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
    , m_content(new UpdateController(this))
{
    setWindowTitle(QStringLiteral("Quorvella"));
    setObjectName(QStringLiteral("UpdaterWindowController"));
    setAttribute(Qt::WA_StyledBackground);
    m_content->titleWindow->setObjectName(QStringLiteral("titleWindow"));
    m_content->descriptionWindow->setObjectName(QStringLiteral("descriptionWindow"));
    m_content->spinnerWindow->setObjectName(QStringLiteral("spinnerWindow"));
    m_content->positiveButton->setObjectName(QStringLiteral("positiveButton"));
    m_content->negativeButton->setObjectName(QStringLiteral("negativeButton"));
    m_content->titleWindow->setFont(font());
    setHeaderTitleFont(m_content->titleWindow);
    m_content->titleWindow->setTextFormat(Qt::PlainText);
    m_content->descriptionWindow->setTextFormat(Qt::PlainText);
    m_content->spinnerWindow->setAccessibleName(QStringLiteral("Update progress"));
    for (QPushButton *button : {m_content->positiveButton, m_content->negativeButton}) {
        button->setCursor(Qt::PointingHandCursor);
        button->setAutoDefault(true);
    }
    // A 4 px grid: 16 px around the groups, 8 px between related controls.
    if (QLayout *inner = m_content->layout()) {
        inner->setContentsMargins(16, 16, 16, 16);
        inner->setSpacing(8);
    }
    setStyleSheet(kStyle);
    // One size for every state, so the window does not jump as the texts change.
    setMinimumSize(440, 200);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_content);
}

void UpdaterWindowController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!std::exchange(m_loaded, true))
        m_content->viewDidLoad();
}

void UpdaterWindowController::closeEvent(QCloseEvent *event)
{
    Logger::shared().log(
        {QStringLiteral("gonna close view ") + QString::number(int(m_content->status()))});
    if (m_content->status() == StatusUpdater::mandatoryUpdate)
        UpdateController::terminate();
    QWidget::closeEvent(event);
}

void UpdaterWindowController::keyPressEvent(QKeyEvent *event)
{
    QPushButton *button = m_content->positiveButton;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && button->isVisible() &&
        button->isEnabled())
        return button->click();
    QWidget::keyPressEvent(event);
}
