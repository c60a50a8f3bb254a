#!/usr/bin/env bash
# Runs every test: the C++ unit tests of the core, built with GCC and again with
# Clang, warnings as errors; each fuzz driver for a minute (MIRTOVA_FUZZ_SECONDS,
# 0 to leave them out); then the Python tests of the installed module (run
# scripts/install.sh first).
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
cpp_tests build/clang clang++

FUZZ_SECONDS="${MIRTOVA_FUZZ_SECONDS:-60}"
if [ "$FUZZ_SECONDS" != 0 ]; then PARALLEL=1 JOBS="$JOBS" bash fuzz/run.sh "$FUZZ_SECONDS"; fi

PYTHON="${PYTHON:-python3}"
"$PYTHON" -m pytest -q tests/python
