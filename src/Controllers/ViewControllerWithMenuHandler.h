#pragma once

#include "App/MenuActions.h"
#include "Views/ViewController.h"

// The base of every popover view: it carries the settings menu and its actions.
class ViewControllerWithMenuHandler : public ViewController, public MenuActions
{
    Q_OBJECT

public:
    using ViewController::ViewController;

    // Shows the settings menu over the given button (the gear of the view).
    void openSettings(QWidget *button);

    void openPreferences() override;
    void aboutApplication() override;
    void feedbackApplication() override;
    void openWebPage(const QUrl &url) override;
    void openWebPageAuthenticated(const QUrl &url) override;
    void checkForUpdates() override;
    void signOut() override;
    void quitApplication() override;
    void undoLastRebrand() override;
    void pauseWatching(bool untilTomorrow) override;
    void resumeWatching() override;
};
