#!/usr/bin/env python3
"""Measures QUELM.EXE under Wine, outside ctest:

- the launcher's processor time while the installer program takes two seconds to show its window
  (the scheduler's count of the launcher's Wine process in /proc, between the installer's start and
  its window, and cross-checked as the difference of GetProcessTimes totals with and without the delay);
- the time from the launcher's start to its first message box, in a warm prefix and in a new one;
- with --suite, the count and run time of the ctest e2e tests.

    measure.py --arch win32 --windows-dir build/win32 [--runs 5] [--suite build/host]
    measure.py --arch win64 --windows-dir build/win64 ...   on a host that runs 64-bit programs only
"""

import argparse
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

import cases
import wine_e2e
from wine_session import WineSession, windows_path

INSTALLER_DELAY_MS = 2000
SAMPLE_SECONDS = 0.005

WAIT_DISK = cases.Case("measure-wait", "", ("win98",), cases.AGP_INI,
                       cases.Machine(pci=(cases.HOST_BRIDGE, cases.CARD_ON_BUS_1),
                                     enum_keys=(f"{cases.CARD_HARDWARE_KEY}\\000800",)))
MESSAGE_DISK = cases.Case("measure-message", "", ("win98",), cases.NO_CARD_INI, cases.MACHINE_WITHOUT_CARD)


def launcher_process(prefix):
    """The Unix process that runs QUELM.EXE in this prefix, or None. Its program is QUELM.EXE: the driver
    that starts it has "D:\\QUELM.EXE" among its arguments, and polls for message boxes all the while."""
    marker = f"WINEPREFIX={prefix}".encode()
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            program = (entry / "cmdline").read_bytes().split(b"\0")[0]
            if (program.upper().replace(b"/", b"\\").rsplit(b"\\", 1)[-1] == b"QUELM.EXE"
                    and marker in (entry / "environ").read_bytes().split(b"\0")):
                return entry
        except OSError:
            continue
    return None


def processor_seconds(process):
    """The time all the process's threads have run on a processor, from the scheduler's own count in
    nanoseconds: a wait whose passes take a few milliseconds all told is lost in 10 ms clock ticks."""
    return sum(int((thread / "schedstat").read_text().split()[0]) for thread in (process / "task").iterdir()) / 1e9


class Bench:
    def __init__(self, work_dir, arch, windows_dir):
        self.work_dir = work_dir
        self.windows_dir = windows_dir
        self.session = WineSession(work_dir / "session", arch)
        (work_dir / "cases").mkdir(parents=True, exist_ok=True)
        (work_dir / "cases" / "reset.reg").write_text(cases.reset_registry_file(cases.CASES))

    def prepare(self, case):
        case_dir = self.work_dir / "cases" / case.name
        case_dir.mkdir(exist_ok=True)
        registry_file = case_dir / "machine.reg"
        registry_file.write_text(case.machine.registry_file())
        disk = wine_e2e.build_disk(case, case_dir, self.windows_dir)
        self.session.set_windows_version(case.versions[0])
        self.session.load_registry(case_dir.parent / "reset.reg", registry_file)
        self.session.map_drive("D", disk)
        return case_dir

    def run_launcher(self, case_dir, delay_ms, sample):
        """One launcher run; with `sample`, the launcher's processor time between the installer's
        start and its window is read from /proc while it runs. Returns (driver log, (wall, processor) seconds)."""
        driver_log = case_dir / "driver.log"
        installer_log = case_dir / "installer.log"
        installer_log.unlink(missing_ok=True)
        environment = {"QUELM_VADRUN_LOG": windows_path(installer_log), "QUELM_VADRUN_DELAY_MS": str(delay_ms)}
        thread = threading.Thread(target=self.session.run, kwargs=dict(
            arguments=[str(self.windows_dir / "e2e-driver.exe"), windows_path(driver_log), "30000", "D:\\",
                       "D:\\QUELM.EXE"], timeout=60, log_name="measure", extra_env=environment))
        thread.start()
        marks = {}
        process = None
        while thread.is_alive():
            time.sleep(SAMPLE_SECONDS)
            if not sample:
                continue
            process = process or launcher_process(self.session.prefix)
            if process is None:
                continue
            try:
                seconds = processor_seconds(process)
            except OSError:
                break  # the launcher has ended
            events = installer_log.read_text("latin-1") if installer_log.exists() else ""
            if "commandline" in events:
                marks.setdefault("installer started", (time.monotonic(), seconds))
            if "window" in events:
                marks.setdefault("window shown", (time.monotonic(), seconds))
        thread.join()
        lines = driver_log.read_text("latin-1").splitlines()
        wait = None
        if "installer started" in marks and "window shown" in marks:
            (start_time, start_cpu), (end_time, end_cpu) = marks["installer started"], marks["window shown"]
            wait = (end_time - start_time, end_cpu - start_cpu)
        return lines, wait


