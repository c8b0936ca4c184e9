#!/usr/bin/env bash
# Fails when an include goes upwards, naming the file and the include. The
# core's subsystems include only their own and lower layers, in the order of
# src/core/CMakeLists.txt; the editor's folders likewise, in the order of
# src/gui/CMakeLists.txt, with the whole core below them. VERBOSE=1 prints
# the edges. Takes the source folder to check (default: this checkout's src).
set -euo pipefail
src="$(cd "${1:-$(dirname "$0")/../src}" && pwd)"
status=0

# The folders of set(NAME ...) in a CMakeLists.txt, lowest first.
layers() { sed -n "/^set($1\$/,/)/p" "$2" | sed "s/^set($1//" | tr -d '()' | tr -s ' \n' ' '; }

# check ROOT PREFIX FOLDER...: an include of "PREFIXfolder/..." in ROOT/folder
# names the same folder or a lower one.
check() {
    local root=$1 prefix=$2
    shift 2
    local -A rank=() edges=()
    local i=0 dir file text target
    for dir in "$@"; do
        rank[$dir]=$i
        i=$((i + 1))
    done
    local pattern="^#include \"${prefix}([a-z]+)/"
    for dir in "$@"; do
        if [ ! -d "$root/$dir" ]; then
            echo "layers: the layer list names $dir, but ${root#"$src/"}/$dir does not exist"
            status=1
            continue
        fi
        while IFS=: read -r file line text; do
            [[ $text =~ $pattern ]] || continue
            target=${BASH_REMATCH[1]}
            [ "$target" = "$dir" ] && continue
            if [ -z "${rank[$target]+x}" ]; then
                echo "layers: src/${file#"$src/"}:$line includes ${text#\#include }: $prefix$target is no layer of $(basename "$root")"
                status=1
            elif [ "${rank[$target]}" -gt "${rank[$dir]}" ]; then
                echo "layers: src/${file#"$src/"}:$line includes ${text#\#include }: $target lies above $dir (lowest first: $*)"
                status=1
            else
                edges["$prefix$dir -> $prefix$target"]=1
            fi
        done < <(grep -rnE "$pattern" "$root/$dir" || true)
    done
    if [ "${VERBOSE:-0}" = 1 ] && [ "${#edges[@]}" -gt 0 ]; then
        printf '%s\n' "${!edges[@]}" | sort
    fi
}

for part in core:BRAMBLETON_CORE_LAYERS: gui:BRAMBLETON_GUI_LAYERS:gui/; do
    IFS=: read -r folder list prefix <<<"$part"
    order=$(layers "$list" "$src/$folder/CMakeLists.txt")
    if [ -z "$order" ]; then
        echo "layers: src/$folder/CMakeLists.txt sets no $list"
        status=1
        continue
    fi
    # shellcheck disable=SC2086 # the order is a list of words
    check "$src/$folder" "$prefix" $order
done
exit "$status"
