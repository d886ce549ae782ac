#!/usr/bin/env python3
"""Checks that the folders' layers point one way, from every source file's
`#include "folder/name.h"` lines: the program sees only the platform
interfaces, the stand-ins never see the program, the interfaces see nothing
above them, and no folders include each other in a circle. It also checks that
the hardware device's product sources name no render or texture-stage state:
that device draws from the fixed-function state as d3dfront/ decodes it for
both devices, and a state read of its own is a second set of rules to drift.
Exit status 0 when it holds, 1 when it does not, 2 on a usage error.

  include_check.py SOURCE_DIR
"""
import os
import re
import sys

NAMES = {"interface": "platform interface", "shared": "shared module", "program": "program",
         "stand-in": "stand-in", "top": "top"}
# Every top-level folder with sources, and its layer. A new folder must be
# placed here before it builds into the house.
FOLDERS = {
    "platform": "interface", "formats": "shared", "scene": "shared", "math": "shared",
    "app": "program", "graphics": "program", "input": "program", "timing": "program",
    "runtime": "stand-in", "d3dx": "stand-in", "d3dfront": "stand-in", "refdevice": "stand-in",
    "gldevice": "stand-in", "sdlhost": "stand-in", "testplatform": "stand-in",
    "winhost": "stand-in", "hostcommon": "stand-in",
    "main": "top", "tests": "top", "bench": "top", "fuzz": "top",
}
# The reference device's stages, from the bottom: a stage includes only itself
# and those below it; the device at the folder's top sees them all.
STAGES = ["resources", "draw", "pixel", "raster", "front"]
INCLUDE = re.compile(r'\s*#\s*include\s*"(([^"/]+)/[^"]+)"')
TEST_NAME = re.compile(r"(_test\.cpp|_test_util\.h|^test_support\.h|^test_helpers\.h)$")
STATE_NAME = re.compile(r"\bD3D(RS|TSS)_[A-Z0-9_]+")


def allowed(source, is_test, target):
    """Tests sit beside what they test but form their own node: a program's
    test may use the recording platform the program never sees, while a
    stand-in's tests stay blind to the program as the stand-in is."""
    if source == "top" or (is_test and source == "program"):
        return True
    if is_test:
        return target != "program"
    return {"interface": target == "interface",
            "shared": target in ("interface", "shared"),
            "program": target in ("interface", "program")}.get(
                source, target not in ("program", "top"))


def stage_rank(parts):
    """The stage of a file of refdevice/ (len(STAGES) for the device), or -1."""
    if len(parts) < 2 or parts[0] != "refdevice":
        return -1
    if len(parts) == 2:
        return len(STAGES)
    return STAGES.index(parts[1]) if parts[1] in STAGES else -1


def sources(root):
    for top in sorted(os.listdir(root)):
        if top in ("build", "out") or top.startswith(".") or not os.path.isdir(f"{root}/{top}"):
            continue
        for folder, _, files in sorted(os.walk(f"{root}/{top}")):
            for name in sorted(files):
                if name.endswith((".h", ".cpp")):
                    path = os.path.join(folder, name)
                    yield top, os.path.relpath(path, root), path


def check(root):
    graph = {}  # node -> included folder -> one file that makes the edge
    problems = []
    for top, rel, path in sources(root):
        if top not in FOLDERS:
            problems.append(f"{rel}: folder '{top}' has no layer; add it to the include check")
            continue
        parts = rel.split(os.sep)
        is_test = bool(TEST_NAME.search(parts[-1]))
        decoded = top == "gldevice" and not is_test and len(parts) == 2
        with open(path, encoding="utf-8", errors="replace") as f:
            lines = f.read().split("\n")
        for number, line in enumerate(lines, 1):
            at = f"{rel}:{number}: "
            state = STATE_NAME.search(line) if decoded else None
            if state:
                problems.append(f"{at}names {state.group()}; "
                                "the hardware device reads the decoded state (d3dfront/)")
            m = INCLUDE.match(line)
            if not m:
                continue
            target = m.group(2)
            if target == top:
                own, to = stage_rank(parts), stage_rank(m.group(1).split("/"))
                if not is_test and own >= 0 and to > own:
                    problems.append(f"{at}includes {m.group(1)}, a stage above its own")
                continue
            if target not in FOLDERS:
                problems.append(f"{rel}: includes from unknown folder '{target}'")
                continue
            graph.setdefault(top + " (tests)" if is_test else top, {}).setdefault(target, rel)
            if not allowed(FOLDERS[top], is_test, FOLDERS[target]):
                problems.append(f"{rel}: {NAMES[FOLDERS[top]]} '{top}' must not include "
                                f"{NAMES[FOLDERS[target]]} '{target}'")
    return problems + circles(graph)


def circles(graph):
    """Every circle a depth-first search over the folder nodes meets."""
    found, state, path = [], {}, []  # state: 1 on the path, 2 done

    def visit(node):
        state[node] = 1
        path.append(node)
        for target, example in sorted(graph.get(node, {}).items()):
            if state.get(target) == 1:
                ring = " -> ".join(path[path.index(target):] + [target])
                found.append(f"include circle: {ring} (e.g. {example})")
            elif target not in state:
                visit(target)
        path.pop()
        state[node] = 2

    for node in sorted(graph):
        if node not in state:
            visit(node)
    return found


if __name__ == "__main__":
    if len(sys.argv) != 2 or not os.path.isdir(sys.argv[1]):
        print("usage: include_check.py SOURCE_DIR", file=sys.stderr)
        sys.exit(2)
    problems = check(sys.argv[1])
    for p in problems:
        print(f"FAIL {p}")
    if not problems:
        print("The folder graph is acyclic and every include points down its layers.")
    sys.exit(1 if problems else 0)
