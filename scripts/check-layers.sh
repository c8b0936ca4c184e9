#!/usr/bin/env bash
# Prints the include edges between the core's subsystems and fails when one
# goes upwards; the layer order is the one of src/core/CMakeLists.txt.
set -euo pipefail
core="$(cd "$(dirname "$0")/../src/core" && pwd)"
layers=$(sed -n '/^set(BRAMBLETON_CORE_LAYERS/,/)/p' "$core/CMakeLists.txt" | sed 's/^set(BRAMBLETON_CORE_LAYERS//' | tr -d '()' | tr -s ' \n' ' ')
declare -A rank
i=0
for l in $layers; do rank[$l]=$i; i=$((i + 1)); done
status=0
for dir in $layers; do
    for target in $(grep -rhoE '^#include "[a-z]+/' "$core/$dir" | sed -E 's/#include "([a-z]+)\//\1/' | sort -u); do
        [ "$target" = "$dir" ] && continue
        if [ -z "${rank[$target]+x}" ]; then
            echo "layers: $dir includes unknown folder $target"; status=1
        elif [ "${rank[$target]}" -gt "${rank[$dir]}" ]; then
            echo "layers: $dir includes $target, which lies above it"; status=1
        elif [ "${VERBOSE:-0}" = 1 ]; then
            echo "$dir -> $target"
        fi
    done
done
exit "$status"
