#!/usr/bin/env bash
# Runs every figure of BENCHMARKS.md with one command: a Release build in build-bench,
# every Google Benchmark case (the window cases under Xvfb with Mesa's software OpenGL),
# the instruction count of one busy-match frame under callgrind, and the peak memory of
# the real program playing a full autoplay match headless, the real program's start-up in a
# window (start to exit after its first frame), the processor share of the real program
# idling in the main menu headless in real time, and the soak test's memory
# lines when the test binary has it (SOAK=0 leaves it out). Prints a summary at the end;
# the raw results stay in build-bench/results. Timings are never asserted on.
#   JOBS=2 scripts/run-benchmarks.sh [extra --benchmark_filter=... for the first step]
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
out=build-bench/results
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
targets=(volleyrun_bench volleyrun)
[ "${SOAK:-1}" = 1 ] && targets+=(volleyrun_tests)
cmake --build build-bench -j"$jobs" --target "${targets[@]}"
mkdir -p "$out"
# The game's settings file of these runs: the default options, never the player's file.
rm -rf "$out/config"
export XDG_CONFIG_HOME="$PWD/$out/config"

echo "== Google Benchmark (window cases under Xvfb)"
xvfb-run -a -s "-screen 0 1920x1080x24" build-bench/volleyrun_bench \
    --benchmark_out="$out/benchmarks.json" --benchmark_out_format=json "$@" | tee "$out/benchmarks.txt"

echo "== callgrind: one busy-match frame (instrumentation only inside the measured frames)"
valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$out/callgrind.out" \
    build-bench/volleyrun_bench --benchmark_filter='^BusyMatchFrame' >"$out/callgrind.txt" 2>&1
callgrind_annotate "$out/callgrind.out" 2>/dev/null | grep -m1 'PROGRAM TOTALS' >"$out/callgrind-totals.txt" || true

echo "== peak memory: a full autoplay match, headless"
/usr/bin/time -f '%M %e %U %S' -o "$out/match-time.txt" build-bench/volleyrun --data Quillmoor --headless --virtual-time \
    --space game --autoplay --seed 7 --frames 9000 >"$out/match.txt" 2>&1

# The first seconds hold the start-up and the loader thread decoding every bank (about 1.5 s
# of processor time); the difference between a 10 s and a 30 s run is the menu alone.
echo "== idle main menu: the real program headless in real time, 600 and 1800 frames (10 and 30 s)"
for frames in 600 1800; do
  /usr/bin/time -f '%e %U %S' -o "$out/menu-time-$frames.txt" build-bench/volleyrun --data Quillmoor --headless \
      --space MainMenu --frames "$frames" >"$out/menu-$frames.txt" 2>&1
done

echo "== start-up: the real program in a window, from its start to its exit after one frame (3 runs)"
rm -f "$out/startup-times.txt"
for run in 1 2 3; do
  xvfb-run -a -s "-screen 0 1920x1080x24" /usr/bin/time -f '%e %U %S' -a -o "$out/startup-times.txt" \
      build-bench/volleyrun --data Quillmoor --frames 1 >/dev/null 2>&1 || true
done

rm -f "$out/soak.txt"
if [ "${SOAK:-1}" = 1 ] && build-bench/volleyrun_tests --gtest_list_tests | grep -q '^SoakTest\.'; then
    echo "== soak: matches in a row, memory after each"
    build-bench/volleyrun_tests --gtest_filter='SoakTest.*' >"$out/soak-run.txt" 2>&1 || echo "(the soak test failed: see $out/soak-run.txt)"
    grep '^match ' "$out/soak-run.txt" >"$out/soak.txt" || true
fi

python3 - "$out" <<'PY'
import json, os, sys
out = sys.argv[1]
data = json.load(open(os.path.join(out, "benchmarks.json")))
print("\n== Summary (%s, %s)" % (data["context"].get("host_name", "?"), data["context"].get("date", "?")))
skip = {"name", "run_name", "run_type", "repetitions", "repetition_index", "threads", "iterations", "real_time",
        "cpu_time", "time_unit", "family_index", "per_family_instance_index", "aggregate_name", "error_occurred",
        "error_message"}
for b in data["benchmarks"]:
    if b.get("error_occurred"):
        print("%-48s skipped: %s" % (b["name"], b.get("error_message", "")))
        continue
    extra = ", ".join("%s %.4g" % (k, v) for k, v in b.items() if k not in skip and isinstance(v, (int, float)))
    print("%-48s wall %10.3f %s  cpu %10.3f %s  %s" % (b["name"], b["real_time"], b["time_unit"], b["cpu_time"],
                                                      b["time_unit"], extra))
frames = 600  # BusyMatchFrame's iterations
try:
    totals = open(os.path.join(out, "callgrind-totals.txt")).read().split()[0].replace(",", "")
    print("BusyMatchFrame instructions per frame (callgrind): %.0f" % (int(totals) / frames))
except (OSError, IndexError, ValueError):
    print("BusyMatchFrame instructions: callgrind gave no totals (see %s/callgrind.txt)" % out)
rss_kb, wall, user, system = open(os.path.join(out, "match-time.txt")).read().split()[:4]
print("Full autoplay match, headless: peak resident %.1f MB, %s s wall, %s s user, %s s system" %
      (int(rss_kb) / 1024.0, wall, user, system))
menu = {n: [float(v) for v in open(os.path.join(out, "menu-time-%d.txt" % n)).read().split()[:3]] for n in (600, 1800)}
wall, user, system = menu[600]
print("Idle main menu, headless, real time, 600 frames: %.1f %% of a core (%.2f s user + %.2f s system over %.2f s wall);"
      " from 10 s to 30 s (start-up and decoding left out): %.1f %%" %
      (100.0 * (user + system) / wall, user, system, wall,
       100.0 * (menu[1800][1] + menu[1800][2] - user - system) / (menu[1800][0] - wall)))
runs = [line.split() for line in open(os.path.join(out, "startup-times.txt")).read().splitlines() if line.strip()]
print("Start-up, window, start to exit after one frame: " +
      ", ".join("%s s wall (%s user, %s system)" % tuple(run[:3]) for run in runs))
soak = os.path.join(out, "soak.txt")
lines = open(soak).read().splitlines() if os.path.exists(soak) else []
if lines:
    print("Soak (%d matches in a row):" % len(lines))
    for line in sorted(set([lines[0], lines[min(1, len(lines) - 1)], lines[-1]]), key=lines.index):
        print("  " + line)
else:
    print("Soak: no figures (SOAK=0, or no soak test in this build)")
PY
