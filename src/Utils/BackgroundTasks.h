#pragma once

#include <QString>

// The slow background check that fetches the domains of each queued workspace once, one
// workspace at a time, and collects their names. The queue lives in the settings store, so
// a restart carries on where the last run stopped.
class BackgroundTasks
{
public:
    BackgroundTasks() = delete;

    // Starts or continues the check with the first queued workspace.
    static void run();

    // The pause between one answer and the next request: 2000 ms; tests shorten it.
    static void setDelayMilliseconds(int milliseconds);
    [[nodiscard]] static int delayMilliseconds();

private:
    static void check(const QString &workspaceId);
};
