#!/usr/bin/env bash
# Installs what is missing, builds the tests under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs them; then builds the threaded tests
# under ThreadSanitizer and runs those; then gives every benchmark one quick
# pass in a Release build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build/debug -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSKYHAVEN_BENCH=OFF >/dev/null
cmake --build build/debug -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/debug --output-on-failure -j "$jobs" --timeout 300

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSKYHAVEN_TSAN=ON -DSKYHAVEN_BENCH=OFF >/dev/null
cmake --build build/tsan -j "$jobs"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan --output-on-failure -j "$jobs" --timeout 300 -R Threaded --no-tests=ignore

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKYHAVEN_TESTS=OFF >/dev/null
cmake --build build/release -j "$jobs"
for b in build/release/bench/bench_*; do
  [ -x "$b" ] || continue
  "$b" --benchmark_min_time=0.01 >/dev/null
done
echo "All tests passed."
