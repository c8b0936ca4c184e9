#!/usr/bin/env bash
# The checkout's scripts run on made-up trees: ScriptsTest.sh CASE.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

# test.sh with setup and build doing nothing, and lint and ctest stubs that
# exit as told and leave a mark when they ran.
LintFailureStillRunsTheTests() {
    mkdir -p "$tmp/scripts" "$tmp/build" "$tmp/bin"
    cp "$root/scripts/test.sh" "$tmp/scripts/"
    printf '#!/bin/sh\n' >"$tmp/scripts/setup.sh"
    printf '#!/bin/sh\necho "%s"\n' "$tmp/build" >"$tmp/scripts/build.sh"
    # shellcheck disable=SC2016 # the stubs read their exits when they run
    printf '#!/bin/sh\necho "lint: stub"\nexit "$LINT_EXIT"\n' >"$tmp/scripts/lint.sh"
    # shellcheck disable=SC2016
    printf '#!/bin/sh\ntouch "%s/ran"\necho "ctest: stub"\nexit "$CTEST_EXIT"\n' "$tmp" >"$tmp/bin/ctest"
    chmod +x "$tmp/scripts/"*.sh "$tmp/bin/ctest"
    local lint tests out rc
    # lint exit, ctest exit, the summary line.
    while read -r lint tests summary; do
        rm -f "$tmp/ran"
        rc=0
        out=$(LINT_EXIT=$lint CTEST_EXIT=$tests PATH="$tmp/bin:$PATH" bash "$tmp/scripts/test.sh" 2>&1) || rc=$?
        [ -f "$tmp/ran" ] || fail "lint $lint, tests $tests: the tests did not run"
        grep -qF "$summary" <<<"$out" || fail "lint $lint, tests $tests: no '$summary' in: $out"
        if [ "$lint" -eq 0 ] && [ "$tests" -eq 0 ]; then
            [ "$rc" -eq 0 ] || fail "lint and tests passed, yet test.sh exited $rc"
        else
            [ "$rc" -ne 0 ] || fail "lint $lint, tests $tests: test.sh exited 0"
        fi
    done <<'CASES'
0 0 test: lint passed, tests passed
1 0 test: lint FAILED (exit 1), tests passed
0 8 test: lint passed, tests FAILED (exit 8)
1 8 test: lint FAILED (exit 1), tests FAILED (exit 8)
CASES
}

# check-layers.sh on a copy of the sources with one include added.
LayerCheckNamesAnUpwardInclude() {
    local file include expected rc out
    while read -r file include expected; do
        rm -rf "$tmp/src"
        cp -r "$root/src" "$tmp/src"
        [ "$file" = "-" ] || echo "#include \"$include\"" >>"$tmp/src/$file"
        rc=0
        out=$("$root/scripts/check-layers.sh" "$tmp/src" 2>&1) || rc=$?
        if [ "$expected" = ok ]; then
            [ "$rc" -eq 0 ] || fail "$file including $include was refused: $out"
        elif [ "$rc" -eq 0 ]; then
            fail "$file including $include passed"
        elif ! grep -qF "src/$file:" <<<"$out" || ! grep -qF "\"$include\"" <<<"$out"; then
            fail "$file including $include: the message names neither: $out"
        fi
    done <<'CASES'
- - ok
gui/views/CommentView.cpp gui/mainframe/MainFrame.h refused
gui/dialogs/AboutDialog.cpp gui/mainframe/MainFrame.h refused
gui/controls/Palette.cpp gui/views/InstructionView.h refused
gui/controls/Palette.cpp gui/dialogs/AboutDialog.h refused
gui/views/CommentView.cpp gui/dialogs/AboutDialog.h refused
gui/mainframe/MainFrame.h gui/app/Application.h refused
gui/views/CommentView.cpp gui/nowhere/Thing.h refused
core/base/Text.cpp document/DocumentEdits.h refused
core/document/Search.cpp gui/views/CommentView.h refused
gui/dialogs/AboutDialog.cpp gui/views/InstructionChooser.h ok
gui/app/Application.cpp gui/dialogs/AboutDialog.h ok
CASES
}

case "${1:-}" in
LintFailureStillRunsTheTests) LintFailureStillRunsTheTests ;;
LayerCheckNamesAnUpwardInclude) LayerCheckNamesAnUpwardInclude ;;
*)
    echo "usage: ScriptsTest.sh LintFailureStillRunsTheTests|LayerCheckNamesAnUpwardInclude"
    exit 2
    ;;
esac
exit "$failed"
