#include "Controllers/UpdaterWindowController.h"

#include "App/Logger.h"
#include "Controllers/UpdateController.h"

#include <QCloseEvent>
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
