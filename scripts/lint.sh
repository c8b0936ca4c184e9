#!/usr/bin/env bash
# Formatter, layer and linter checks. Needs a configured build (compile_commands.json).
# --all lints every source file (CI does); otherwise only the files changed against HEAD.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cd "$root"

all=0
[ "${1:-}" = "--all" ] && all=1
[ "${CI:-}" = "true" ] && all=1

status=0
# 1. Formatting of every tracked C++ file.
if ! git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror 2>/tmp/brambleton-format.$$; then
    head -n 20 /tmp/brambleton-format.$$
    echo "lint: formatting differs; run: git ls-files '*.cpp' '*.h' | xargs clang-format -i"
    status=1
fi
rm -f /tmp/brambleton-format.$$

# 2. Layers of the core and of the editor: a folder includes only itself and the layers below it.
"$root/scripts/check-layers.sh" || status=1

# 3. clang-tidy on the sources (headers through them).
if [ "$all" -eq 1 ]; then
    files=$(git ls-files 'src/*.cpp')
else
    files=$( (git diff --name-only HEAD; git ls-files --others --exclude-standard) | grep -E '^src/.*\.(cpp|h)$' | sort -u || true)
    # A changed header is linted through the sources of its folder.
    files=$(for f in $files; do
        if [[ "$f" == *.h ]]; then git ls-files "$(dirname "$f")/*.cpp"; elif [ -f "$f" ]; then echo "$f"; fi
    done | sort -u)
fi
if [ -n "$files" ]; then
    if ! echo "$files" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null >/tmp/brambleton-tidy.$$; then
        grep -E 'error:|warning:' /tmp/brambleton-tidy.$$ | sort -u | head -n 40
        echo "lint: clang-tidy found problems"
        status=1
    fi
    rm -f /tmp/brambleton-tidy.$$
fi
[ "$status" -eq 0 ] && echo "lint: clean"
exit "$status"
