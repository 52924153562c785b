#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

// Working folders of the self-update. Nothing is ever written under a fixed name in a folder
// other users share: each attempt gets a folder of its own, with a random name and mode 0700,
// made exclusively below $XDG_CACHE_HOME/Quorvella/ (or the runtime folder), and files in it
// are created exclusively, never through a link.
class PrivateFolder
{
public:
    PrivateFolder() = delete;

    // Downloads larger than this are refused.
    static constexpr qint64 maxArchiveBytes = 512LL * 1024 * 1024;

    // "…/Quorvella/" below the cache or runtime folder: a real folder of this user, made when
    // missing; empty when neither can be had.
    [[nodiscard]] static QString base();
    // A new folder "`prefix`-XXXXXX" below base(), removed with the object unless told to stay;
    // nothing when it cannot be made.
    [[nodiscard]] static std::unique_ptr<QTemporaryDir> create(const QString &prefix);
    // A folder "`prefix`-XXXXXX" made the same way inside `parent` (to stage beside an install,
    // on its file system).
    [[nodiscard]] static std::unique_ptr<QTemporaryDir> createIn(const QString &parent,
                                                                 const QString &prefix);
    // Copies the regular file `source` (not a link) of at most maxArchiveBytes to `target`,
    // which must not exist yet. False with the reason in *error otherwise.
    static bool copyFile(const QString &source, const QString &target, QString *error);
    // Whether `path` lies below base().
    [[nodiscard]] static bool isInside(const QString &path);
};
