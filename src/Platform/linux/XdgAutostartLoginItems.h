#pragma once

#include "Platform/LoginItems.h"

#include <QStringList>

// Login items as XDG autostart entries: $XDG_CONFIG_HOME/autostart/<identifier>.desktop runs
// the given program by absolute path, so an install moved elsewhere is right after its next
// start. Only an existing, executable launcher is written, and a user's "off" is kept.
class XdgAutostartLoginItems : public LoginItems
{
public:
    explicit XdgAutostartLoginItems(QString executable);

    [[nodiscard]] bool setEnabled(const QString &identifier, bool enabled) override;

    [[nodiscard]] static QString entryPath(const QString &identifier);
    // The Exec value for one program path, quoted as the desktop entry format requires.
    [[nodiscard]] static QString execValue(const QString &executable);

private:
    // A value of the string type, escaped as the desktop entry format requires.
    [[nodiscard]] static QString stringValue(const QString &text);
    // The lines of an existing entry by which the user turned it off.
    [[nodiscard]] static QStringList keptUserChoices(const QString &path);

    QString m_executable;
};
