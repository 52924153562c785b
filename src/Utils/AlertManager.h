#pragma once

#include <QString>

// A warning alert with three buttons: 1 for the first, 2 for the second, 0 for anything else.
class AlertManager
{
public:
    AlertManager() = delete;

    [[nodiscard]] static int showAlert(const QString &message, const QString &informativeText,
                                       const QString &first, const QString &second,
                                       const QString &third);
};
