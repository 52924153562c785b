#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A headless sway (a Wayland compositor) on a runtime folder of its own, for the tests and
// benchmarks on Wayland. Sway refuses to run as root: run as root, it is started as "nobody"
// through setpriv, and the test, as root, still reaches its socket. Stops with the object,
// and with the test even when the test is killed.
class HeadlessSway
{
public:
    HeadlessSway();
    ~HeadlessSway();
    HeadlessSway(const HeadlessSway &) = delete;
    HeadlessSway &operator=(const HeadlessSway &) = delete;

    // Why it did not start, or nothing.
    [[nodiscard]] QString error() const { return m_error; }
    // The compositor's socket, once it listens.
    [[nodiscard]] QString socket() const;
    // Sway's control socket (SWAYSOCK for swaymsg).
    [[nodiscard]] QString ipcSocket() const;

private:
    // In /tmp, whatever TMPDIR says: the unprivileged compositor must reach its folder.
    QTemporaryDir m_runtime{"/tmp/quorvella-sway-XXXXXX"};
    QProcess m_sway;
    QString m_error;
};
