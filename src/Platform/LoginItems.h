#pragma once

#include <QString>

// The programs the desktop starts when the user logs in.
class LoginItems
{
public:
    virtual ~LoginItems() = default;
    // Registers (or removes) the login item with this identifier; false when that failed.
    [[nodiscard]] virtual bool setEnabled(const QString &identifier, bool enabled) = 0;
};
