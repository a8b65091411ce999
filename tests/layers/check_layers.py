#!/usr/bin/env python3
"""Checks that the source folders form one-way layers.

Reads the `#include "..."` lines of every source under common/, halvex/, dunmore/ and tools/
and fails on an include from a folder into a folder above it in LAYERS, on a cycle between
folders, on a source folder LAYERS does not place, and on a toolkit, OpenGL or X11 header in a
model folder. Given a build folder, it also reads the link lines of the model layers' link-check
programs and fails when one of them links the toolkit, OpenGL or X11.

    check_layers.py [--report] [--build DIR] [REPO]

--report prints what it finds and exits 0.
"""
import argparse
import os
import re
import sys

# Lowest first: each folder may include only itself and the folders before it.
LAYERS = [
    "common/platform",
    "common",
    "common/geodesy",
    "common/gl",
    "common/popup",
    "halvex/core",
    "halvex/tracking",
    "halvex/config",
    "halvex/net",
    "halvex/streams",
    "halvex/history",
    "halvex/engine",
    "halvex/gl",
    "halvex/maps",
    "halvex/view",
    "halvex/project",
    "halvex/ui",
    "halvex/splash",
    "halvex/app",
    "dunmore",
    "tools",
]

# Folders that hold the model: plain C++ without a display.
MODEL = {
    "common",
    "common/geodesy",
    "halvex/core",
    "halvex/tracking",
    "halvex/config",
    "halvex/net",
    "halvex/streams",
    "halvex/history",
    "halvex/engine",
}
# Libraries built from the model folders, checked for what their link lines name.
MODEL_LIBRARIES = [
    "common_core",
    "common_geodesy",
    "common_platform",
    "halvex_core",
    "halvex_tracking",
    "halvex_config",
    "halvex_net",
    "halvex_streams",
    "halvex_history",
    "halvex_engine",
    "dunmore_core",
]

ROOTS = ("common", "halvex", "dunmore", "tools")
SOURCE = re.compile(r"\.(c|cc|cpp|h|hpp|l|y)$")
LOCAL_INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SYSTEM_INCLUDE = re.compile(r"^\s*#\s*include\s+<((FL|GL|X11)/[^>]+)>")
DISPLAY_LIBRARY = re.compile(r"(libfltk|libGL|libGLU|libOpenGL|libGLX|libX11|-lfltk|-lGL|-lX11)")


def layer_of(path):
    """The deepest folder of LAYERS that holds `path`, or None."""
    folder = os.path.dirname(path)
    while folder:
        if folder in LAYERS:
            return folder
        folder = os.path.dirname(folder)
    return None


def sources(repo):
    for root in ROOTS:
        for folder, _, names in os.walk(os.path.join(repo, root)):
            for name in sorted(names):
                if SOURCE.search(name):
                    yield os.path.relpath(os.path.join(folder, name), repo)


def resolve(repo, source, included):
    """The repository path `included` names from `source`, or None for a generated or system
    file."""
    for candidate in (included, os.path.join(os.path.dirname(source), included)):
        candidate = os.path.normpath(candidate)
        if os.path.isfile(os.path.join(repo, candidate)):
            return candidate
    return None


def find_cycles(edges):
    """Strongly connected components of more than one folder (Tarjan)."""
    index, low, stack, on_stack, cycles = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for nxt in edges.get(node, ()):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            component = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                component.append(top)
                if top == node:
                    break
            if len(component) > 1:
                cycles.append(sorted(component))

    for node in sorted(edges):
        if node not in index:
            visit(node)
    return cycles


def check_sources(repo):
    faults = []
    edges = {}
    rank = {name: i for i, name in enumerate(LAYERS)}
    for source in sources(repo):
        layer = layer_of(source)
        if layer is None:
            faults.append(f"{source}: its folder has no place in the layer order")
            continue
        with open(os.path.join(repo, source), errors="replace") as text:
            for number, line in enumerate(text, 1):
                system = SYSTEM_INCLUDE.match(line)
                if system and layer in MODEL:
                    faults.append(f"{source}:{number}: model folder {layer} includes <{system.group(1)}>")
                match = LOCAL_INCLUDE.match(line)
                if not match:
                    continue
                target = resolve(repo, source, match.group(1))
                if target is None:
                    continue
                target_layer = layer_of(target)
                if target_layer is None or target_layer == layer:
                    continue
                edges.setdefault(layer, set()).add(target_layer)
                if rank[target_layer] > rank[layer]:
                    faults.append(f"{source}:{number}: {layer} includes {target} from the higher "
                                  f"layer {target_layer}")
    for cycle in find_cycles(edges):
        faults.append("folders include each other: " + " <-> ".join(cycle))
    return faults


def link_lines(build, library):
    """The link command lines of `library`'s link-check program, from a Ninja or a Makefile
    build."""
    ninja = os.path.join(build, "build.ninja")
    if os.path.isfile(ninja):
        with open(ninja) as text:
            for rule in ("\n" + text.read()).split("\nbuild "):
                if rule.startswith(f"link_check/{library}_link_check:"):
                    return [line for line in rule.splitlines() if "LINK_LIBRARIES" in line]
        return []
    for folder, _, names in os.walk(build):
        if folder.endswith(f"{library}_link_check.dir") and "link.txt" in names:
            with open(os.path.join(folder, "link.txt")) as text:
                return text.read().splitlines()
    return []


def check_links(build):
    """Link lines of the model layers' link-check programs that name a display library."""
    faults = []
    for library in MODEL_LIBRARIES:
        lines = link_lines(build, library)
        if not lines:
            faults.append(f"{library}: no link-check program in {build}")
        for line in lines:
            if DISPLAY_LIBRARY.search(line):
                faults.append(f"{library} links a display library: {line.strip()}")
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--report", action="store_true", help="print faults, exit 0")
    parser.add_argument("--build", help="build folder whose link lines to check")
    parser.add_argument("repo", nargs="?", default=os.path.join(os.path.dirname(__file__), "..", ".."))
    args = parser.parse_args()
    repo = os.path.abspath(args.repo)
    faults = check_sources(repo)
    if args.build:
        faults += check_links(args.build)
    for fault in faults:
        print(fault)
    print(f"layers: {len(LAYERS)} folders, {len(faults)} faults")
    return 0 if args.report or not faults else 1


if __name__ == "__main__":
    sys.exit(main())
