#!/usr/bin/env bash
# Installs what is missing, builds and runs all tests: once normally, once under
# AddressSanitizer + UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, and
# then every fuzz target over its seed corpus and for a short while (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

configure_build() {  # dir, extra cmake args...
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== build and test: normal"
configure_build build-ci
ctest --test-dir build-ci --output-on-failure -j "$jobs"

echo "== build and test: thread sanitizer (threaded tests)"
configure_build build-ci-tsan -DHEATDIAG_SANITIZE=thread -DHEATDIAG_BENCH=OFF -DHEATDIAG_GUI=OFF
ctest --test-dir build-ci-tsan --output-on-failure -j "$jobs" -L threaded --no-tests=ignore

echo "== build and test: address + undefined sanitizers"
configure_build build-ci-asan -DHEATDIAG_SANITIZE="address;undefined" -DHEATDIAG_BENCH=OFF
ctest --test-dir build-ci-asan --output-on-failure -j "$jobs"

echo "== fuzz: every target over its seed corpus, then ${FUZZ_SECONDS:-20} s each"
scripts/fuzz.sh
