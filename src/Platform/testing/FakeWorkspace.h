#pragma once

#include "Platform/Workspace.h"

#include <QList>
#include <QStringList>

// Records the URLs that would have opened in the browser.
class FakeWorkspace : public Workspace
{
public:
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return canOpen;
    }

    [[nodiscard]] bool hasHandlerFor(const QString &scheme) const override
    {
        return handledSchemes.contains(scheme);
    }

    QList<QUrl> opened;
    QStringList handledSchemes{QStringLiteral("http"), QStringLiteral("https"),
                               QStringLiteral("mailto")};
    bool canOpen = true;
};
