#pragma once

#include "Platform/Workspace.h"

#include <QList>

// Records the URLs that would have opened and the programs that would have started.
class FakeWorkspace : public Workspace
{
public:
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return canOpen;
    }

    bool launchApplication(const QString &program, const QStringList &arguments) override
    {
        launched.append(QStringList{program} + arguments);
        return canLaunch;
    }

    QList<QUrl> opened;
    bool canOpen = true;
    QList<QStringList> launched;
    bool canLaunch = true;
};
