#!/usr/bin/env python3
"""The house's layers, checked: which folder of source/ may include which, and where the
code breaks that rule today.

Reports, for source/ (or the folder given):
- the files in each folder;
- every include of a project header from a folder that may not include it (upward, or
  between siblings of one rank);
- the circles in the include graph, a header and its source counting as one unit;
- the depth of the graph (the longest chain of includes, in units).

Exit status 1 when --strict is given and any include breaks the rule. Standard library only.
"""
import argparse
import os
import re
import sys
from collections import defaultdict

# Each folder and the folders it may include, besides itself.
BELOW_ENGINE = ["core", "platform", "audio/studio", "audio", "render", "world", "scene"]
ALLOWED = {
    "core": [],
    "platform": ["core"],
    "audio/studio": ["core"],
    "audio": ["core", "audio/studio"],
    "render": ["core", "platform"],
    "world": ["core"],
    "scene": ["core", "world", "render", "platform"],
    "engine": BELOW_ENGINE,
    "ui": BELOW_ENGINE + ["engine"],
    "game": BELOW_ENGINE + ["engine", "ui"],
    "game/screens": BELOW_ENGINE + ["engine", "ui", "game"],
    "editor": BELOW_ENGINE + ["engine", "ui"],
    "app": BELOW_ENGINE + ["engine", "ui", "game", "game/screens", "editor"],
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def read_units(root):
    """unit name -> (folder, set of included unit names), for every .h/.cpp under root."""
    units = {}
    for folder, _, files in os.walk(root):
        rel = os.path.relpath(folder, root).replace(os.sep, "/")
        for name in files:
            unit, ext = os.path.splitext(name)
            if ext not in (".h", ".cpp"):
                continue
            with open(os.path.join(folder, name), encoding="utf-8") as f:
                text = f.read()
            includes = {os.path.splitext(os.path.basename(h))[0] for h in INCLUDE.findall(text)}
            entry = units.setdefault(unit, [rel, set()])
            entry[1] |= includes
    for entry in units.values():
        entry[1] &= set(units)
    return {unit: (folder, includes - {unit}) for unit, (folder, includes) in units.items()}


def wrong_includes(units):
    found = []
    for unit, (folder, includes) in sorted(units.items()):
        for target in sorted(includes):
            other = units[target][0]
            if other != folder and other not in ALLOWED.get(folder, []):
                found.append((unit, folder, target, other))
    return found


def circles(units):
    """Strongly connected components of more than one unit (Tarjan, iterative)."""
    index, low, on_stack, stack, result, counter = {}, {}, set(), [], [], [0]

    def visit(start):
        work = [(start, iter(sorted(units[start][1])))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            child = next(children, None)
            if child is not None:
                if child not in index:
                    index[child] = low[child] = counter[0]
                    counter[0] += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(units[child][1]))))
                elif child in on_stack:
                    low[node] = min(low[node], index[child])
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    top = stack.pop()
                    on_stack.discard(top)
                    component.append(top)
                    if top == node:
                        break
                if len(component) > 1:
                    result.append(sorted(component))

    for unit in sorted(units):
        if unit not in index:
            visit(unit)
    return result


def depth(units, loops):
    """Longest include chain, each circle counted as one step."""
    group = {u: i for i, c in enumerate(loops) for u in c}
    key = lambda u: ("c", group[u]) if u in group else ("u", u)
    edges = defaultdict(set)
    for unit, (_, includes) in units.items():
        for target in includes:
            if key(target) != key(unit):
                edges[key(unit)].add(key(target))
    memo = {}

    def longest(node):
        if node not in memo:
            memo[node] = 1 + max((longest(n) for n in edges[node]), default=0)
        return memo[node]

    sys.setrecursionlimit(10000)
    return max((longest(key(u)) for u in units), default=0)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("root", nargs="?", default=os.path.join(os.path.dirname(__file__), "..", "source"))
    parser.add_argument("--list", action="store_true", help="list every include that breaks the rule")
    parser.add_argument("--strict", action="store_true", help="fail when any include breaks the rule")
    args = parser.parse_args()
    units = read_units(args.root)
    per_folder = defaultdict(int)
    for folder, files, names in ((os.path.relpath(d, args.root), f, f) for d, _, f in os.walk(args.root)):
        per_folder[folder.replace(os.sep, "/")] += sum(1 for n in names if n.endswith((".h", ".cpp")))
    print("files per folder: " + ", ".join(f"{k} {v}" for k, v in sorted(per_folder.items()) if v))
    unknown = sorted({folder for folder, _ in units.values()} - set(ALLOWED))
    if unknown:
        print("folders outside the layer table: " + ", ".join(unknown))
    wrong = wrong_includes(units)
    print(f"includes against the layers: {len(wrong)}")
    if args.list:
        for unit, folder, target, other in wrong:
            print(f"  {folder}/{unit} -> {other}/{target}")
    loops = circles(units)
    print(f"circles: {len(loops)} (" + ", ".join(f"{len(c)} units" for c in loops) + ")")
    if args.list:
        for c in loops:
            print("  " + " ".join(c))
    print(f"depth: {depth(units, loops)} units")
    return 1 if args.strict and (wrong or unknown) else 0


if __name__ == "__main__":
    sys.exit(main())
