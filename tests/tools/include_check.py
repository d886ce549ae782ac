#!/usr/bin/env python3
"""usage: include_check.py SOURCE_DIR

Checks from every source file's `#include "folder/name.h"` lines that the
folders' layers point one way and no folders include each other in a circle;
that the devices' product sources include no scene format, no host and no
picture library (replaying scenes and writing pictures are their callers'
work); also that the hardware device's product sources name no render or
texture-stage state: it draws from the state as d3dfront/ decodes it for both
devices, and a state read of its own is a second set of rules to drift; and
that only pictures/ includes a PNG library and no device's product source
the picture files, so no device holds a PNG encoder."""
import os
import re
import sys

# Every top-level folder with sources, by layer. A new folder must be placed
# here before it builds into the house.
LAYERS = {"platform interface": "platform",
          "shared module": "formats scene math presentation pictures",
          "program": "app graphics input timing",
          "stand-in": "runtime d3dx d3dfront refdevice gldevice sdlhost testplatform winhost "
                      "hostcommon webhost",
          "tooling": "replay", "top": "main tests bench fuzz cmake"}
FOLDERS = {folder: layer for layer, folders in LAYERS.items() for folder in folders.split()}
# What each layer may include besides itself. Tests sit beside what they test
# but form their own node: a program's test may use the recording platform the
# program never sees, while a stand-in's tests stay blind to the program.
SEES = {"platform interface": (), "shared module": ("platform interface",),
        "program": ("platform interface",), "stand-in": ("platform interface", "shared module"),
        "tooling": ("platform interface", "shared module", "stand-in")}
# Devices hold devices: what drives them from outside or keeps their pictures
# is no part of them.
DEVICES = ("refdevice", "gldevice")
NOT_FOR_DEVICES = ("scene", "pictures", "hostcommon", "sdlhost", "winhost")
# The reference device's stages, from the bottom: a stage includes only itself
# and those below it; the device at the folder's top (rank 5) sees them all.
STAGES = ["resources", "draw", "pixel", "raster", "front"]
INCLUDE = re.compile(r'\s*#\s*include\s*"(([^"/]+)/[^"]+)"')
TEST_NAME = re.compile(r"(_test\.cpp|_test_util\.h|^test_support\.h|^test_helpers\.h)$")
STATE_NAME = re.compile(r"\bD3D(RS|TSS)_[A-Z0-9_]+")
PNG_LIBRARY = re.compile(r"\s*#\s*include\s*<(png\.h|(stb/)?stb_image[a-z_]*\.h)>")


def allowed(source, is_test, target):
    if source == "top" or (is_test and source == "program"):
        return True
    return target != "program" if is_test else target == source or target in SEES[source]


def stage_rank(parts):
    if parts[0] != "refdevice" or len(parts) < 2:
        return -1
    if len(parts) == 2:
        return len(STAGES)
    return STAGES.index(parts[1]) if parts[1] in STAGES else -1


def check(root):
    graph, problems = {}, []  # graph: node -> included folder -> one file that makes the edge
    for folder, dirs, files in os.walk(root):
        if folder == root:
            dirs[:] = [d for d in dirs if d not in ("build", "out") and not d.startswith(".")]
            continue
        for name in (n for n in files if n.endswith((".h", ".cpp"))):
            rel = os.path.relpath(os.path.join(folder, name), root)
            parts = rel.split(os.sep)
            top, is_test = parts[0], bool(TEST_NAME.search(name))
            if top not in FOLDERS:
                problems.append(f"{rel}: folder '{top}' has no layer; add it to the include check")
                continue
            decoded = top == "gldevice" and not is_test and len(parts) == 2
            device = top in DEVICES and not is_test
            source = open(os.path.join(folder, name), encoding="utf-8", errors="replace")
            for number, line in enumerate(source, 1):
                at = f"{rel}:{number}: "
                state = STATE_NAME.search(line) if decoded else None
                if state:
                    problems.append(f"{at}names {state.group()}; "
                                    "the hardware device reads the decoded state (d3dfront/)")
                png = PNG_LIBRARY.match(line)
                if png and top != "pictures":
                    problems.append(f"{at}includes <{png.group(1)}>; pictures are pictures/'s")
                m = INCLUDE.match(line)
                if not m:
                    continue
                target = m.group(2)
                if device and target in NOT_FOR_DEVICES:
                    problems.append(f"{at}includes {m.group(1)}; "
                                    "a device sees no scenes, picture files or hosts")
                if target == top:
                    own, to = stage_rank(parts), stage_rank(m.group(1).split("/"))
                    if not is_test and own >= 0 and to > own:
                        problems.append(f"{at}includes {m.group(1)}, a stage above its own")
                elif target not in FOLDERS:
                    problems.append(f"{rel}: includes from unknown folder '{target}'")
                else:
                    node = top + " (tests)" if is_test else top
                    graph.setdefault(node, {}).setdefault(target, rel)
                    if not allowed(FOLDERS[top], is_test, FOLDERS[target]):
                        problems.append(f"{rel}: {FOLDERS[top]} '{top}' must not include "
                                        f"{FOLDERS[target]} '{target}'")
    return sorted(problems) + circles(graph)


def circles(graph):
    """Every circle a depth-first search over the folder nodes meets."""
    found, done, path = [], set(), []

    def visit(node):
        path.append(node)
        for target, example in sorted(graph.get(node, {}).items()):
            if target in path:
                ring = " -> ".join(path[path.index(target):] + [target])
                found.append(f"include circle: {ring} (e.g. {example})")
            elif target not in done:
                visit(target)
        done.add(path.pop())

    for node in sorted(graph):
        if node not in done:
            visit(node)
    return found


if len(sys.argv) != 2:
    sys.exit(__doc__)
problems = check(sys.argv[1])
print("\n".join(f"FAIL {p}" for p in problems) or
      "The folder graph is acyclic and every include points down its layers.")
sys.exit(1 if problems else 0)
