#pragma once

#include <QObject>
#include <QString>

#include <functional>

// The desktop's cache of which programs take which MIME types (mimeinfo.cache), rebuilt for a
// folder of desktop entries after one was added or removed.
class DesktopDatabase
{
public:
    DesktopDatabase() = delete;

    // Rebuilds the cache of `folder` without waiting for it: `done` gets whether it was
    // rebuilt (true also where the desktop keeps no such cache), or false past `timeoutMs`;
    // nothing is called once `context` is gone.
    static void refresh(const QString &folder, int timeoutMs, QObject *context,
                        std::function<void(bool)> done);
};
