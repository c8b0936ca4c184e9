#!/usr/bin/env bash
# Sets everything up, builds and starts the editor on the sample workspace.
# Arguments go to the editor (a data file to open).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
dir=$("$root/scripts/build.sh" | tail -n 1)
# The build assembles the runnable workspace (settings, data, modules) in
# $dir/examples; the editor's program folder is its working folder.
cd "$dir/examples"
exec "$dir/src/gui/brambleton" "$@"
