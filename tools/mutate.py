#!/usr/bin/env python3
"""The suite's own mutation check: plants the small faults of tools/mutations.txt one at a
time in a clean copy of the tree, rebuilds incrementally, runs the suite and reports each
fault as caught (by which tests), missed, stale (its text no longer occurs exactly once) or
unbuildable. Not part of CI: a full run takes a rebuild and a suite run per fault.

    python3 tools/mutate.py                 # every fault, window tests left out
    python3 tools/mutate.py --window        # with the window tests (needs xvfb-run)
    python3 tools/mutate.py --check         # only report stale faults, no build
    python3 tools/mutate.py --only game     # the faults of one layer
    python3 tools/mutate.py --ids 3,7       # these faults only
    python3 tools/mutate.py --rev 6265ba3   # an older commit's suite (faults read from the working tree)

The copy is a git worktree of HEAD (or --rev) in a fresh temporary folder (removed at the end); the
working tree is never touched. Prints a Markdown table and the totals.
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
SHARD_TIMEOUT = 300  # seconds; a shard takes under a minute, so a planted fault that hangs a test counts as caught
FAILED = re.compile(r"^\[  FAILED  \] ([A-Za-z0-9_/.]+)(?: \(| *$)", re.M)


def read_mutations(path):
    text = open(path, encoding="utf-8").read()
    body = "\n".join(line for line in text.split("\n") if not line.startswith("#"))
    mutations = []
    for number, block in enumerate(b.strip("\n") for b in body.split("\n---\n")):
        lines = block.split("\n")
        if len(lines) != 5:
            sys.exit(f"mutations.txt: block {number + 1} has {len(lines)} lines, not 5")
        layer, file, find, replace, fault = lines
        mutations.append({"id": number + 1, "layer": layer, "file": file, "find": find, "replace": replace, "fault": fault})
    return mutations


def run(command, cwd, timeout=None):
    done = subprocess.run(command, cwd=cwd, shell=True, capture_output=True, text=True, timeout=timeout)
    return done.returncode, done.stdout + done.stderr


def stale(tree, mutation):
    text = open(os.path.join(tree, "source", mutation["file"]), encoding="utf-8").read()
    return text.count(mutation["find"]) != 1


def suite(build, window, shards=2):
    """Names of the failing tests (empty: the suite passed). The suite runs in shards side by
    side; every test keeps to its own temporary folder, so they cannot meet."""
    skip = "Soak*" if window else "Window*:Soak*"
    command = f"./volleyrun_tests --gtest_filter=-{skip} --gtest_brief=1"
    # Each shard leads its own process group, so a stopped shard takes its test program
    # (and any game or X server it started) with it.
    runs = [subprocess.Popen(command, cwd=build, shell=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                             env=dict(os.environ, GTEST_TOTAL_SHARDS=str(shards), GTEST_SHARD_INDEX=str(i)),
                             start_new_session=True)
            for i in range(shards)]
    failed = set()
    for process in runs:
        try:
            output = process.communicate(timeout=SHARD_TIMEOUT)[0]
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            output = process.communicate()[0] + "\n(timed out)"
        found = FAILED.findall(output)
        failed.update(found)
        if process.returncode != 0 and not found:
            failed.add("(the suite stopped: " + output.strip().split("\n")[-1][:80] + ")")
    return sorted(failed)


def try_mutation(tree, build, mutation, window):
    path = os.path.join(tree, "source", mutation["file"])
    original = open(path, encoding="utf-8").read()
    open(path, "w", encoding="utf-8").write(original.replace(mutation["find"], mutation["replace"], 1))
    try:
        code, _ = run("cmake --build . -j2 --target volleyrun_tests volleyrun", build)
        if code != 0:
            return "unbuildable", []
        failed = suite(build, window)
        return ("caught" if failed else "missed"), failed
    finally:
        open(path, "w", encoding="utf-8").write(original)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--window", action="store_true", help="also run the window tests")
    parser.add_argument("--check", action="store_true", help="only report the stale faults")
    parser.add_argument("--only", help="only the faults of this layer")
    parser.add_argument("--ids", help="only these faults, by number: 3,7,12")
    parser.add_argument("--rev", default="HEAD", help="the commit whose suite is tried (default HEAD)")
    parser.add_argument("--mutations", default=os.path.join(ROOT, "tools", "mutations.txt"))
    args = parser.parse_args()
    ids = {int(n) for n in args.ids.split(",")} if args.ids else None
    mutations = [m for m in read_mutations(args.mutations)
                 if (not args.only or m["layer"] == args.only) and (ids is None or m["id"] in ids)]
    if args.check:
        old = [m for m in mutations if stale(ROOT, m)]
        for m in old:
            print(f"stale: {m['id']} {m['file']}: {m['fault']}")
        print(f"{len(mutations) - len(old)} of {len(mutations)} apply")
        return 1 if old else 0

    scratch = tempfile.mkdtemp(prefix="volleyrun-mutate-")
    tree = os.path.join(scratch, "tree")
    build = os.path.join(tree, "build")
    results = []
    try:
        code, output = run(f"git worktree add --detach {tree} {args.rev}", ROOT)
        if code != 0:
            sys.exit(output)
        os.makedirs(build)
        code, output = run("cmake .. -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER_LAUNCHER=ccache "
                           "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache && cmake --build . -j2 --target volleyrun_tests volleyrun",
                           build)
        if code != 0:
            sys.exit("the clean tree does not build:\n" + output[-2000:])
        if failing := suite(build, args.window):
            sys.exit("the clean tree fails its own suite: fix that first: " + ", ".join(failing))
        for number, mutation in enumerate(mutations, 1):
            print(f"[{number}/{len(mutations)}] {mutation['file']}: {mutation['fault']}", file=sys.stderr, flush=True)
            if stale(tree, mutation):
                results.append((mutation, "stale", []))
                continue
            results.append((mutation, *try_mutation(tree, build, mutation, args.window)))
            print(f"    {results[-1][1]}: " + ", ".join(results[-1][2]), file=sys.stderr, flush=True)
    finally:
        run(f"git worktree remove --force {tree}", ROOT)
        shutil.rmtree(scratch, ignore_errors=True)
    report(results)
    return 0


def report(results):
    print("| # | Layer | Fault | Result | Caught by |")
    print("|---|---|---|---|---|")
    for mutation, result, failed in results:
        by = f"{len(failed)}: " + ", ".join(failed[:3]) + (" ..." if len(failed) > 3 else "") if failed else ""
        print(f"| {mutation['id']} | {mutation['layer']} | {mutation['fault']} | {result} | {by} |")
    counted = [r for r in results if r[1] in ("caught", "missed")]
    caught = sum(1 for r in counted if r[1] == "caught")
    single = sum(1 for r in counted if r[1] == "caught" and len(r[2]) == 1)
    others = {k: sum(1 for r in results if r[1] == k) for k in ("stale", "unbuildable")}
    share = 100.0 * caught / len(counted) if counted else 0.0
    print(f"\ncaught {caught} of {len(counted)} ({share:.0f} %), {single} of them by a single test; "
          f"stale {others['stale']}, unbuildable {others['unbuildable']}")


if __name__ == "__main__":
    sys.exit(main())
