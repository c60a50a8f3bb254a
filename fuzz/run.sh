#!/usr/bin/env bash
# Builds the fuzz drivers with Clang (build/fuzz) and runs each for a given time
# on a corpus seeded from the tests; prints runs, seconds and findings per driver.
#   fuzz/run.sh SECONDS [DRIVER...]     drivers: parse_fuzzer compile_fuzzer (default both)
#   PARALLEL=1     run the drivers at the same time, one core each
#   FUZZ_ARGS=...  more libFuzzer flags, e.g. "-fork=1 -ignore_crashes=1" to go on past a finding
#   JOBS=3         build parallelism
#   FUZZ_BUILD=build/fuzz   where the drivers are built and the corpora and findings kept
# Exits non-zero when a driver found anything; its inputs are in build/fuzz/findings/DRIVER/.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_EACH="${1:?usage: fuzz/run.sh SECONDS [DRIVER...]}"
shift
DRIVERS=("$@")
if [ ${#DRIVERS[@]} -eq 0 ]; then DRIVERS=(parse_fuzzer compile_fuzzer); fi
JOBS="${JOBS:-3}"
OUT="${FUZZ_BUILD:-build/fuzz}"

CXX=clang++ cmake -S . -B "$OUT" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRTOVA_BUILD_FUZZ=ON \
  -DMIRTOVA_BUILD_MODULE=OFF -DMIRTOVA_BUILD_TESTS=OFF >/dev/null
cmake --build "$OUT" -j "$JOBS" --target "${DRIVERS[@]}" >/dev/null

export ASAN_OPTIONS="detect_leaks=1 ${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1 ${UBSAN_OPTIONS:-}"

run_driver() {
  local driver="$1" corpus="$OUT/corpus/$1" findings="$OUT/findings/$1" seed_flag=""
  [ "$driver" = compile_fuzzer ] && seed_flag="--engine-byte"
  rm -rf "$findings"
  mkdir -p "$corpus" "$findings"
  python3 fuzz/seed_corpus.py "$corpus" $seed_flag >/dev/null
  # An input that takes 10 s, or 1 GB at once, or 2 GB in all, is a finding.
  "$OUT/$driver" "$corpus" -max_total_time="$SECONDS_EACH" -timeout=10 -malloc_limit_mb=1024 \
    -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 -artifact_prefix="$findings/" ${FUZZ_ARGS:-} \
    >"$OUT/$driver.log" 2>&1
}

report() {
  local driver="$1" status="$2" log="$OUT/$1.log"
  local runs seconds found
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{s += $2} END {print s + 0}')
  seconds=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | tail -1 | awk '{print $5}')
  found=$(find "$OUT/findings/$driver" -type f | wc -l)
  echo "$driver: ${runs} runs, ${seconds:-$SECONDS_EACH} s, exit $status, ${found} finding(s) in $OUT/findings/$driver"
}

declare -A STATUS
if [ "${PARALLEL:-0}" = 1 ]; then
  declare -A PIDS
  for d in "${DRIVERS[@]}"; do
    run_driver "$d" &
    PIDS[$d]=$!
  done
  for d in "${DRIVERS[@]}"; do
    if wait "${PIDS[$d]}"; then STATUS[$d]=0; else STATUS[$d]=$?; fi
  done
else
  for d in "${DRIVERS[@]}"; do
    if run_driver "$d"; then STATUS[$d]=0; else STATUS[$d]=$?; fi
  done
fi

failed=0
for d in "${DRIVERS[@]}"; do
  report "$d" "${STATUS[$d]}"
  if [ "${STATUS[$d]}" != 0 ] || [ -n "$(find "$OUT/findings/$d" -type f)" ]; then
    failed=1
    tail -40 "$OUT/$d.log"
  fi
done
exit "$failed"
