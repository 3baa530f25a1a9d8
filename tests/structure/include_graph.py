#!/usr/bin/env python3
"""Reads the project's #include lines and checks that dependencies run one way: no folder includes a
folder that includes it back, directly or through others, and the platform interface includes
nothing of the core.

    include_graph.py ROOT            check; exit status 1 and one line per fault
    include_graph.py --show ROOT     print the folder graph, one "folder -> folders" line each
    include_graph.py --self-test     check that a planted circle and a core include are found
"""
import re
import sys
import tempfile
from collections import defaultdict
from pathlib import Path

SOURCE_FOLDERS = ("src", "tools")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
# Folders of the core the platform interface must stay below.
CORE = ("app", "card", "config", "handoff", "probe", "record")


def folder_graph(root):
    """{folder: {folder it includes}} for every folder under src/ and tools/, named as the includes
    name them ("app", "platform/sim", "tools/quelm-sim")."""
    graph = defaultdict(set)
    for top in SOURCE_FOLDERS:
        for path in sorted((root / top).rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            relative = path.relative_to(root / "src") if top == "src" else path.relative_to(root)
            folder = str(relative.parent)
            graph[folder]
            for included in INCLUDE.findall(path.read_text(errors="replace")):
                target = resolve(root, path, included)
                if target not in (None, folder):
                    graph[folder].add(target)
    return graph


def resolve(root, path, included):
    """The folder an include names, relative to src/ (the include root); None for a file of the
    including folder itself or for a system header."""
    if (root / "src" / included).is_file():
        return str(Path(included).parent)
    return None


def cycles(graph):
    """Strongly connected groups of more than one folder (Tarjan), each sorted."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for target in sorted(graph.get(node, ())):
            if target not in index:
                visit(target)
                low[node] = min(low[node], low[target])
            elif target in on_stack:
                low[node] = min(low[node], index[target])
        if low[node] == index[node]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == node:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for node in sorted(graph):
        if node not in index:
            visit(node)
    return found


def faults_of(root):
    graph = folder_graph(root)
    faults = [f"these folders include each other, directly or through one another: {', '.join(group)}"
              for group in cycles(graph)]
    platform_header = root / "src" / "platform" / "Platform.h"
    for included in INCLUDE.findall(platform_header.read_text()):
        if included.split("/")[0] in CORE:
            faults.append(f"platform/Platform.h includes {included}, part of the core it serves")
    return faults


def self_test():
    """A tree whose folders a and b include each other through c, and whose platform interface
    includes the core: both faults must be named, and the same tree without them must pass."""
    files = {"src/platform/Platform.h": '#include "config/Text.h"\n', "src/config/Text.h": "",
             "src/a/A.h": '#include "c/C.h"\n', "src/c/C.h": '#include "b/B.h"\n', "src/b/B.h": '#include "a/A.h"\n'}
    with tempfile.TemporaryDirectory() as folder:
        root = Path(folder)
        for name, text in files.items():
            (root / name).parent.mkdir(parents=True, exist_ok=True)
            (root / name).write_text(text)
        (root / "tools").mkdir()
        found = faults_of(root)
        failures = []
        if not any("a, b, c" in fault for fault in found):
            failures.append(f"the circle a -> c -> b -> a was not found: {found}")
        if not any("config/Text.h" in fault for fault in found):
            failures.append(f"the core include of Platform.h was not found: {found}")
        (root / "src/b/B.h").write_text("")
        (root / "src/platform/Platform.h").write_text("")
        if faults_of(root):
            failures.append(f"the mended tree still fails: {faults_of(root)}")
    return failures


def main(arguments):
    if arguments == ["--self-test"]:
        failures = self_test()
        for failure in failures:
            print(f"FAIL: {failure}")
        print("OK: every planted fault found" if not failures else "")
        return 1 if failures else 0
    show = arguments[:1] == ["--show"]
    if show:
        arguments = arguments[1:]
    if len(arguments) != 1:
        print(__doc__.strip())
        return 2
    root = Path(arguments[0]).resolve()
    if show:
        for folder, targets in sorted(folder_graph(root).items()):
            print(f"{folder} -> {', '.join(sorted(targets)) or '(nothing)'}")
        return 0
    faults = faults_of(root)
    for fault in faults:
        print(f"FAIL: {fault}")
    if not faults:
        print("OK: every include points one way")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
