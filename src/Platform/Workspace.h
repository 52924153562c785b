#pragma once

#include <QString>
#include <QUrl>

// Opens web pages and mail drafts with the desktop's default programs.
class Workspace
{
public:
    virtual ~Workspace() = default;
    // False when the desktop has no program for the URL's scheme.
    virtual bool openUrl(const QUrl &url) = 0;
    // Whether the desktop names a program for URLs of the scheme ("mailto", "https").
    [[nodiscard]] virtual bool hasHandlerFor(const QString &scheme) const = 0;
};
