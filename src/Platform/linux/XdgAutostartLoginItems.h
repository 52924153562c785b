#pragma once

#include "Platform/LoginItems.h"

// Login items as XDG autostart entries: $XDG_CONFIG_HOME/autostart/<identifier>.desktop runs
// the given program by absolute path, so an install moved elsewhere is right after its next
// start.
class XdgAutostartLoginItems : public LoginItems
{
public:
    explicit XdgAutostartLoginItems(QString executable);

    [[nodiscard]] bool setEnabled(const QString &identifier, bool enabled) override;

    [[nodiscard]] static QString entryPath(const QString &identifier);
    // The Exec value for one program path, quoted as the desktop entry format requires.
    [[nodiscard]] static QString execValue(const QString &executable);

private:
    QString m_executable;
};
