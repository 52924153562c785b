#!/usr/bin/env bash
# Configures and builds Quorvella into build/ (or $QUORVELLA_BUILD_DIR): the whole tree, or
# only $QUORVELLA_BUILD_TARGET.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVELLA_BUILD_DIR:-$root/build}
jobs=${QUORVELLA_JOBS:-$(nproc)}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja "$@"
fi
cmake --build "$build" -j "$jobs" ${QUORVELLA_BUILD_TARGET:+--target "$QUORVELLA_BUILD_TARGET"}
