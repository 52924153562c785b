#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// The program's own options. Read before the GUI starts, so that --help and --version work
// without a display. Single-dash options are left to Qt (-platform, -display, ...).
struct CommandLine
{
    bool help = false;
    bool version = false;
    bool sandbox = false;
    QUrl sandboxUrl; // empty: start the local sandbox service
    std::optional<QString> rebrandText;
    // --pause[=MINUTES] (one hour without a value) and --resume: watching the clipboard.
    std::optional<int> pauseMinutes;
    bool resume = false;
    // Arguments that are URLs of the program's own scheme ("quorvella:..."), as the desktop
    // passes them when such a link is opened.
    QList<QUrl> openUrls;
    QString error;

    [[nodiscard]] static CommandLine parse(const QStringList &arguments);
    [[nodiscard]] static QString usage();
};
