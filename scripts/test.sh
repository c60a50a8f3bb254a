#!/usr/bin/env bash
# Runs every test: the C++ unit tests of the core, built with GCC and again with
# Clang, warnings as errors; each fuzz driver for a minute (MIRTOVA_FUZZ_SECONDS,
# 0 to leave them out); the Python tests of the installed module (run
# scripts/install.sh first). The Clang pass runs beside the Python tests, which
# keep less than one core busy. The Spark, Trino and Presto stages are most of
# the Python time (their engines start in the background while the tests
# before theirs run).
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS="${JOBS:-$(nproc)}"
bash scripts/check_format.sh
python3 scripts/check_layers.py
# Builds the core and its tests in a directory of their own, and runs them.
cpp_tests() {
  local dir="$1" compiler="$2"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER="$compiler" \
    -DMIRTOVA_BUILD_TESTS=ON -DMIRTOVA_BUILD_MODULE=OFF -DMIRTOVA_WERROR=ON >/dev/null
  cmake --build "$dir" -j "$JOBS"
  (cd "$dir" && ctest --output-on-failure -j "$JOBS")
}
cpp_tests build/tests g++

FUZZ_SECONDS="${MIRTOVA_FUZZ_SECONDS:-60}"
if [ "$FUZZ_SECONDS" != 0 ]; then PARALLEL=1 JOBS="$JOBS" bash fuzz/run.sh "$FUZZ_SECONDS"; fi

# The Clang pass writes to a log of its own, shown when it fails; the run waits
# for it whatever the Python tests give.
cpp_tests build/clang clang++ >build/clang.log 2>&1 &
CLANG_PASS=$!
PYTHON="${PYTHON:-python3}"
# The Trino and Presto stages mostly wait on their servers, so they run in a
# pytest of their own beside the rest; its report follows the other's.
mkdir -p build
"$PYTHON" -m pytest -q -m "trino or presto" tests/python >build/served.log 2>&1 &
SERVED_PASS=$!
python_status=0
"$PYTHON" -m pytest -q -m "not trino and not presto" tests/python || python_status=$?
served_status=0
wait "$SERVED_PASS" || served_status=$?
cat build/served.log
[ "$served_status" = 0 ] || { echo "Trino and Presto stages failed (exit $served_status)" >&2; python_status=1; }
clang_status=0
wait "$CLANG_PASS" || clang_status=$?
if [ "$clang_status" != 0 ]; then
  cat build/clang.log
  echo "Clang pass failed (exit $clang_status)" >&2
else
  tail -3 build/clang.log
fi
[ "$python_status" = 0 ] && [ "$clang_status" = 0 ]
