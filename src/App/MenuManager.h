#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <memory>

class QMenu;
class MenuActions;
class QObject;

// The settings menu of every popover view, built anew on each opening.
class MenuManager
{
public:
    enum class Action {
        Separator,
        OpenPreferences,
        About,
        Feedback,
        OpenWebPage,
        CheckForUpdates,
        SignOut,
        Quit,
        UndoRebrand,
        PauseOneHour,
        PauseUntilTomorrow,
        ResumeWatching
    };

    // What the entries after the design's own depend on.
    struct State
    {
        bool canUndo = false;
        bool paused = false;
    };

    struct Item
    {
        QString title; // empty for a separator
        Action action;
        QUrl url; // for OpenWebPage
    };

    MenuManager() = delete;

    // The items in order; "Preferences..." and "Sign out" only while a valid token exists.
    // After them: "Undo last rebrand" while an undo is possible, then the pause entries that
    // apply.
    [[nodiscard]] static QList<Item> items(bool hasValidToken, State state);
    [[nodiscard]] static std::unique_ptr<QMenu> makeMenu(MenuActions *target, QObject *context,
                                                         bool hasValidToken, State state);
    // Appends the items to a menu that already exists (the tray icon's own).
    static void fill(QMenu *menu, MenuActions *target, QObject *context, bool hasValidToken,
                     State state);
};
