#!/usr/bin/env python3
"""Prints the unit-level include graph of the given source folders and fails on a cycle.

A unit is a header and its source file (FooU.h + FooU.cpp); an edge A -> B means a file of A
includes B's header with a quoted include. Only units inside the given folders take part, so a
folder's graph is checked on its own (tests and main.cpp are the places that may see everything,
and they are not units of the folder).
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SKIP = {"main"}  # the program's entry point sits above every unit


def units_of(folder):
    units = {}
    for root, _, files in os.walk(folder):
        for name in files:
            stem, ext = os.path.splitext(name)
            if ext in (".h", ".cpp", ".in") and stem not in SKIP:
                stem = stem.split(".")[0]
                units.setdefault(stem, []).append(os.path.join(root, name))
    return units


def graph_of(units):
    edges = {u: set() for u in units}
    for unit, files in units.items():
        for path in files:
            with open(path, encoding="utf-8", errors="replace") as f:
                for target in INCLUDE.findall(f.read()):
                    stem = os.path.splitext(os.path.basename(target))[0]
                    if stem in units and stem != unit:
                        edges[unit].add(stem)
    return edges


def cycles_of(edges):
    """Strongly connected components of more than one unit (Tarjan, iterative)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = 0
    for start in sorted(edges):
        if start in index:
            continue
        work = [(start, iter(sorted(edges[start])))]
        index[start] = low[start] = counter
        counter += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter
                    counter += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(edges[child]))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    found.append(sorted(component))
    return found


def main(folders):
    failed = False
    for folder in folders:
        edges = graph_of(units_of(folder))
        print(f"# {folder}")
        for unit in sorted(edges):
            print(f"{unit} -> {', '.join(sorted(edges[unit])) or '-'}")
        for component in cycles_of(edges):
            print(f"CYCLE: {' <-> '.join(component)}")
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:] or ["Vellicor/source/gui", "Framework"]))
