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

# Line tables are enough for the sanitizers' stack traces and compile in a fraction of the time of
# full debug information; the sanitizer builds use -O1, as the sanitizers advise.
optimised="-O2 -g1 -DNDEBUG"
checked="-O1 -g1 -DNDEBUG"

configure_build() {  # dir, flags, extra cmake args...
  local dir=$1 flags=$2; shift 2
  cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== build and test: normal (at ${SECONDS} s)"
configure_build build-ci "$optimised"
ctest --test-dir build-ci --output-on-failure -j "$jobs"

echo "== build and test: thread sanitizer (threaded tests) (at ${SECONDS} s)"
configure_build build-ci-tsan "$checked" -DHEATDIAG_SANITIZE=thread -DHEATDIAG_BENCH=OFF -DHEATDIAG_GUI=OFF
ctest --test-dir build-ci-tsan --output-on-failure -j "$jobs" -L threaded --no-tests=ignore

echo "== build and test: address + undefined sanitizers (at ${SECONDS} s)"
configure_build build-ci-asan "$checked" -DHEATDIAG_SANITIZE="address;undefined" -DHEATDIAG_BENCH=OFF
ctest --test-dir build-ci-asan --output-on-failure -j "$jobs"

export FUZZ_SECONDS=${FUZZ_SECONDS:-10}
echo "== fuzz: every target over its seed corpus, then ${FUZZ_SECONDS} s each (at ${SECONDS} s)"
scripts/fuzz.sh
echo "== all stages passed in ${SECONDS} s"
