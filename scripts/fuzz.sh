#!/usr/bin/env bash
# Builds the fuzz targets (clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each: first over its seed corpus (fuzz/corpus/<target>, the regression cases), then
# for a bounded time from there. Fails on any crash, leak, sanitizer report or time-out; the
# input that did it is left in build-fuzz/fuzz/artifacts/.
#
#   scripts/fuzz.sh [TARGET...]                          every target when none is named
#   FUZZ_SECONDS=900 scripts/fuzz.sh fuzz_hbus_replies   a full run of one target
#
# FUZZ_SECONDS (default 20) is the time per target; FUZZ_BUILD the build tree (build-fuzz);
# FUZZ_CXX_FLAGS the optimisation flags (-O1 -g1 -DNDEBUG).
# New inputs found on the way go to build-fuzz/fuzz/work/<target>, not into the repository;
# copy one into fuzz/corpus/<target> when it should stay.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD:-build-fuzz}
seconds=${FUZZ_SECONDS:-20}

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="${FUZZ_CXX_FLAGS:--O1 -g1 -DNDEBUG}" \
  -DHEATDIAG_FUZZ=ON -DHEATDIAG_GUI=OFF -DHEATDIAG_TESTS=OFF -DHEATDIAG_BENCH=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_all

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then mapfile -t targets < "$build/fuzz/targets.txt"; fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
common=(-timeout=10 -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1)
for t in "${targets[@]}"; do
  [ -n "$t" ] || continue
  corpus=fuzz/corpus/$t
  work=$build/fuzz/work/$t
  artifacts=$build/fuzz/artifacts
  mkdir -p "$work" "$artifacts"
  [ -d "$corpus" ] || { echo "fuzz: $t has no seed corpus in $corpus"; exit 1; }
  echo "== fuzz $t: seed corpus"
  "$build/fuzz/$t" "${common[@]}" -artifact_prefix="$artifacts/$t-" -runs=0 "$corpus" \
    >"$build/fuzz/$t.seed.log" 2>&1 || { cat "$build/fuzz/$t.seed.log"; exit 1; }
  echo "== fuzz $t: ${seconds} s"
  "$build/fuzz/$t" "${common[@]}" -artifact_prefix="$artifacts/$t-" \
    -max_total_time="$seconds" "$work" "$corpus" >"$build/fuzz/$t.log" 2>&1 ||
    { tail -n 60 "$build/fuzz/$t.log"; exit 1; }
  grep -E "^stat::number_of_executed_units" "$build/fuzz/$t.log" || true
done
echo "fuzz: all targets clean"
