#!/usr/bin/env bash
# Fails when a tracked C++ file is not clang-format clean.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || true)
[ -z "$files" ] && exit 0
echo "$files" | xargs clang-format --dry-run -Werror
echo "format: clean"
