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
};
