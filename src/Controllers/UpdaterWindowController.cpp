#include "Controllers/UpdaterWindowController.h"

#include "App/Logger.h"
#include "Controllers/UpdateController.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

UpdaterWindowController::UpdaterWindowController(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
    , m_content(new UpdateController(this))
{
    setWindowTitle(QStringLiteral("Quorvella"));
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
