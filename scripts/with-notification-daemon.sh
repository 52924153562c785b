#!/usr/bin/env bash
# Runs a command with a notification daemon on the current D-Bus session (for virtual displays).
set -u
dunst >/dev/null 2>&1 &
daemon=$!
trap 'kill $daemon 2>/dev/null' EXIT
"$@"
