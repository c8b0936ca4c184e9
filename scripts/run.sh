#!/usr/bin/env bash
# Sets everything up, builds the editor and the sample workspace (not the
# tests: scripts/test.sh builds those) and starts the editor on the sample
# workspace. Arguments go to the editor (a data file to open).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
dir="$root/build"
cmake -S "$root" -B "$dir" >/dev/null
cmake --build "$dir" -j "$(nproc)" --target brambleton brambleton-cli brambleton-examples
# The build assembles the runnable workspace (settings, data, modules) in
# $dir/examples, the editor's program folder.
exec "$dir/src/gui/brambleton" --workdir "$dir/examples" "$@"
