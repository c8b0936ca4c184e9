#!/usr/bin/env bash
# Configures and builds into build/ (or build-asan/ with --sanitize).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$root/build"
extra=()
if [ "${1:-}" = "--sanitize" ]; then
  dir="$root/build-asan"
  extra+=(-DBRAMBLETON_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  shift
fi
cmake -S "$root" -B "$dir" "${extra[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
echo "$dir"
