#!/usr/bin/env python3
"""Prints the #include graph of src/ by folder and checks the floors.

Each folder sits on a floor (FLOORS, lowest first); a folder may include its
own floor and the floors below it. Printed: one line per folder pair with the
number of includes, an "UP" mark on those that run up a floor (each such
include is listed), then any circle between classes. A class is a .h/.cpp
pair; a .cpp without header of its own (FooSave.cpp next to Foo.h) is part of
the class whose header it includes. Exit status 1 when there is an upward
include or a circle.

usage: scripts/include-graph.py [SRC_DIR]
"""

import collections
import os
import re
import sys

# Lowest first. Folders on one line share a floor; subfolders belong to the
# floor of their top folder (web/sources/allmusic is on the web floor).
FLOORS = [
    ["system"],
    ["app", "pictures"],
    ["text"],
    ["tags"],
    ["media"],
    ["model"],
    ["save"],
    ["web"],
    ["art"],
    ["prefs"],
    ["docs"],
    ["library"],
    ["cli", "ui"],
    ["gui-main"],
]
# Plain C, outside the C++ house.
SKIP = {"plugin"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def floor_of(folder):
    top = folder.split("/")[0]
    for level, names in enumerate(FLOORS):
        if top in names:
            return level
    return None


def sources(root):
    for base, _, files in os.walk(root):
        for name in sorted(files):
            if name.endswith((".h", ".cpp")):
                path = os.path.join(base, name)
                yield os.path.relpath(path, root)


def includes(root, rel):
    with open(os.path.join(root, rel), errors="replace") as f:
        for line in f:
            m = INCLUDE.match(line)
            if m and os.path.exists(os.path.join(root, m.group(1))):
                yield m.group(1)


def class_of(rel, headers, root):
    """The class a file belongs to: its own stem when it has a header, else
    the included header whose stem its name starts with (longest)."""
    stem = os.path.splitext(rel)[0]
    if stem + ".h" in headers:
        return stem
    folder = os.path.dirname(rel)
    best = stem
    for inc in includes(root, rel):
        other = os.path.splitext(inc)[0]
        if os.path.dirname(other) == folder and os.path.basename(stem).startswith(
                os.path.basename(other)) and len(other) > len(best if best != stem else ""):
            best = other
    return best


def strongly_connected(graph):
    index, low, stack, on, out = {}, {}, [], set(), []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in graph.get(v, ()):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                out.append(sorted(group))

    sys.setrecursionlimit(10000)
    for v in sorted(graph):
        if v not in index:
            visit(v)
    return out


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "src")
    files = [f for f in sources(root) if f.split("/")[0] not in SKIP]
    headers = {os.path.splitext(f)[0] + ".h" for f in files if f.endswith(".h")}
    folders = collections.Counter()
    upward = []
    unplaced = set()
    classes = collections.defaultdict(set)
    for rel in files:
        here = os.path.dirname(rel)
        mine = class_of(rel, headers, root)
        for inc in includes(root, rel):
            there = os.path.dirname(inc)
            theirs = os.path.splitext(inc)[0]
            if theirs != mine:
                classes[mine].add(theirs)
            if there == here:
                continue
            folders[(here, there)] += 1
            a, b = floor_of(here), floor_of(there)
            if a is None:
                unplaced.add(here)
            if b is None:
                unplaced.add(there)
            if a is not None and b is not None and b > a:
                upward.append((rel, inc))

    ups = {(os.path.dirname(r), os.path.dirname(i)) for r, i in upward}
    print("Folder include graph (includes per pair; floors lowest first: %s)" %
          " < ".join("/".join(n) for n in FLOORS))
    for (a, b), n in sorted(folders.items()):
        print("  %-26s -> %-26s %4d%s" % (a, b, n, "  UP" if (a, b) in ups else ""))
    for folder in sorted(unplaced):
        print("no floor for folder:", folder)
    print("\nUpward includes: %d" % len(upward))
    for rel, inc in upward:
        print("  %s includes %s" % (rel, inc))
    circles = strongly_connected(classes)
    print("Circles between classes: %d" % len(circles))
    for group in circles:
        print("  " + " <-> ".join(group))
        members = set(group)
        for a in group:
            inside = sorted(b for b in classes[a] if b in members)
            print("      %s includes %s" % (a, ", ".join(inside)))
    return 1 if upward or circles or unplaced else 0


if __name__ == "__main__":
    sys.exit(main())
