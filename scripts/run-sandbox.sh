#!/usr/bin/env bash
# Builds Quorvella and runs it against the local sandbox service with its demo account.
# Without a display it starts a virtual X server, a private D-Bus session and a
# notification daemon, and says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVELLA_BUILD_DIR:-$root/build}
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh"

program=("$build/bin/quorvella" --sandbox "$@")
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display found; starting a virtual X server (Xvfb) with its own D-Bus session and notification daemon"
    exec xvfb-run -a -s "-screen 0 1280x800x24" \
        dbus-run-session -- "$root/scripts/with-notification-daemon.sh" "${program[@]}"
fi
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    echo "run: no D-Bus session; starting a private one"
    exec dbus-run-session -- "${program[@]}"
fi
exec "${program[@]}"
