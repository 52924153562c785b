#pragma once

#include <QObject>
#include <QString>

#include <functional>

// Whether a well-known name has an owner on the session bus: how one program sees whether
// another one runs.
class SessionBusName
{
public:
    SessionBusName() = delete;

    // False without a session bus.
    [[nodiscard]] static bool available();
    [[nodiscard]] static bool isOwned(const QString &name);
    // Calls done(true) once the name's ownership is `owned`, or done(false) after timeoutMs;
    // nothing is called once `context` is gone.
    static void waitFor(const QString &name, bool owned, int timeoutMs, QObject *context,
                        std::function<void(bool)> done);
};
