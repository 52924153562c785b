#pragma once

#include <QObject>
#include <QString>

// How a newly installed version tells the updater it works: once its start-up has finished
// and it has stayed up for healthyAfterMs, it writes its process id to a file in the private
// folder of the self-update. The updater keeps the old bundle until the mark appears.
class HealthMark
{
public:
    HealthMark() = delete;

    static constexpr int healthyAfterMs = 5000;

    // "…/Quorvella/healthy" below the private folder of the self-update; empty without one.
    [[nodiscard]] static QString path();
    // Writes the mark healthyAfterMs from now, unless `context` is gone by then.
    static void writeLater(QObject *context);
    // Removes the mark (the updater, before it starts a new version).
    static void clear();
    // Whether a mark was written since the last clear().
    [[nodiscard]] static bool isWritten();
};
