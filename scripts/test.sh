#!/usr/bin/env bash
# Runs every test: the C++ unit tests of the core, each fuzz driver for a minute
# (MIRTOVA_FUZZ_SECONDS, 0 to leave them out), then the Python tests of the
# installed module (run scripts/install.sh first).
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS="${JOBS:-$(nproc)}"
bash scripts/check_format.sh
python3 scripts/check_layers.py
cmake -S . -B build/tests -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DMIRTOVA_BUILD_TESTS=ON -DMIRTOVA_BUILD_MODULE=OFF >/dev/null
cmake --build build/tests -j "$JOBS"
(cd build/tests && ctest --output-on-failure -j "$JOBS")

FUZZ_SECONDS="${MIRTOVA_FUZZ_SECONDS:-60}"
if [ "$FUZZ_SECONDS" != 0 ]; then PARALLEL=1 JOBS="$JOBS" bash fuzz/run.sh "$FUZZ_SECONDS"; fi

PYTHON="${PYTHON:-python3}"
"$PYTHON" -m pytest -q tests/python
