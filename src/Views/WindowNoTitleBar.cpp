#include "Views/WindowNoTitleBar.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "Views/WindowContentController.h"

#include <QApplication>
#include <QWidget>

using namespace Costants;

WindowNoTitleBar::WindowNoTitleBar(std::unique_ptr<WindowContentController> content,
                                   QObject *parent)
    : QObject(parent)
    , m_content(std::move(content))
{
    Logger::shared().log({QStringLiteral("WINDOW NO TITLE BAR")});
    NotificationCenter::shared().addObserver(
        this, NotificationViews::closeWindowOauth,
        [this](const Notification &) { onCloseWindowNotification(); });
    if (m_content)
        connect(m_content.get(), &WindowContentController::closeRequested, this,
                &WindowNoTitleBar::close);
}

WindowNoTitleBar::~WindowNoTitleBar()
{
    NotificationCenter::shared().removeObserver(this);
}

void WindowNoTitleBar::show()
{
    m_open = true;
    if (!m_content)
        return;
    if (m_presented) {
        m_content->raise();
        return;
    }
    m_presented = true;
    m_content->present();
}

void WindowNoTitleBar::onCloseWindowNotification()
{
    Logger::shared().log({QStringLiteral("CLOSING HERE!!!")});
    // A modal dialogue that this window runs ends with it.
    if (QWidget *modal = QApplication::activeModalWidget())
        modal->close();
    NotificationCenter::shared().post(NotificationViews::resetPopoverControllers);
    close();
}

void WindowNoTitleBar::close()
{
    if (!m_open)
        return;
    m_open = false;
    Logger::shared().log({QStringLiteral("CLOSING WINDOW")});
    if (m_content)
        m_content->dismiss();
    emit closed();
    deleteLater();
}
