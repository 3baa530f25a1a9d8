#!/usr/bin/env python3
"""Checks `quelm-sim scan` against `lspci -n` on the machine the tests run on: the same functions of
PCI domain 0, in the same order, with the same IDs.

    scan_matches_lspci.py QUELM_SIM    compare; exit 0 when they agree, 1 when they differ or lspci is
                                       missing, 77 (skipped) when no PCI function is visible at all
    scan_matches_lspci.py --self-test  check the judgement on planted runs of both programs

QUELM_LSPCI names the lspci program to run instead of the one on the path.
"""
import difflib
import os
import re
import shutil
import subprocess
import sys

SKIPPED = 77
# "0000:00:1f.3 0403: 8086:a348 (rev 10)"; -D gives every line its domain.
LSPCI_LINE = re.compile(
    r"^(?:([0-9a-f]{4,8}):)?([0-9a-f]{2}):([0-9a-f]{2})\.([0-7]) [^:]*: ([0-9a-f]{4}):([0-9a-f]{4})", re.I)
SCAN_LINE = re.compile(
    r"^BUS_([0-9A-F]{2})&DEV_([0-9A-F]{2})&FUNC_([0-9A-F]{2}) VEN_([0-9A-F]{4})&DEV_([0-9A-F]{4})$")


def lspci_functions(text):
    """[(domain, bus, device, function, vendor, device ID)] in lspci's order."""
    functions = []
    for line in text.splitlines():
        match = LSPCI_LINE.match(line)
        if not match:
            raise ValueError(f"unexpected lspci line: {line!r}")
        functions.append(tuple(int(group or "0", 16) for group in match.groups()))
    return functions


def scan_functions(text):
    """[(bus, device, function, vendor, device ID)] in the scan's order."""
    functions = []
    for line in text.splitlines():
        match = SCAN_LINE.match(line)
        if not match:
            raise ValueError(f"unexpected quelm-sim scan line: {line!r}")
        functions.append(tuple(int(group, 16) for group in match.groups()))
    return functions


def expected_from(lspci):
    """What the launcher's scan sees of what lspci lists: domain 0 only (configuration mechanism #1
    has no domain number), and not a function that reads as all ones (absent to the scan)."""
    return [entry[1:] for entry in lspci if entry[0] == 0 and entry[4:] != (0xFFFF, 0xFFFF)]


def differences(lspci, scanned):
    """A unified diff of the two lists, empty when they agree."""
    def render(functions):
        return [f"{b:02x}:{d:02x}.{f:x} {v:04x}:{i:04x}" for b, d, f, v, i in functions]
    return list(difflib.unified_diff(render(expected_from(lspci)), render(scanned), "lspci -n (domain 0)",
                                     "quelm-sim scan", lineterm=""))


def find_lspci():
    if "QUELM_LSPCI" in os.environ:  # for trying the test where lspci is missing
        return os.environ["QUELM_LSPCI"] if os.access(os.environ["QUELM_LSPCI"], os.X_OK) else None
    for candidate in (shutil.which("lspci"), "/usr/bin/lspci", "/usr/sbin/lspci", "/sbin/lspci"):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    return None


def verdict(lspci_run, scan_run, has_sysfs):
    """(exit status, message) for the two programs' completed runs."""
    if lspci_run.returncode != 0 and has_sysfs:
        return 1, f"lspci -n failed although /sys/bus/pci exists: {lspci_run.stderr.strip()}"
    if scan_run.returncode not in (0, 2):
        return 1, f"quelm-sim scan could not read every function (status {scan_run.returncode}):\n" \
                  f"{scan_run.stderr.strip()}"
    # Without any access method lspci fails; that lists nothing just as well.
    lspci = lspci_functions(lspci_run.stdout if lspci_run.returncode == 0 else "")
    scanned = scan_functions(scan_run.stdout) if scan_run.returncode != 2 else []
    if not lspci and not scanned:
        where = "/sys/bus/pci exists but is empty" if has_sysfs else "there is no /sys/bus/pci"
        return SKIPPED, f"skipped: no PCI function is visible here (lspci -n lists none, {where}; " \
                        f"quelm-sim scan: {scan_run.stderr.strip() or 'none'})"
    if scan_run.returncode == 2:
        return 1, f"lspci -n lists {len(lspci)} functions, but quelm-sim scan found no bus: " \
                  f"{scan_run.stderr.strip()}"
    diff = differences(lspci, scanned)
    if diff:
        return 1, "quelm-sim scan and lspci -n differ:\n" + "\n".join(diff)
    return 0, f"quelm-sim scan and lspci -n agree on {len(scanned)} functions of domain 0 " \
              f"({len(lspci) - len(scanned)} more of other domains or reading as absent, which the " \
              f"launcher's scan does not see)"


