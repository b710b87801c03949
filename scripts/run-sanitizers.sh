#!/usr/bin/env bash
# Sanitizer stages, each in its own build folder beside build/:
#   address  - the whole test suite (window and soak tests included) under AddressSanitizer and
#              UndefinedBehaviorSanitizer; any leak or undefined behaviour fails its test.
#   thread   - the tests that run threads (volleyrun_thread_tests) under ThreadSanitizer.
# Usage: scripts/run-sanitizers.sh [address] [thread]   (no argument: both, in that order)
# Prints each stage's wall time. Uses ccache when it is installed. The build folders are
# build-asan and build-tsan unless ASAN_BUILD_DIR or TSAN_BUILD_DIR name others.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(address thread)

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# Debug at -O1: the sanitizers' own slowdown is enough, and -O1 keeps the stacks readable.
configure() {
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DVOLLEYRUN_SANITIZE="$2" "${launcher[@]}" >/dev/null
}

# Runs one stage and reports its wall time, whatever the outcome.
timed() {
  local name=$1 start status=0
  shift
  start=$(date +%s)
  "$@" || status=$?
  echo "== sanitizer stage $name: $(( $(date +%s) - start )) s, $([ $status -eq 0 ] && echo passed || echo FAILED)"
  return $status
}

address_stage() {
  local dir=${ASAN_BUILD_DIR:-build-asan}
  configure $dir address
  cmake --build $dir -j"$jobs" --target volleyrun_tests
  # Mesa and the X libraries leak at exit in the window tests: scripts/lsan.supp names
  # those libraries, and only them.
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_init_order=1 \
  LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --test-dir $dir --output-on-failure -j"$jobs"
}

thread_stage() {
  local dir=${TSAN_BUILD_DIR:-build-tsan}
  configure $dir thread
  cmake --build $dir -j"$jobs" --target volleyrun_thread_tests
  # Real-window tests need no threads of ours and are covered by the address stage.
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    $dir/volleyrun_thread_tests --gtest_filter='-Window*' --gtest_brief=1
}

status=0
for stage in "${stages[@]}"; do
  case $stage in
    address) timed address address_stage || status=1 ;;
    thread) timed thread thread_stage || status=1 ;;
    *) echo "unknown stage: $stage (address or thread)" >&2; exit 2 ;;
  esac
done
exit $status
