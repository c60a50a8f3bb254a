#!/usr/bin/env bash
# Fails when a C++ file of the project is not laid out as .clang-format says.
# The generated Unicode tables are left as their generator writes them.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files src tests bench fuzz | grep -E '\.(cpp|h)$' | grep -v '^src/parser/unicode_tables\.cpp$' |
  xargs clang-format --dry-run -Werror
