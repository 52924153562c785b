#pragma once

#include "Platform/Workspace.h"

// xdg-open through Qt's desktop services; programs start detached.
class DesktopWorkspace : public Workspace
{
public:
    bool openUrl(const QUrl &url) override;
    // Reads the XDG associations (mimeapps.list) and the programs' desktop entries.
    [[nodiscard]] bool hasHandlerFor(const QString &scheme) const override;
    bool launchApplication(const QString &program, const QStringList &arguments) override;
    // As above, with the started process's id in *pid.
    static bool launch(const QString &program, const QStringList &arguments, qint64 *pid);
    // Asks the process to end (SIGTERM), or makes it (SIGKILL) when `force` is set.
    static void endProcess(qint64 pid, bool force);
    [[nodiscard]] static bool processRuns(qint64 pid);
};
