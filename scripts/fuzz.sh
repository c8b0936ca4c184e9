#!/usr/bin/env bash
# Builds a fuzzer with clang into build-fuzz/ and runs it on a copy of its
# seed corpus: the archive fuzzer, or the data file fuzzer when the first
# argument is "datafile". Extra arguments go to libFuzzer, e.g.
#   scripts/fuzz.sh -jobs=1 -max_total_time=600
#   scripts/fuzz.sh datafile -jobs=1 -max_total_time=600
set -euo pipefail
target=archive-fuzzer
corpus=archive
if [ "${1:-}" = "datafile" ]; then
  target=data-file-fuzzer
  corpus=datafile
  shift
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$root/build-fuzz"
cxx=$(command -v clang++ || command -v clang++-14 || true)
cc=$(command -v clang || command -v clang-14 || true)
if [ -z "$cxx" ] || [ -z "$cc" ]; then
  echo "fuzz.sh: clang is needed (scripts/setup.sh installs it)" >&2
  exit 1
fi
cmake -S "$root" -B "$dir" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBRAMBLETON_BUILD_FUZZ=ON -DBRAMBLETON_BUILD_TESTS=OFF -DBRAMBLETON_BUILD_GUI=OFF >/dev/null
cmake --build "$dir" -j "${FUZZ_BUILD_JOBS:-2}" --target "$target"
work="$dir/corpus-$corpus"
mkdir -p "$work"
cp -n "$root"/fuzz/corpus/$corpus/* "$work"/
cd "$dir"
exec "$dir/fuzz/$target" "$work" "$@"
