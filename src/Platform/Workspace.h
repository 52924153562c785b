#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Opens web pages, mail drafts and our own URL schemes with the desktop's default
// programs, and starts programs.
class Workspace
{
public:
    virtual ~Workspace() = default;
    // False when the desktop has no program for the URL's scheme.
    virtual bool openUrl(const QUrl &url) = 0;
    // Whether the desktop names a program for URLs of the scheme ("mailto", "https").
    [[nodiscard]] virtual bool hasHandlerFor(const QString &scheme) const = 0;
    // Starts a program on its own, not as our child; false when it could not be started.
    virtual bool launchApplication(const QString &program, const QStringList &arguments) = 0;
};
