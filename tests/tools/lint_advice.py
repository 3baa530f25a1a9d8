#!/usr/bin/env python3
"""lint's advice works: on every disk of the lint corpus (and the faulty example disk), each command a
finding suggests is run as written, and `quelm-sim lint --fix` must keep the original as QUELM.INI.orig,
leave a file with none of the findings it mended, touch no line it cannot mend, and leave a disk whose
every finding had a fix lint-clean.

    lint_advice.py QUELM_SIM DISK...
"""
import json
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

SUGGESTED = "quelm-sim lint --fix"


def lint(quelm_sim, disk, *extra):
    result = subprocess.run([quelm_sim, "lint", str(disk), "--json", *extra], capture_output=True, text=True,
                            check=False)
    if result.returncode == 2:
        raise RuntimeError(result.stderr)
    return result.returncode, [json.loads(line) for line in result.stdout.splitlines()]


def check_disk(quelm_sim, source):
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        disk = Path(folder) / source.name
        shutil.copytree(source, disk)
        original = (disk / "QUELM.INI").read_bytes()
        _, before = lint(quelm_sim, disk)
        suggested = [f for f in before if f["help"] and SUGGESTED in f["help"]]
        fixable = [f for f in before if f["fix"]]
        if not suggested and not fixable:
            return failures, False
        # The command as a finding writes it, with the disk named.
        status, after = lint(quelm_sim, disk, "--fix")
        orig = disk / "QUELM.INI.orig"
        if not orig.exists() or orig.read_bytes() != original:
            failures.append(f"{source.name}: --fix did not keep the original as QUELM.INI.orig")
        mended = {(f["check"], f["line"]) for f in fixable + suggested}
        left = [(f["check"], f["line"]) for f in after if (f["check"], f["line"]) in mended]
        if left:
            failures.append(f"{source.name}: --fix left what it was to mend: {left}")
        unmendable = sorted((f["check"], f["line"]) for f in before if not f["fix"] and (f["check"], f["line"]) not in mended)
        if sorted((f["check"], f["line"]) for f in after) != unmendable:
            failures.append(f"{source.name}: after --fix the findings are {[(f['check'], f['line']) for f in after]}, "
                            f"not the ones it cannot mend {unmendable}")
        if not unmendable and status != 0:
            failures.append(f"{source.name}: every finding had a fix, but the fixed disk does not lint clean")
    return failures, True


def main(arguments):
    if len(arguments) < 2:
        print(__doc__.strip())
        return 2
    quelm_sim, disks = arguments[0], [Path(disk) for disk in arguments[1:]]
    failures, tried = [], 0
    for disk in disks:
        found, checked = check_disk(quelm_sim, disk)
        failures += found
        tried += checked
    print(f"{tried} disks with advice to follow, {len(failures)} failures")
    for failure in failures:
        print(f"FAIL: {failure}")
    return 1 if failures or tried == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
