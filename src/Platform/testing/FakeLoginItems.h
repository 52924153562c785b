#pragma once

#include "Platform/LoginItems.h"

#include <QMap>

// Remembers which login items are registered.
class FakeLoginItems : public LoginItems
{
public:
    [[nodiscard]] bool setEnabled(const QString &identifier, bool enabled) override
    {
        ++calls;
        enabledItems[identifier] = enabled;
        return succeeds;
    }

    QMap<QString, bool> enabledItems;
    int calls = 0;
    bool succeeds = true;
};
