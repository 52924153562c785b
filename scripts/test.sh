#!/usr/bin/env bash
# Installs what is missing, builds Quorvella with its tests and runs every test; then the unit
# and integration tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer in
# their own folder (QUORVELLA_SANITIZE=0 skips that run).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVELLA_BUILD_DIR:-$root/build}
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh"
# Unit and integration tests mostly wait on timers and the sandbox, so twice as many run as
# there are cores; the end-to-end ones each own a virtual desktop and the clock of their
# timeouts, so they run one at a time.
jobs=${QUORVELLA_TEST_JOBS:-$((2 * $(nproc)))}
(cd "$build" && ctest --output-on-failure --timeout 300 -j "$jobs" -LE e2e "$@")
(cd "$build" && ctest --output-on-failure --timeout 300 -L e2e "$@")
"$root/scripts/check-format.sh"

if [ "${QUORVELLA_SANITIZE:-1}" != 0 ]; then
    asan=${QUORVELLA_ASAN_BUILD_DIR:-$root/build-asan}
    # Only what those tests need: no end-to-end tests, benchmarks or web view helper. -O1 and
    # line tables only: half the compile time of -O2 -g, and reports still name file and line.
    QUORVELLA_BUILD_DIR=$asan QUORVELLA_BUILD_TARGET=tests-without-e2e "$root/scripts/build.sh" \
        -DQUORVELLA_SANITIZE=ON -DQUORVELLA_BUILD_BENCH=OFF -DQUORVELLA_BUILD_WEBVIEW=OFF \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
    # Any undefined behaviour fails its test, with the place it happened.
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
    (cd "$asan" && ctest --output-on-failure --timeout 600 -j "$jobs" -LE e2e "$@")
fi
