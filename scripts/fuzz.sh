#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz (clang, AddressSanitizer and
# UBSan) in build-fuzz/ and runs each (or the TARGETs named: input-reports,
# report-descriptor, key-sound, scenario, keymap) for SECONDS (default 60),
# starting from its seeds in tests/fuzz/seeds and the corpus earlier runs
# left in build-fuzz/corpus. Prints one line per target (executions, corpus,
# coverage) and a last line with the total executions. Exits 1 when a target
# crashed, leaked, hung (10 s on one input) or tripped a sanitizer; the input
# that did it is kept in build-fuzz/findings/ and the target's log beside it.
#
#   scripts/fuzz.sh [SECONDS [TARGET...]]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}
root=$PWD
targets=(input-reports report-descriptor key-sound scenario keymap)
[ $# -le 1 ] || targets=("${@:2}")

scripts/setup.sh

# clang with its libFuzzer runtime.
fuzzer_links() {
  command -v clang++ >/dev/null || return 1
  local out
  out=$(mktemp)
  echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer - -o "$out" >/dev/null 2>&1 || {
    rm -f "$out"
    return 1
  }
  rm -f "$out"
}
if ! fuzzer_links; then
  scripts/install-packages.sh clang libclang-rt-dev
  fuzzer_links || { echo "fuzz.sh: clang cannot link libFuzzer" >&2; exit 1; }
fi

flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all"
flags+=" -fno-omit-frame-pointer"
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOLMEK_FUZZ=ON -DBUILD_TESTING=OFF \
  -DZOLMEK_BENCHMARKS=OFF -DZOLMEK_MANPAGES=OFF "-DCMAKE_CXX_FLAGS=$flags" \
  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz-}"

# SDL allocates a WAV chunk's declared length (up to 4 GiB) before it finds
# the file shorter; that memory is reserved, never filled, so the key-sound
# target allows single allocations that large. The RSS limit still holds.
declare -A extra=([key-sound]="-malloc_limit_mb=4200")

mkdir -p "$build/findings"
total=0
failed=0
for name in "${targets[@]}"; do
  corpus="$root/$build/corpus/$name"
  log="$root/$build/findings/$name.log"
  mkdir -p "$corpus"
  status=0
  # Absolute paths: the key-sound target works in a scratch directory.
  "$build/tests/fuzz/fuzz-$name" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 ${extra[$name]:-} -print_final_stats=1 \
    -artifact_prefix="$root/$build/findings/$name-" \
    "$corpus" "$root/tests/fuzz/seeds/$name" >"$log" 2>&1 || status=$?
  text=$(<"$log")
  runs=0
  [[ $text =~ stat::number_of_executed_units:\ *([0-9]+) ]] &&
    runs=${BASH_REMATCH[1]}
  total=$((total + runs))
  if [ "$status" -ne 0 ] || [[ $text =~ runtime\ error:|Sanitizer: ]]; then
    failed=1
    echo "$name: FAILED after $runs executions (exit $status); see $log"
    continue
  fi
  if [[ $text =~ DONE\ +cov:\ ([0-9]+)\ ft:\ ([0-9]+)\ corp:\ ([0-9]+)/([0-9]+[a-zA-Z]*) ]]; then
    echo "$name: $runs executions, corpus ${BASH_REMATCH[3]} inputs" \
      "(${BASH_REMATCH[4]}), coverage ${BASH_REMATCH[1]} edges" \
      "(${BASH_REMATCH[2]} features)"
  else
    failed=1
    echo "$name: no final statistics; see $log"
  fi
done
echo "total: $total executions in ${#targets[@]} targets of ${seconds} s"
exit $failed
