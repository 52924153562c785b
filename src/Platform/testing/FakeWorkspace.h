#pragma once

#include "Platform/Workspace.h"

#include <QList>

// Records the URLs that would have opened in the browser.
class FakeWorkspace : public Workspace
{
public:
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return canOpen;
    }

    QList<QUrl> opened;
    bool canOpen = true;
};
