#!/usr/bin/env bash
# Installs everything Mirtova needs on a fresh Debian machine (system packages,
# Python packages, the module itself, the engines the tests run SQL on), then
# runs the example.
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
PACKAGES="cmake ninja-build g++ clang libclang-rt-14-dev clang-format pkg-config libfyaml-dev libgtest-dev libbenchmark-dev unicode-data postgresql openjdk-17-jre-headless maven unzip"
missing=""
for p in $PACKAGES; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing
fi

PYTHON="${PYTHON:-python3}"
"$PYTHON" -m pip install -q --disable-pip-version-check \
  "scikit-build-core>=0.11" pytest pytest-benchmark duckdb sqlglot pg8000
"$PYTHON" -m pip install -q --disable-pip-version-check --no-build-isolation .

PYTHON="$PYTHON" bash scripts/install_engines.sh

"$PYTHON" examples/run_example.py
