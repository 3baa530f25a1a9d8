#!/usr/bin/env python3
"""Reads the project's #include lines and checks that dependencies run one way, down the layers that
README.md's Architecture section lists: a folder includes only folders of layers below its own, never
one of its own layer or above (so that no two folders include each other, and the platform interface
includes nothing of the core), and every folder of code has a layer.

    include_graph.py ROOT            check; exit status 1 and one line per fault
    include_graph.py --show ROOT     print each folder's layer and the folders it includes
    include_graph.py --self-test     check that planted upward includes and circles are found
"""
import re
import sys
import tempfile
from collections import defaultdict
from pathlib import Path

SOURCE_FOLDERS = ("src", "tools")
# The folders #include names are taken from, besides the including file's own: the core's and the
# tool's.
INCLUDE_ROOTS = ("src", "tools/quelm-sim")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
LAYER_ITEM = re.compile(r"^(\d+)\.\s+(.*)$")
FOLDER_NAME = re.compile(r"`((?:src|tools)/[^`]*?)/?`")


def layers_of(root):
    """{folder: layer} from the numbered list of README.md's "## Architecture" section: each item names
    its folders in backquotes before the first colon, layer 1 at the top."""
    layers, in_section = {}, False
    for line in (root / "README.md").read_text().splitlines():
        if line.startswith("## "):
            in_section = line.strip() == "## Architecture"
            continue
        item = LAYER_ITEM.match(line) if in_section else None
        if item:
            for folder in FOLDER_NAME.findall(item.group(2).split(":")[0]):
                layers[folder] = int(item.group(1))
    return layers


def folder_graph(root):
    """{folder: {folder it includes}} for every folder of code under src/ and tools/, named from the
    project's root ("src/app", "tools/quelm-sim/lint")."""
    graph = defaultdict(set)
    for top in SOURCE_FOLDERS:
        for path in sorted((root / top).rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            folder = path.parent.relative_to(root).as_posix()
            graph[folder]
            for included in INCLUDE.findall(path.read_text(errors="replace")):
                target = resolve(root, path, included)
                if target not in (None, folder):
                    graph[folder].add(target)
    return graph


def resolve(root, path, included):
    """The folder an include names, as the compiler finds it: beside the including file, then in each
    include root; None for a system header."""
    for base in (path.parent, *(root / folder for folder in INCLUDE_ROOTS)):
        if (base / included).is_file():
            return (base / included).parent.relative_to(root).as_posix()
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
    graph, layers = folder_graph(root), layers_of(root)
    faults = [f"these folders include each other, directly or through one another: {', '.join(group)}"
              for group in cycles(graph)]
    for folder in sorted(graph):
        if folder not in layers:
            faults.append(f"{folder} has no layer in README.md's Architecture section")
            continue
        for target in sorted(graph[folder]):
            if target in layers and layers[target] <= layers[folder]:
                where = "its own layer" if layers[target] == layers[folder] else "a layer above it"
                faults.append(f"{folder} (layer {layers[folder]}) includes {target} (layer {layers[target]}), "
                              f"{where}")
    return faults


SELF_TEST_README = """# A project

## Architecture

1. `tools/tool/cmd`: a command;
2. `src/app`: the application;
3. `src/probe`, `src/record`: modules;
4. `src/config`: texts;
5. `src/platform`: the interface.

## Next
1. `src/elsewhere`: not a layer.
"""


def self_test():
    """A tree whose record/ includes probe/ of its own layer (no circle), whose app/ and config/
    include each other through probe/, whose platform interface includes the core, and whose
    tools/tool/extra/ has no layer: each fault must be named, and the mended tree must pass."""
    files = {"README.md": SELF_TEST_README,
             "src/platform/Platform.h": '#include "config/Text.h"\n', "src/config/Text.h": '#include "app/A.h"\n',
             "src/app/A.h": '#include "probe/P.h"\n', "src/probe/P.h": '#include "config/Text.h"\n',
             "src/record/R.h": '#include "probe/P.h"\n', "tools/tool/cmd/Cmd.cpp": '#include "app/A.h"\n',
             "tools/tool/extra/Extra.cpp": ""}
    with tempfile.TemporaryDirectory() as folder:
        root = Path(folder)
        for name, text in files.items():
            (root / name).parent.mkdir(parents=True, exist_ok=True)
            (root / name).write_text(text)
        found = faults_of(root)
        failures = []
        expected = {"the upward include from record/ into probe/, which closes no circle": "src/record (layer 3) "
                    "includes src/probe (layer 3)",
                    "the circle app -> probe -> config -> app": "src/app, src/config, src/probe",
                    "the upward include closing that circle": "src/config (layer 4) includes src/app (layer 2)",
                    "the core include of Platform.h": "src/platform (layer 5) includes src/config",
                    "the folder without a layer": "tools/tool/extra has no layer"}
        for what, text in expected.items():
            if not any(text in fault for fault in found):
                failures.append(f"{what} was not found: {found}")
        (root / "src/record/R.h").write_text("")
        (root / "src/config/Text.h").write_text("")
        (root / "src/platform/Platform.h").write_text("")
        (root / "tools/tool/extra/Extra.cpp").unlink()
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
        layers = layers_of(root)
        for folder, targets in sorted(folder_graph(root).items(), key=lambda item: (layers.get(item[0], 0), item[0])):
            print(f"{layers.get(folder, '?')} {folder} -> {', '.join(sorted(targets)) or '(nothing)'}")
        return 0
    faults = faults_of(root)
    for fault in faults:
        print(f"FAIL: {fault}")
    if not faults:
        print("OK: every include points down the layers")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
