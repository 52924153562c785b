#pragma once

#include <QString>

// File places of the self-update.
class UtilsUpdater
{
public:
    UtilsUpdater() = delete;

    // Deletes a file or folder when one is there. A symbolic link goes as a link: its target
    // is not ours to delete. False only when something was there and could not be deleted.
    static bool removeIfExists(const QString &path);
};
