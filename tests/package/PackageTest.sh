#!/usr/bin/env bash
# Builds the Debian package of a build folder, unpacks it into a scratch root
# and runs the programs from there, as an installed user would, with no path
# into the build: the CLI writes a sample's script (the same bytes as the
# build's CLI), the editor finds its workspace beside its program.
# Usage: PackageTest.sh CPACK BUILD_DIR CLI_OF_THE_BUILD WITH_EDITOR(1|0)
set -euo pipefail
cpack=$1
build=$2
built_cli=$3
with_editor=$4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "package test: $*" >&2
    exit 1
}

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    fail "cpack -G DEB failed"
fi
debs=("$scratch"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb in $scratch/out, found: ${debs[*]}"
deb=${debs[0]}

# The linked libraries' packages are its dependencies.
depends=$(dpkg-deb -f "$deb" Depends)
for package in libc6 libpugixml1v5 zlib1g; do
    [[ "$depends" == *"$package "* ]] || fail "Depends lacks $package: $depends"
done

root="$scratch/root"
dpkg -x "$deb" "$root"
workspace="$root/usr/share/brambleton/examples"
expected=(usr/bin/brambleton-cli usr/share/brambleton/examples/brambleton.ini
    usr/share/brambleton/examples/Modules/core.modl usr/share/brambleton/examples/samples/Countdown.bdf
    usr/share/brambleton/examples/Localization/de/MainFrame.xml)
if [ "$with_editor" = 1 ]; then
    expected+=(usr/bin/brambleton usr/share/applications/brambleton.desktop usr/share/mime/packages/brambleton.xml
        usr/share/icons/hicolor/scalable/apps/brambleton.svg)
fi
for file in "${expected[@]}"; do
    [ -f "$root/$file" ] || fail "the package lacks /$file"
done

# Nothing of the build may be needed to run.
for program in "$root"/usr/bin/*; do
    if readelf -d "$program" | grep -qE 'RPATH|RUNPATH'; then
        fail "$program keeps a library path: $(readelf -d "$program" | grep -E 'RPATH|RUNPATH')"
    fi
    if env -u LD_LIBRARY_PATH ldd "$program" | grep -E 'not found|'"$build"; then
        fail "$program needs a library outside the system"
    fi
done

# Logs and user data of the runs stay in the scratch folder; the working
# folder holds no brambleton.ini.
mkdir -p "$scratch/home" "$scratch/elsewhere"
cd "$scratch/elsewhere"
run() { env -u LD_LIBRARY_PATH HOME="$scratch/home" TMPDIR="$scratch/home" XDG_CONFIG_HOME="$scratch/home" "$@"; }

run "$root/usr/bin/brambleton-cli" --workdir "$workspace" generate "$workspace/samples/Countdown.bdf" \
    -o "$scratch/installed.lua" || fail "the installed brambleton-cli could not generate the sample's script"
[ -s "$scratch/installed.lua" ] || fail "the installed brambleton-cli wrote no script"
run "$built_cli" --workdir "$build/examples" generate "$build/examples/samples/Countdown.bdf" -o "$scratch/built.lua"
cmp "$scratch/installed.lua" "$scratch/built.lua" || fail "the installed and the built workspace give different scripts"

if [ "$with_editor" = 1 ]; then
    # Unattended, it starts, answers any box on standard error and closes.
    run BRAMBLETON_UNATTENDED=1 QT_QPA_PLATFORM=offscreen "$root/usr/bin/brambleton" >"$scratch/editor.log" 2>&1 ||
        { cat "$scratch/editor.log" >&2; fail "the installed editor did not start in its workspace"; }
    if grep -q "Fatal Error" "$scratch/editor.log"; then
        cat "$scratch/editor.log" >&2
        fail "the installed editor did not start in its workspace"
    fi
fi
echo "package test: $(basename "$deb") installs and runs"