def compare(quelm_sim):
    lspci_program = find_lspci()
    if not lspci_program:
        print("lspci not found: install pciutils (apt-get install pciutils) to compare quelm-sim scan "
              "with it")
        return 1
    lspci_run = subprocess.run([lspci_program, "-n", "-D"], capture_output=True, text=True)
    scan_run = subprocess.run([quelm_sim, "scan"], capture_output=True, text=True)
    status, message = verdict(lspci_run, scan_run, os.path.isdir("/sys/bus/pci"))
    print(message)
    return status


def self_test():
    lspci_text = ("0000:00:00.0 0600: 8086:1237\n"
                  "0000:00:07.1 0101: 8086:7111 (rev 01) (prog-if 80)\n"
                  "0000:01:00.0 0300: 1a2b:3c4d\n"
                  "0000:02:00.0 ff00: ffff:ffff\n"
                  "0001:00:00.0 0604: 8086:09ab\n")
    agreeing = ("BUS_00&DEV_00&FUNC_00 VEN_8086&DEV_1237\nBUS_00&DEV_07&FUNC_01 VEN_8086&DEV_7111\n"
                "BUS_01&DEV_00&FUNC_00 VEN_1A2B&DEV_3C4D\n")

    def run(status, out="", err=""):
        return subprocess.CompletedProcess([], status, out, err)

    no_access = run(1, err="lspci: Cannot find any working access method.")
    cases = [  # name, lspci's run, quelm-sim's run, /sys/bus/pci there, expected status
        ("agreeing lists", run(0, lspci_text), run(0, agreeing), True, 0),
        ("a function missing", run(0, lspci_text),
         run(0, agreeing.replace("BUS_00&DEV_07&FUNC_01 VEN_8086&DEV_7111\n", "")), True, 1),
        ("a wrong device ID", run(0, lspci_text), run(0, agreeing.replace("DEV_3C4D", "DEV_3C4E")), True, 1),
        ("another function number", run(0, lspci_text), run(0, agreeing.replace("FUNC_01", "FUNC_02")),
         True, 1),
        ("the order swapped", run(0, lspci_text), run(0, "\n".join(reversed(agreeing.splitlines()))),
         True, 1),
        ("the other domain's function listed", run(0, lspci_text),
         run(0, agreeing + "BUS_00&DEV_00&FUNC_00 VEN_8086&DEV_09AB\n"), True, 1),
        ("a line without its domain is domain 0", run(0, "00:1f.3 0403: 8086:a348 (rev 10)\n"),
         run(0, "BUS_00&DEV_1F&FUNC_03 VEN_8086&DEV_A348\n"), True, 0),
        ("scan incomplete", run(0, lspci_text), run(1, agreeing, "quelm-sim: 0000:00:00.0 left out"),
         True, 1),
        ("no bus anywhere", no_access, run(2, err="quelm-sim: no PCI bus to read"), False, SKIPPED),
        ("an empty sysfs", run(0), run(0), True, SKIPPED),
        ("lspci blind with sysfs there", no_access, run(0), True, 1),
        ("scan sees what lspci cannot", no_access, run(0, agreeing), False, 1),
        ("scan blind where lspci sees", run(0, lspci_text), run(2, err="quelm-sim: no PCI bus"), False, 1),
    ]
    faults = []
    for name, lspci_run, scan_run, has_sysfs, expected in cases:
        status, message = verdict(lspci_run, scan_run, has_sysfs)
        if status != expected:
            faults.append(f"{name}: status {status}, expected {expected}: {message}")
    print("\n".join(faults) or f"all {len(cases)} planted cases judged right")
    return 1 if faults else 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    return compare(sys.argv[1])


if __name__ == "__main__":
    sys.exit(main())
