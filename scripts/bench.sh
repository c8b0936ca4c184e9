#!/usr/bin/env bash
# Builds the benchmarks into build-bench/ (apart from the test build, so the
# two do not rebuild each other) and runs every one; each prints its figures
# against their targets. Fails when a benchmark misses a target or fails to
# run, after all have run. Run it on a quiet machine.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
dir="$root/build-bench"
cmake -S "$root" -B "$dir" -DBRAMBLETON_BUILD_BENCH=ON >/dev/null || exit 1
benches=(archive-bench modules-bench codemodel-bench document-bench memory-bench vcs-bench palette-bench editor-bench)
cmake --build "$dir" -j "$(nproc)" --target "${benches[@]}" || exit 1
failed=()
for bench in "${benches[@]}"; do
  echo "==== $bench"
  if ! QT_QPA_PLATFORM=offscreen "$dir/bench/$bench"; then
    failed+=("$bench")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "missed targets or failed: ${failed[*]}"
  exit 1
fi
echo "every benchmark kept its targets"
