#!/usr/bin/env bash
# Sets everything up, builds and starts the program on the sample workspace.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
dir=$("$root/scripts/build.sh" | tail -n 1)
# The build assembles the runnable workspace (settings, data, modules) in $dir/examples.
[ $# -gt 0 ] || set -- --version
"$dir/src/cli/brambleton-cli" --workdir "$dir/examples" "$@"