def driver_value(lines, event, index):
    for line in lines:
        words = line.split(" ")
        if words[0] == event:
            return int(words[index])
    raise RuntimeError(f"no {event} in the driver log: {lines}")


def process_seconds(lines):
    for line in lines:
        words = line.split(" ")
        if words[0] == "times":
            return (int(words[1]) + int(words[2])) / 1e7
    raise RuntimeError(f"no processor times in the driver log: {lines}")


def measure_wait(bench, runs):
    case_dir = bench.prepare(WAIT_DISK)
    sampled, totals = [], {0: [], INSTALLER_DELAY_MS: []}
    for _ in range(runs):
        for delay in (0, INSTALLER_DELAY_MS):
            lines, wait = bench.run_launcher(case_dir, delay, sample=delay > 0)
            totals[delay].append(process_seconds(lines))
            if wait:
                sampled.append(wait)
    print(f"Launcher processor time while the installer takes {INSTALLER_DELAY_MS} ms to show its window:")
    for wall, cpu in sampled:
        print(f"  /proc: {cpu * 1000:.1f} ms of {wall * 1000:.0f} ms = {100 * cpu / wall:.2f} %")
    shares = [cpu / wall for wall, cpu in sampled]
    if shares:
        print(f"  median {100 * statistics.median(shares):.2f} %, highest {100 * max(shares):.2f} % "
              f"({len(shares)} runs; /proc/PID/task/*/schedstat)")
    extra = statistics.median(totals[INSTALLER_DELAY_MS]) - statistics.median(totals[0])
    print(f"  GetProcessTimes, whole launcher life: median {statistics.median(totals[0]) * 1000:.0f} ms without "
          f"the delay, {statistics.median(totals[INSTALLER_DELAY_MS]) * 1000:.0f} ms with it: "
          f"{extra * 1000:.0f} ms more = {100 * extra / (INSTALLER_DELAY_MS / 1000):.1f} % of the wait")


def measure_first_box(bench, runs):
    case_dir = bench.prepare(MESSAGE_DISK)
    times = [driver_value(bench.run_launcher(case_dir, 0, sample=False)[0], "box", 1) for _ in range(runs)]
    print(f"Start to first message box, warm prefix: median {statistics.median(times)} ms, "
          f"range {min(times)} to {max(times)} ms ({runs} runs)")


def measure_suite(host_build):
    started = time.monotonic()
    result = subprocess.run(["ctest", "--test-dir", str(host_build), "-L", "e2e"], capture_output=True, text=True,
                            check=False)
    seconds = time.monotonic() - started
    summary = [line for line in result.stdout.splitlines() if "tests passed" in line or "tests failed" in line]
    wine_cases = [line for line in result.stdout.splitlines() if "e2e.wine." in line and "Test #" in line
                  and not any(word in line for word in ("setup", "cleanup", "differential"))]
    print(f"ctest -L e2e: {summary[-1] if summary else 'no summary'}; {len(wine_cases)} Wine launcher cases; "
          f"{seconds:.1f} s in all")
    return result.returncode


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--arch", choices=("win32", "win64"), default="win32")
    parser.add_argument("--windows-dir", type=Path, required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--suite", type=Path, help="host build tree whose e2e tests to time")
    options = parser.parse_args()
    windows_dir = options.windows_dir.resolve()
    with tempfile.TemporaryDirectory(prefix="quelm-measure-") as work:
        bench = Bench(Path(work), options.arch, windows_dir)
        try:
            started = time.monotonic()
            bench.session.set_up()
            print(f"New prefix in {time.monotonic() - started:.1f} s")
            case_dir = bench.prepare(MESSAGE_DISK)
            lines, _ = bench.run_launcher(case_dir, 0, sample=False)
            print(f"Start to first message box, first GUI program of a new prefix: {driver_value(lines, 'box', 1)} ms")
            measure_first_box(bench, options.runs)
            measure_wait(bench, options.runs)
        finally:
            bench.session.clean_up()
    print(f"QUELM.EXE: {(windows_dir / 'QUELM.EXE').stat().st_size} bytes")
    return measure_suite(options.suite.resolve()) if options.suite else 0


if __name__ == "__main__":
    sys.exit(main())
