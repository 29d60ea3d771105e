#!/usr/bin/env bash
# zolmek --service against the emulated remote through CYCLES connections
# (default 100), each dropped after a key is pressed and released in it:
# counts the keys typed (the uinput shim's record) and compares the
# process's resident memory and open descriptors after the first and the
# last connection. Then measures how long SIGTERM takes to end the service
# while it waits, probes, looks for the keypad and scans, and how much CPU
# it takes while waiting for a remote (SECONDS, default 60).
#
#   bench/service_cycles.sh [BUILD_DIR [CYCLES [SECONDS]]]
set -euo pipefail
build=$(realpath "${1:-build}")
cycles=${2:-100}
idle_seconds=${3:-60}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

run_service() {  # SCENARIO: starts zolmek --service in the background
  printf '%b' "$1" >"$dir/scenario"
  : >"$dir/log"
  env XDG_RUNTIME_DIR="$dir" XDG_CONFIG_HOME="$dir" SDL_AUDIODRIVER=dummy \
    LD_LIBRARY_PATH="$build/emulator" ZOLMEK_EMU_SCENARIO="$dir/scenario" \
    LD_PRELOAD="$build/tests/libuinput-shim.so" \
    ZOLMEK_TEST_UINPUT_LOG="$dir/uinput" \
    "$build/zolmek" --service --no-sound 2>"$dir/log" </dev/null &
  pid=$!
}
count() { grep -c -- "$1" "$dir/log" || true; }
wait_for() {  # TEXT TIMES
  local end=$((SECONDS + 120))
  until [ "$(count "$1")" -ge "$2" ]; do
    [ $SECONDS -lt $end ] || { echo "no $2 x '$1' in:"; cat "$dir/log"; exit 1; }
    sleep 0.01
  done
}
footprint() {
  echo "$(awk '/^VmRSS/ {print $2}' /proc/$pid/status) kB resident," \
    "$(ls /proc/$pid/fd | wc -l) descriptors"
}

echo "== $cycles connections, a key pressed in each"
scenario=""
for ((c = 1; c <= cycles; c++)); do
  scenario+="press 5 $c:3\nrelease 5 $c:4\ndisconnect 30\nreconnect 20\n"
done
run_service "$scenario"
wait_for "the remote is gone" 1
first=$(footprint)
wait_for "the remote is gone" "$cycles"
last=$(footprint)
kill -TERM $pid
wait $pid
typed=$(grep -c '^1 6 1$' "$dir/uinput" || true)
keyboards=$(grep -c '^create' "$dir/uinput" || true)
echo "   keys typed: $typed of $cycles; keyboards made: $keyboards"
echo "   after the first connection: $first"
echo "   after the last:             $last"
[ "$typed" -eq "$cycles" ] && [ "$keyboards" -eq 1 ]

echo "== SIGTERM while waiting, probing, looking for the keypad, scanning"
for stage in "no-remote|waiting for a remote" "silent|does not answer" \
  "keypad absent|no keypad answers" "press 5 3|keypad found"; do
  run_service "${stage%%|*}\n"
  wait_for "${stage#*|}" 1
  start=$(date +%s%N)
  kill -TERM $pid
  status=0
  wait $pid || status=$?
  echo "   ${stage%%|*}: exit $status after $((($(date +%s%N) - start) / 1000000)) ms;" \
    "last report: $(tail -n 1 "$dir/log" | tr -d '\n')"
done

echo "== waiting for a remote for $idle_seconds s"
run_service "no-remote\n"
wait_for "waiting for a remote" 1
ticks=$(getconf CLK_TCK)
cpu_start=$(awk '{print $14 + $15}' /proc/$pid/stat)
sleep "$idle_seconds"
cpu_end=$(awk '{print $14 + $15}' /proc/$pid/stat)
kill -TERM $pid
wait $pid
awk -v t=$((cpu_end - cpu_start)) -v hz="$ticks" -v s="$idle_seconds" \
  'BEGIN { printf "   %.3f s of CPU: %.3f %% of a core\n", t / hz, 100 * t / hz / s }'
