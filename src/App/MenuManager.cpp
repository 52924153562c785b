#include "App/MenuManager.h"

#include "App/Costants.h"
#include "App/MenuActions.h"

#include <QMenu>

using namespace Costants;

QList<MenuManager::Item> MenuManager::items(bool hasValidToken, State state)
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
    list.append({{}, Action::Separator, {}});
    if (state.canUndo)
        list.append({Menu::undoLastRebrand, Action::UndoRebrand, {}});
    if (state.paused) {
        list.append({Menu::resumeWatching, Action::ResumeWatching, {}});
    } else {
        list.append({Menu::pauseOneHour, Action::PauseOneHour, {}});
        list.append({Menu::pauseUntilTomorrow, Action::PauseUntilTomorrow, {}});
    }
    return list;
}

std::unique_ptr<QMenu> MenuManager::makeMenu(MenuActions *target, QObject *context,
                                             bool hasValidToken, State state)
{
    auto menu = std::make_unique<QMenu>();
    menu->setObjectName(QStringLiteral("settingsMenu"));
    menu->setAccessibleName(QStringLiteral("Settings"));
    fill(menu.get(), target, context, hasValidToken, state);
    return menu;
}

void MenuManager::fill(QMenu *menu, MenuActions *target, QObject *context, bool hasValidToken,
                       State state)
{
    for (const Item &item : items(hasValidToken, state)) {
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
            case Action::UndoRebrand:
                target->undoLastRebrand();
                break;
            case Action::PauseOneHour:
                target->pauseWatching(false);
                break;
            case Action::PauseUntilTomorrow:
                target->pauseWatching(true);
                break;
            case Action::ResumeWatching:
                target->resumeWatching();
                break;
            case Action::Separator:
                break;
            }
        });
    }
}
