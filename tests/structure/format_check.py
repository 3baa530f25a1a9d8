#!/usr/bin/env python3
"""Checks that every C++ file of the project is formatted as its .clang-format says.

    format_check.py CLANG_FORMAT ROOT    exit status 1 and one line per unformatted file
"""
import subprocess
import sys
from pathlib import Path

FOLDERS = ("src", "tools", "tests", "bench")


def unformatted(clang_format, root):
    """The files checked, and one fault line per file that clang-format would change."""
    files = sorted(path for folder in FOLDERS for pattern in ("*.cpp", "*.h")
                   for path in (root / folder).rglob(pattern))
    result = subprocess.run([clang_format, "--dry-run", "--Werror", *map(str, files)], capture_output=True,
                            text=True, cwd=root, check=False)
    changed = {}
    for line in result.stderr.splitlines():
        name, _, rest = line.partition(":")
        if "error:" in rest and name not in changed:
            changed[name] = rest.split("error:")[-1].strip()
    if result.returncode != 0 and not changed:
        changed["clang-format"] = result.stderr.strip()
    return files, [f"{Path(name).resolve().relative_to(root) if Path(name).is_absolute() else name}: not formatted "
                   f"({why})" for name, why in sorted(changed.items())]


def main(arguments):
    if len(arguments) != 2:
        print(__doc__.strip())
        return 2
    clang_format, root = arguments[0], Path(arguments[1]).resolve()
    try:
        files, faults = unformatted(clang_format, root)
    except OSError as error:
        print(f"FAIL: cannot run {clang_format} ({error.strerror}); install clang-format (scripts/setup.sh does)")
        return 1
    for fault in faults:
        print(f"FAIL: {fault}")
    print(f"{len(files)} files, {len(faults)} unformatted; to mend: clang-format -i FILE")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
