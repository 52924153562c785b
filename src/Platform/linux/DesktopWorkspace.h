#pragma once

#include "Platform/Workspace.h"

// xdg-open through Qt's desktop services.
class DesktopWorkspace : public Workspace
{
public:
    bool openUrl(const QUrl &url) override;
    // Reads the XDG associations (mimeapps.list) and the programs' desktop entries.
    [[nodiscard]] bool hasHandlerFor(const QString &scheme) const override;
};
