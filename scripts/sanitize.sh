#!/usr/bin/env bash
# Builds the C++ tests under ThreadSanitizer (build/tsan), AddressSanitizer
# (build/asan) and UndefinedBehaviorSanitizer (build/ubsan), runs the thread
# stress test for longer, then the whole suite (the hostile inputs among it);
# then replays the fuzz seeds through the fuzz drivers, built with Clang under
# AddressSanitizer and UndefinedBehaviorSanitizer together.
# Separate from scripts/test.sh: a sanitized build takes minutes.
#   SANITIZERS="thread address undefined"   which sanitizers to run
#   MIRTOVA_STRESS_SECONDS=10     how long each stress thread keeps compiling
#   JOBS=3                        build parallelism
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS="${JOBS:-3}"
SANITIZERS="${SANITIZERS:-thread address undefined}"
STRESS_SECONDS="${MIRTOVA_STRESS_SECONDS:-10}"

# A report is a failure, not a warning; leaks count too.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
export ASAN_OPTIONS="halt_on_error=1 detect_leaks=1 detect_stack_use_after_return=1 ${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1 ${UBSAN_OPTIONS:-}"

for sanitizer in $SANITIZERS; do
  case "$sanitizer" in
    thread) dir=build/tsan ;;
    address) dir=build/asan ;;
    undefined) dir=build/ubsan ;;
    *) echo "unknown sanitizer: $sanitizer" >&2; exit 2 ;;
  esac
  echo "== $sanitizer: building in $dir"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRTOVA_SANITIZE="$sanitizer" \
    -DMIRTOVA_BUILD_TESTS=ON -DMIRTOVA_BUILD_MODULE=OFF >/dev/null
  cmake --build "$dir" -j "$JOBS" --target mirtova_tests

  echo "== $sanitizer: stress test, ${STRESS_SECONDS}s"
  MIRTOVA_STRESS_SECONDS="$STRESS_SECONDS" "$dir/mirtova_tests" --gtest_filter='StressThreads.*' --gtest_brief=1

  echo "== $sanitizer: whole suite"
  "$dir/mirtova_tests" --gtest_brief=1
done
echo "== fuzz seeds under address and undefined, built with Clang in build/fuzz"
CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRTOVA_BUILD_FUZZ=ON \
  -DMIRTOVA_BUILD_MODULE=OFF -DMIRTOVA_BUILD_TESTS=OFF >/dev/null
cmake --build build/fuzz -j "$JOBS" --target parse_fuzzer compile_fuzzer
seeds=$(mktemp -d)
python3 fuzz/seed_corpus.py "$seeds/parse" >/dev/null
python3 fuzz/seed_corpus.py "$seeds/compile" --engine-byte >/dev/null
build/fuzz/parse_fuzzer -runs=0 -timeout=10 -rss_limit_mb=2048 "$seeds/parse"
build/fuzz/compile_fuzzer -runs=0 -timeout=10 -rss_limit_mb=2048 "$seeds/compile"
rm -rf "$seeds"
echo "== sanitizers clean: $SANITIZERS"
