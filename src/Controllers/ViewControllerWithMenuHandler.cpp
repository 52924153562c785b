#include "Controllers/ViewControllerWithMenuHandler.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/MenuManager.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Platform/AlertPresenter.h"
#include "Platform/BundleInfo.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/ApiManager.h"
#include "Services/AuthenticationManager.h"
#include "Services/TokenManager.h"
#include "Update/Checker.h"

#include <QCoreApplication>
#include <QMenu>

using namespace Costants;

namespace {

void showInformation(const QString &message, const QString &text)
{
    [[maybe_unused]] const int answer = Platform::current().alerts().runModal(
        {message, text, Alert::Style::Informational, {QStringLiteral("OK")}});
}

} // namespace

void ViewControllerWithMenuHandler::openSettings(QWidget *button)
{
    std::unique_ptr<QMenu> menu =
        MenuManager::makeMenu(this, this, AuthenticationManager::shared().hasValidToken());
    const QPoint at = button ? button->mapToGlobal(QPoint(0, button->height())) : QCursor::pos();
    // Run synchronously: the menu is built anew for every opening and goes away after it.
    menu->exec(at, menu->actions().value(0));
}

void ViewControllerWithMenuHandler::openPreferences()
{
    NotificationCenter::shared().post(NotificationViews::closePopover);
    // Next step to connect: the preferences window, run modally.
    showInformation(QStringLiteral("Preferences"),
                    QStringLiteral("The preferences window is not part of this version yet."));
}

void ViewControllerWithMenuHandler::aboutApplication()
{
    NotificationCenter::shared().post(NotificationViews::closePopover);
    // Next step to connect: the about pane in a window of its own.
    showInformation(QStringLiteral("Quorvella"),
                    QStringLiteral("Version %1").arg(Platform::current().bundle().shortVersion()));
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
