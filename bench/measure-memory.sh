#!/usr/bin/env bash
# Resident memory (VmRSS) of the tray program and of the sign-in helper under a private
# X server: the tray program after start, both processes while a sign-in window is open,
# and the tray program 10 s after the window closed. Not part of the test run.
#
#   bench/measure-memory.sh [BUILD_DIR]     (default: build)
#
# Every service host points at a loopback page server started here, so nothing leaves the
# machine. Needs Xvfb and python3; uses dbus-run-session when it is installed.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
MAIN="$BUILD/bin/quorvella"
HELPER="$BUILD/bin/quorvella-webview"
SETTLE="${QUORVELLA_BENCH_SETTLE:-5}" # seconds for a process to settle before a reading

for program in "$MAIN" "$HELPER"; do
    [[ -x "$program" ]] || { echo "missing $program: build it first" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "Xvfb is not installed" >&2; exit 1; }

WORK="$(mktemp -d)"
PIDS=()
MAIN_PID=""
cleanup() {
    local pid
    # The program first: dbus-run-session then takes its bus daemon down with it.
    if [[ -n "$MAIN_PID" ]]; then
        kill "$MAIN_PID" 2>/dev/null || true
        sleep 1
    fi
    for pid in "${PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$WORK"
}
trap cleanup EXIT

# --- helpers -------------------------------------------------------------------------------

# VmRSS of one process in kB.
rss_kb() {
    awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0
}

# PIDs of a process and all its descendants (the browser engine runs several processes).
process_tree() {
    local pid=$1 child
    echo "$pid"
    for child in $(cat "/proc/$pid/task/"*/children 2>/dev/null); do
        process_tree "$child"
    done
}

# Summed VmRSS and Pss (shared pages split fairly) of a process tree, in kB.
tree_kb() {
    local rss=0 pss=0 pid value
    for pid in $(process_tree "$1"); do
        value=$(rss_kb "$pid")
        rss=$((rss + value))
        value=$(awk '/^Pss:/ { print $2 }' "/proc/$pid/smaps_rollup" 2>/dev/null || echo 0)
        pss=$((pss + ${value:-0}))
    done
    echo "$rss $pss"
}

mb() {
    awk -v kb="$1" 'BEGIN { printf "%.1f MB", kb / 1024 }'
}

report() { # label kB
    printf '%-58s %s\n' "$1" "$(mb "$2")"
}

# --- the stage -----------------------------------------------------------------------------

# A private X server; it names its display on the descriptor given.
mkfifo "$WORK/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$WORK/display" 2>/dev/null &
PIDS+=($!)
read -r -t 10 display <"$WORK/display" || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb

# Own XDG folders: a signed-out user, and nothing of the real user's is touched.
export XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache" \
    XDG_DATA_HOME="$WORK/data" XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

# A loopback page server: the sign-in page for the helper and the stand-in for every host.
mkdir -p "$WORK/www"
cat >"$WORK/www/index.html" <<'HTML'
<!doctype html><html><head><title>Sign in</title></head><body>
<form method="post" action="/connect/authorize"><h1>Sign in</h1>
<input name="user" placeholder="E-mail"> <input name="password" type="password">
<button>Sign in</button></form></body></html>
HTML
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$WORK/www" >/dev/null 2>&1 &
PIDS+=($!)
ORIGIN="http://127.0.0.1:$port"

RUN=()
command -v dbus-run-session >/dev/null && RUN=(dbus-run-session --)

# The helper finds its browser sandbox unusable as root, and Xvfb has no GPU.
if [[ $(id -u) -eq 0 ]]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:-} --disable-gpu"

# --- the sign-in window ----------------------------------------------------------------------

# Opens a sign-in window and sets HELPER_PID to its helper's process. The tray program cannot open it
# on command yet, so for now the helper is started alone on the loopback sign-in page; once
# the program can, this is the one place to change (start the sign-in from the program and
# set HELPER_PID to the helper's process, a child of $MAIN_PID).
open_sign_in_window() {
    mkfifo "$WORK/helper-in"
    "$HELPER" <"$WORK/helper-in" >"$WORK/helper-out" 2>/dev/null &
    HELPER_PID=$!
    PIDS+=("$HELPER_PID")
    exec {helperin}>"$WORK/helper-in"
    printf '{"cmd":"load","url":"%s/index.html"}\n' "$ORIGIN" >&"$helperin"
    local waited=0
    until grep -q '"event":"loaded"' "$WORK/helper-out" 2>/dev/null; do
        sleep 0.2
        waited=$((waited + 1))
        ((waited < 150)) || { echo "the sign-in page did not load" >&2; exit 1; }
    done
}

# Closes the window opened above and waits for its helper to end.
close_sign_in_window() {
    local pid=$1
    printf '{"cmd":"close"}\n' >&"$helperin"
    exec {helperin}>&-
    local waited=0
    while kill -0 "$pid" 2>/dev/null; do
        sleep 0.2
        waited=$((waited + 1))
        ((waited < 50)) || { kill -9 "$pid"; break; }
    done
}

# --- the measurements ------------------------------------------------------------------------

"${RUN[@]}" "$MAIN" --sandbox="$ORIGIN" >"$WORK/main.log" 2>&1 &
PIDS+=($!)
LAUNCHER_PID=$!
sleep "$SETTLE"
# Under dbus-run-session the program is a child of the launcher.
for pid in $(process_tree "$LAUNCHER_PID"); do
    if [[ "$(readlink "/proc/$pid/exe" 2>/dev/null)" == "$(readlink -f "$MAIN")" ]]; then
        MAIN_PID=$pid
    fi
done
[[ -n "$MAIN_PID" ]] || { echo "the tray program did not stay up:" >&2; cat "$WORK/main.log" >&2; exit 1; }

echo "Resident memory (VmRSS) under Xvfb, display :$display"
report "tray program after start (${SETTLE} s)" "$(rss_kb "$MAIN_PID")"

open_sign_in_window
helper_pid=$HELPER_PID
sleep "$SETTLE"
read -r tree_rss tree_pss <<<"$(tree_kb "$helper_pid")"
report "tray program, sign-in window open" "$(rss_kb "$MAIN_PID")"
report "sign-in helper alone (quorvella-webview)" "$(rss_kb "$helper_pid")"
report "sign-in helper with its engine processes (RSS, summed)" "$tree_rss"
report "sign-in helper with its engine processes (PSS, summed)" "$tree_pss"

close_sign_in_window "$helper_pid"
sleep 10
report "tray program 10 s after the window closed" "$(rss_kb "$MAIN_PID")"
