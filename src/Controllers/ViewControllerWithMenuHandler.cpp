#include "Controllers/ViewControllerWithMenuHandler.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/MenuManager.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "App/ViewControllerFactory.h"
#include "Controllers/Preferences/AboutController.h"
#include "Controllers/Preferences/PreferencesWindowController.h"
#include "Platform/AlertPresenter.h"
#include "Platform/BundleInfo.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/ApiManager.h"
#include "Services/AuthenticationManager.h"
#include "Services/TokenManager.h"
#include "Update/Checker.h"
#include "Utils/RebrandUndo.h"
#include "Utils/WatchPause.h"
#include "Views/WindowNoTitleBar.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QTimer>

using namespace Costants;

void ViewControllerWithMenuHandler::openSettings(QWidget *button)
{
    const MenuManager::State state{RebrandUndo::shared().canUndo(),
                                   WatchPause::pausedUntil().has_value()};
    std::unique_ptr<QMenu> menu =
        MenuManager::makeMenu(this, this, AuthenticationManager::shared().hasValidToken(), state);
    const QPoint at = button ? button->mapToGlobal(QPoint(0, button->height())) : QCursor::pos();
    // Run synchronously: the menu is built anew for every opening and goes away after it.
    menu->exec(at, menu->actions().value(0));
}

void ViewControllerWithMenuHandler::openPreferences()
{
    NotificationCenter::shared().post(NotificationViews::closePopover);
    // After the menu has gone: the modal run must not nest inside the menu's own.
    QTimer::singleShot(0, qApp, [] {
        std::unique_ptr<PreferencesWindowController> window =
            ViewControllerFactory::instantiate<PreferencesWindowController>(
                QStringLiteral("PreferencesWindowController"));
        window->runModal();
        window->close();
    });
}

void ViewControllerWithMenuHandler::aboutApplication()
{
    NotificationCenter::shared().post(NotificationViews::closePopover);
    // One about window at a time: a second choice brings the open one to the front.
    static QPointer<WindowNoTitleBar> open;
    if (open && open->isOpen()) {
        open->show();
        return;
    }
    open = new WindowNoTitleBar(
        ViewControllerFactory::instantiate<AboutController>(QStringLiteral("AboutController")),
        qApp);
    open->show();
}

void ViewControllerWithMenuHandler::feedbackApplication()
{
    NotificationCenter::shared().post(NotificationViews::closePopover);
    Platform::current().workspace().openUrl(QUrl(Dashboard::supportUrl));
}

void ViewControllerWithMenuHandler::openWebPage(const QUrl &url)
{
    Platform::current().workspace().openUrl(url);
}

void ViewControllerWithMenuHandler::openWebPageAuthenticated(const QUrl &url)
{
    if (TokenManager::load())
        Platform::current().workspace().openUrl(url);
}

void ViewControllerWithMenuHandler::checkForUpdates()
{
    Checker::shared().openUpdater();
}

void ViewControllerWithMenuHandler::signOut()
{
    Logger::shared().log({QStringLiteral("signout")});
    ApiManager::shared().logout(
        [](const std::optional<QJsonObject> &) { TokenManager::deleteToken(); });
    // Now, not only when the logout answers: the tokens also leave the keyring.
    TokenManager::deleteToken();
    SettingsStore &store = SettingsStore::shared();
    store.removeKeys(Preferences::signOutKeys);
    store.synchronize();
    NotificationCenter &center = NotificationCenter::shared();
    center.post(NotificationViews::closePopover);
    center.post(NotificationViews::resetDefault);
    center.post(NotificationViews::logout);
}

void ViewControllerWithMenuHandler::quitApplication()
{
    QCoreApplication::quit();
}

void ViewControllerWithMenuHandler::undoLastRebrand()
{
    RebrandUndo::shared().undoLast();
}

void ViewControllerWithMenuHandler::pauseWatching(bool untilTomorrow)
{
    if (untilTomorrow)
        WatchPause::pauseUntilTomorrow();
    else
        WatchPause::pauseFor(WatchPause::oneHour);
}

void ViewControllerWithMenuHandler::resumeWatching()
{
    WatchPause::resume();
}
