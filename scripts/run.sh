#!/usr/bin/env bash
# Sets everything up, builds and starts the program on the sample workspace.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
dir=$("$root/scripts/build.sh" | tail -n 1)
"$dir/src/cli/brambleton-cli" --workdir "$root/examples" --version "$@"
