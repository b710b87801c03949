#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz/) with clang into build-fuzz/ and runs each one for a
# bounded time on a copy of its seed corpus, after replaying its saved regressions.
#   scripts/run-fuzzers.sh [SECONDS_EACH] [HARNESS...]     (default 60 s, every harness)
# Exits non-zero when any harness reports a crash, a hang, a leak or a sanitizer error; the
# input that caused it is kept in build-fuzz/findings/<harness>/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then harnesses=(space archetype grid atlas bank replay settings); fi
build=build-fuzz
jobs="${FUZZ_JOBS:-2}"

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOLLEYRUN_FUZZ=ON "${launcher[@]}" >/dev/null
targets=()
for name in "${harnesses[@]}"; do targets+=(--target "${name}_fuzz"); done
cmake --build "$build" -j"$jobs" "${targets[@]}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1:suppressions=$PWD/fuzz/ubsan.supp}"
failed=()
for name in "${harnesses[@]}"; do
  binary="$build/${name}_fuzz"
  work="$build/fuzz-work/$name"
  findings="$build/findings/$name"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$findings"
  cp fuzz/corpus/"$name"/* "$work/corpus/"
  options=(-timeout=10 -rss_limit_mb=2560 -artifact_prefix="$findings/" -print_final_stats=1)
  if [ -f "fuzz/dict/$name.dict" ]; then options+=(-dict="fuzz/dict/$name.dict"); fi

  if compgen -G "fuzz/regressions/$name/*" >/dev/null; then
    echo "== $name: replaying fuzz/regressions/$name"
    if ! "$binary" "${options[@]}" fuzz/regressions/"$name"/* </dev/null >"$work/regressions.log" 2>&1; then
      tail -n 40 "$work/regressions.log"
      failed+=("$name (regression)")
      continue
    fi
  fi

  echo "== $name: fuzzing for ${seconds} s"
  if "$binary" "${options[@]}" -max_total_time="$seconds" "$work/corpus" </dev/null >"$work/fuzz.log" 2>&1; then
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$work/fuzz.log" | tr '\n' ' '
    grep -Eo 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9]+[a-zA-Z]*' "$work/fuzz.log" | tail -n 1
  else
    tail -n 60 "$work/fuzz.log"
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzzing found problems in: ${failed[*]} (inputs in $build/findings/)" >&2
  exit 1
fi
echo "Fuzzing found nothing in: ${harnesses[*]}"
