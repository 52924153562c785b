#include "App/MenuManager.h"

#include "App/Costants.h"
#include "App/MenuActions.h"

#include <QMenu>

using namespace Costants;

QList<MenuManager::Item> MenuManager::items(bool hasValidToken)
{
    QList<Item> list;
    if (hasValidToken) {
        list.append({Menu::preferences, Action::OpenPreferences, {}});
        list.append({{}, Action::Separator, {}});
    }
    list.append({Menu::about, Action::About, {}});
    list.append({Menu::feedback, Action::Feedback, {}});
    list.append({Menu::pricing, Action::OpenWebPage, QUrl(Dashboard::pricingUrl)});
    list.append({Menu::serviceStatus, Action::OpenWebPage, QUrl(Dashboard::statusUrl)});
    list.append({Menu::checkForUpdates, Action::CheckForUpdates, {}});
    list.append({{}, Action::Separator, {}});
    if (hasValidToken)
        list.append({Menu::signOut, Action::SignOut, {}});
    list.append({Menu::quit, Action::Quit, {}});
    return list;
}

std::unique_ptr<QMenu> MenuManager::makeMenu(MenuActions *target, QObject *context,
                                             bool hasValidToken)
{
    auto menu = std::make_unique<QMenu>();
    for (const Item &item : items(hasValidToken)) {
        if (item.action == Action::Separator) {
            menu->addSeparator();
            continue;
        }
        QAction *action = menu->addAction(item.title);
        QObject::connect(action, &QAction::triggered, context, [target, item] {
            switch (item.action) {
            case Action::OpenPreferences:
                target->openPreferences();
                break;
            case Action::About:
                target->aboutApplication();
                break;
            case Action::Feedback:
                target->feedbackApplication();
                break;
            case Action::OpenWebPage:
                target->openWebPage(item.url);
                break;
            case Action::CheckForUpdates:
                target->checkForUpdates();
                break;
            case Action::SignOut:
                target->signOut();
                break;
            case Action::Quit:
                target->quitApplication();
                break;
            case Action::Separator:
                break;
            }
        });
    }
    return menu;
}
