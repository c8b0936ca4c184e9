#!/usr/bin/env bash
# Sets everything up, builds, checks formatting, layers and lint, and runs every test. --sanitize runs them under ASan+UBSan.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
dir=$("$root/scripts/build.sh" "$@" | tail -n 1)
BUILD_DIR="$dir" "$root/scripts/lint.sh"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$dir"
ctest --output-on-failure -j "$(nproc)"
