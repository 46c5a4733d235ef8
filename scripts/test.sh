#!/usr/bin/env bash
# Installs what is missing, then in three stages: builds the tests and the
# benchmarks under AddressSanitizer and UndefinedBehaviorSanitizer and runs
# the tests; builds the threaded tests under ThreadSanitizer and runs those;
# gives every benchmark one quick pass (in the sanitizer build, so their hot
# paths are checked too; timings come from a Release build, see bench/).
# Each stage prints a heading and what it is doing (a first build takes
# minutes), and the test stages ctest's summary; what fails is shown whole
# (build errors, the failing tests' output, a benchmark's output). A
# compiler warning fails a build. Uses ccache when it is there.
set -euo pipefail

usage() {
  cat <<'TEXT'
usage: scripts/test.sh [-h | --help]
Installs the Debian packages that are missing, then builds and runs every
test: under AddressSanitizer and UndefinedBehaviorSanitizer (build/debug),
the threaded ones under ThreadSanitizer (build/tsan), and each benchmark
once: about 11 minutes on a 2-core machine, less when the build folders of
an earlier run are there. Takes no other argument. Ends with status 0 when
everything passed; the logs are in build/test-logs.
TEXT
}
# Answered before anything is installed or built.
for arg in "$@"; do
  case $arg in
    -h | --help)
      usage
      exit 0
      ;;
    *)
      echo "test.sh: unknown argument '$arg' (it takes none; --help says what it does)" >&2
      exit 2
      ;;
  esac
done

cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
logs=build/test-logs
mkdir -p "$logs"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Paths relative to the clone, so that another clone of the project (CI's)
  # finds what this one compiled.
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
fi

heading() { printf '\n== %s\n' "$1"; }

# Runs a command with its output in a log; shows the log only when it fails.
quietly() {
  local log=$1
  shift
  if ! "$@" >"$log" 2>&1; then
    cat "$log"
    echo "FAILED: $*"
    exit 1
  fi
}

# Configures and builds the given targets of one build folder.
build() {
  local dir=$1 targets=$2
  shift 2
  local start=$SECONDS
  local log=$logs/$(basename "$dir")-build.txt
  if [ -f "$dir/build.ninja" ]; then
    echo "building in $dir (its output: $log) ..."
  else
    echo "building in $dir for the first time: that takes several minutes (its output: $log) ..."
  fi
  quietly "$logs/$(basename "$dir")-configure.txt" cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@"
  # shellcheck disable=SC2086
  quietly "$log" cmake --build "$dir" -j "$jobs" --target $targets
  echo "built in $((SECONDS - start)) s"
}

# Runs ctest; prints its summary, or all of its output when a test failed.
run_tests() {
  local log=$1
  shift
  echo "running the tests (its output: $log) ..."
  if ctest "$@" --output-on-failure -j "$jobs" --timeout 300 >"$log" 2>&1; then
    sed -n '/tests passed/,$p' "$log"
  else
    cat "$log"
    exit 1
  fi
}

heading "1/3 Tests under AddressSanitizer and UndefinedBehaviorSanitizer (Debug)"
build build/debug "all" -DCMAKE_BUILD_TYPE=Debug -DSKYHAVEN_BENCH=ON -DSKYHAVEN_WERROR=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_tests "$logs/debug-tests.txt" --test-dir build/debug

heading "2/3 Threaded tests under ThreadSanitizer (RelWithDebInfo)"
# Only the test files that hold threaded suites are built here.
build build/tsan skyhaven_tests -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSKYHAVEN_TSAN=ON -DSKYHAVEN_BENCH=OFF \
  -DSKYHAVEN_WERROR=ON
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp \
  run_tests "$logs/tsan-tests.txt" --test-dir build/tsan -R Threaded --no-tests=ignore

heading "3/3 Benchmark smoke pass (under the sanitizers of stage 1)"
echo "running each benchmark once ..."
# One pass each, as many at once as there are cores, with the results as
# JSON on standard output (anything else there makes it unreadable) and the
# rest on standard error; a failure shows both after the others.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
printf '%s\n' build/debug/bench/bench_* | xargs -P "$jobs" -I{} sh -c \
  'out="$2/$(basename "$1")"
   "$1" --benchmark_min_time=0.01 --benchmark_format=json >"$out.json" 2>"$out.txt"; echo $? >"$out.status"' \
  sh {} "$logs"
failed=0
for b in build/debug/bench/bench_*; do
  name=$(basename "$b")
  problem=
  if [ "$(cat "$logs/$name.status")" != 0 ]; then
    problem="exit status $(cat "$logs/$name.status")"
  elif ! python3 -c 'import json, sys; json.load(open(sys.argv[1]))' "$logs/$name.json" 2>"$logs/$name.parse.txt"; then
    problem="its standard output is not JSON: $(tail -1 "$logs/$name.parse.txt")"
  fi
  if [ -z "$problem" ]; then
    echo "$name ok"
  else
    cat "$logs/$name.txt" "$logs/$name.json"
    echo "FAILED: $name ($problem)"
    failed=1
  fi
done
[ $failed = 0 ] || exit 1

echo
echo "All tests passed."
