#!/usr/bin/env python3
"""Runs quelm-sim.exe (preset tool-win64) under 64-bit Wine as if it were the host's quelm-sim, so that
the tool tests run unchanged against the Windows build.

    wine_tool.py setup --work-dir DIR                 a throwaway 64-bit prefix, its PCI devices planted
    wine_tool.py cleanup --work-dir DIR               end it and remove it
    wine_tool.py exec --work-dir DIR EXE ARGUMENT...  run EXE; its output, errors and status pass through

`exec` hands every file name over as Windows writes it: an argument that is a Unix path (/a/b, or
d=/a/b for --drive) becomes Z:\\a\\b, the drive under which Wine shows the Unix root. The prefix's
device list holds the functions of tests/tools/data/machine (a host bridge, an ISA bridge and the
example card at 01:00.0), as SetupAPI lists them on Windows.

When this host's Wine runs no 64-bit programs, every command prints a line beginning "SKIPPED: " and
ends with status 77.
"""
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e" / "wine"))

import cases  # noqa: E402
import wine_arch  # noqa: E402
from wine_session import WineError, WineSession  # noqa: E402

ARCH = "win64"
# The machine of tests/tools/data/machine, where Linux's procfs lists it.
MACHINE = cases.Machine(pci=(cases.PciFunction(0, 0, 0, 0x8086, 0x7190), cases.PciFunction(0, 7, 0, 0x8086, 0x7110),
                             cases.PciFunction(1, 0, 0, cases.CARD_VENDOR, cases.CARD_DEVICE)))
DRIVE_MAPPING = re.compile(r"^([A-Za-z])=(/.*)$")
TIMEOUT_SECONDS = 60


def windows_argument(argument):
    """The argument as a Windows user types it: Unix paths under Wine's drive Z:, with backslashes."""
    mapping = DRIVE_MAPPING.match(argument)
    if mapping:
        return f"{mapping.group(1)}={windows_argument(mapping.group(2))}"
    if argument.startswith("/"):
        return "Z:" + argument.replace("/", "\\")
    return argument


def session_of(work_dir):
    return WineSession(Path(work_dir) / "session", ARCH)


def set_up(work_dir):
    session = session_of(work_dir)
    seconds = session.set_up()
    machine = Path(work_dir) / "machine.reg"
    machine.write_text(MACHINE.registry_file(), encoding="ascii", newline="")
    session.load_registry(machine)
    print(f"64-bit Wine prefix ready in {seconds:.1f} s, {len(MACHINE.pci)} PCI functions planted")


def execute(work_dir, program, arguments):
    """Runs the program with its output and errors in files (a Wine process's pipes can outlive it),
    then hands both on; returns its exit status."""
    session = session_of(work_dir)
    loader = session.require_loader()
    runs = Path(work_dir) / "runs"
    runs.mkdir(parents=True, exist_ok=True)
    # ctest runs tests side by side: each run its own files.
    run_dir = Path(tempfile.mkdtemp(dir=runs))
    out_path, err_path = run_dir / "stdout", run_dir / "stderr"
    command = [loader, str(program), *map(windows_argument, arguments)]
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                   env=session.environment(), start_new_session=True)
        try:
            status = process.wait(timeout=TIMEOUT_SECONDS)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            raise WineError(f"{program} did not end within {TIMEOUT_SECONDS} s")
    sys.stdout.buffer.write(out_path.read_bytes())
    sys.stderr.buffer.write(err_path.read_bytes())
    shutil.rmtree(run_dir, ignore_errors=True)
    return status


def skip_quietly_unless_selected():
    """Like wine_arch.skip_unless_selected, but silent when the path runs: the program's own output
    must pass through alone."""
    runs, why = wine_arch.decide(ARCH)
    if not runs:
        print(f"SKIPPED: the {ARCH} Wine tests do not run here: {why}")
        sys.exit(wine_arch.SKIP_STATUS)


def main(arguments):
    # Parsed by position: the program's own arguments (--version, --help, ...) are none of ours.
    if len(arguments) < 3 or arguments[0] not in ("setup", "cleanup", "exec") or arguments[1] != "--work-dir":
        print(__doc__.strip(), file=sys.stderr)
        return 2
    command, work_dir = arguments[0], Path(arguments[2]).resolve()
    try:
        if command == "exec":
            skip_quietly_unless_selected()
            program = Path(arguments[3]) if len(arguments) > 3 else None
            if program is None or not program.is_file():
                print(f"FAILED: {program} is missing; build it with: cmake --preset tool-win64 && "
                      "cmake --build --preset tool-win64", file=sys.stderr)
                return 1
            return execute(work_dir, program.resolve(), arguments[4:])
        wine_arch.skip_unless_selected(ARCH)
        if command == "setup":
            set_up(work_dir)
        else:
            session_of(work_dir).clean_up()
    except WineError as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
