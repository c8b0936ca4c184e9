#!/usr/bin/env bash
# Sets everything up, builds, checks formatting, layers and lint, and runs every test. --sanitize runs them under ASan+UBSan.
# A lint failure does not stop the tests: both results are printed at the end, and either failing fails the script.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
dir=$("$root/scripts/build.sh" "$@" | tail -n 1)
lint=0
BUILD_DIR="$dir" "$root/scripts/lint.sh" || lint=$?
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
tests=0
(cd "$dir" && ctest --output-on-failure -j "$(nproc)") || tests=$?
verdict() { if [ "$1" -eq 0 ]; then echo passed; else echo "FAILED (exit $1)"; fi; }
echo "test: lint $(verdict "$lint"), tests $(verdict "$tests")"
[ "$lint" -eq 0 ] && [ "$tests" -eq 0 ]
