#pragma once

#include "Platform/Workspace.h"

#include <QList>
#include <QStringList>

#include <functional>

// Records the URLs that would have opened and the programs that would have started.
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

    bool launchApplication(const QString &program, const QStringList &arguments) override
    {
        launched.append(QStringList{program} + arguments);
        if (canLaunch && whenLaunched)
            whenLaunched(program);
        return canLaunch;
    }

    QList<QUrl> opened;
    QStringList handledSchemes{QStringLiteral("http"), QStringLiteral("https"),
                               QStringLiteral("mailto")};
    bool canOpen = true;
    QList<QStringList> launched;
    bool canLaunch = true;
    // Plays what the started program does.
    std::function<void(const QString &program)> whenLaunched;
};
