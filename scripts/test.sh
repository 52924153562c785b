#!/usr/bin/env bash
# Installs what is missing, builds Quorvella with its tests and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVELLA_BUILD_DIR:-$root/build}
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure --timeout 300 "$@"
"$root/scripts/check-format.sh"
