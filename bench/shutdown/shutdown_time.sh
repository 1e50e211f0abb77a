#!/usr/bin/env bash
# Measures how long the programs take to end when asked to while a diagnosis of the virtual
# heater runs: start, wait until the session has its data, send the signal, time the exit.
#   bench/shutdown/shutdown_time.sh [BUILD_DIR] [RUNS]
# Prints one line per run and the worst time. Needs heatdiag-cli; heatdiag too when built
# (run offscreen).
set -euo pipefail
build=${1:-build}
runs=${2:-5}
cli=$build/cli/heatdiag-cli
gui=$build/src/shell/heatdiag
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export XDG_CONFIG_HOME=$(mktemp -d)  # never the user's settings
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT

now_ms() { date +%s%3N; }

# measure NAME SIGNAL COMMAND...: starts it, lets the diagnosis connect and poll for a while
# (SETTLE seconds, so that a request and its reply wait are in progress), then signals and
# times the exit.
settle=${SETTLE:-6}
measure() {
  local name=$1 sig=$2; shift 2
  local worst=0
  for ((i = 1; i <= runs; i++)); do
    "$@" >/dev/null 2>&1 &
    local pid=$!
    sleep "$settle"
    if ! kill -0 $pid 2>/dev/null; then echo "$name: ended on its own"; return 1; fi
    local t0; t0=$(now_ms)
    kill -s "$sig" $pid
    wait $pid || true
    local dt=$(( $(now_ms) - t0 ))
    [ $dt -gt $worst ] && worst=$dt
    echo "$name run $i: exit after $dt ms"
  done
  echo "$name worst: $worst ms"
}

measure "heatdiag-cli diagnose, SIGINT" INT \
  "$cli" diagnose --device D00 --virtual-heater --seconds 600
if [ -x "$gui" ]; then
  measure "heatdiag, SIGTERM" TERM "$gui" --virtual-heater
fi
