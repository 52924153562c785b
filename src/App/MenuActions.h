#pragma once

#include <QUrl>

// What the settings menu can ask of the view it was opened from.
class MenuActions
{
public:
    virtual ~MenuActions() = default;
    virtual void openPreferences() = 0;
    virtual void aboutApplication() = 0;
    virtual void feedbackApplication() = 0;
    virtual void openWebPage(const QUrl &url) = 0;
    virtual void openWebPageAuthenticated(const QUrl &url) = 0;
    virtual void checkForUpdates() = 0;
    virtual void signOut() = 0;
    virtual void quitApplication() = 0;
    virtual void undoLastRebrand() = 0;
    // For one hour, or until the start of tomorrow.
    virtual void pauseWatching(bool untilTomorrow) = 0;
    virtual void resumeWatching() = 0;
};
