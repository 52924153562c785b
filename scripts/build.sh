#!/usr/bin/env bash
# Configures and builds Quorvella into build/ (or $QUORVELLA_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVELLA_BUILD_DIR:-$root/build}
jobs=${QUORVELLA_JOBS:-$(nproc)}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja "$@"
fi
cmake --build "$build" -j "$jobs"
