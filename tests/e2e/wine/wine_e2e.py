#!/usr/bin/env python3
"""Runs one end-to-end case under Wine and checks it against quelm-sim's prediction for the same
disk, machine and answers: the same message boxes (text and buttons, in order), installer command
lines, programs opened and exit code.

    wine_e2e.py setup   --arch ARCH --work-dir DIR --windows-dir DIR    create the shared Wine machine
    wine_e2e.py cleanup --arch ARCH --work-dir DIR                      end it and remove the prefix
    wine_e2e.py list                                                    the case names, one a line
    wine_e2e.py run CASE --arch ARCH --work-dir DIR --windows-dir DIR --quelm-sim PROGRAM

ARCH is win32 (the shipped QUELM.EXE under 32-bit Wine) or win64 (the 64-bit test build under 64-bit
Wine); a path that does not run on this host ends with ctest's skip status (see wine_arch.py).
"""

import argparse
import json
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

import cases
import wine_arch
from wine_session import WineError, WineSession, windows_path

# A case's launcher run, including every message box and the installer, must end within this.
LAUNCHER_TIMEOUT_MS = 20000
# The installer program ends itself if nobody presses its button, so a launcher that never finds it
# still ends (and fails the comparison) instead of waiting for the time-out above.
INSTALLER_TIMEOUT_MS = 10000
# An installer program that never shows its window or button ends itself this much sooner, so that the
# launcher's wait for it is short.
MISBEHAVING_INSTALLER_TIMEOUT_MS = 1500
# What vadrun.exe exits with when it times out, and the exception code a crash leaves.
INSTALLER_TIMEOUT_EXIT = 124
ACCESS_VIOLATION = 0xC0000005
# How long programs opened through the shell get to record themselves after the launcher has ended.
SHELL_GRACE_SECONDS = 5.0
SHELL_SETTLE_SECONDS = 0.5

BUTTONS_OF_STYLE = {0x30: ("OK",), 0x31: ("OK", "CANCEL")}


@dataclass
class Run:
    """What a run showed and did, in the terms both Wine and quelm-sim can report."""
    messages: list = field(default_factory=list)  # (text, buttons, answer)
    installers: list = field(default_factory=list)  # (command line, clicked, exit code)
    shell_opens: list = field(default_factory=list)  # (file, working directory)
    exit_code: int = None

    def lines(self):
        out = [f"message {buttons} answered {answer}: {text!r}" for text, buttons, answer in self.messages]
        out += [f"installer {command!r} clicked={clicked} exit={code}" for command, clicked, code in self.installers]
        out += [f"shell open {file!r} in {directory!r}" for file, directory in self.shell_opens]
        out.append(f"exit code {self.exit_code}")
        return out


class CaseFailure(Exception):
    pass


def normalise_directory(directory):
    """"D:" and "D:\\" both mean the root of D: as a working directory; other folders lose a
    trailing backslash."""
    directory = directory.rstrip("\\")
    return directory + "\\" if len(directory) == 2 and directory[1] == ":" else directory


# --- The disk ------------------------------------------------------------------------------------

def build_disk(case, case_dir, windows_dir):
    """The case's disk folder: QUELM.EXE and vadrun.exe at its root, QUELM.INI (8-bit text, CR LF)
    in the folder the command tail names, and the recording program that Exec lines open there."""
    disk = case_dir / "disk"
    shutil.rmtree(disk, ignore_errors=True)
    ini_folder = disk / case.ini_folder if case.ini_folder else disk
    ini_folder.mkdir(parents=True)
    shutil.copy(windows_dir / "QUELM.EXE", disk / "QUELM.EXE")
    if case.installer_present:
        shutil.copy(windows_dir / "vadrun.exe", disk / "vadrun.exe")
    shutil.copy(windows_dir / "exec-recorder.exe", ini_folder / cases.RECORDER_NAME)
    if case.ini is not None:
        (ini_folder / "QUELM.INI").write_bytes(case.ini.replace("\n", "\r\n").encode("cp1252"))
    return disk


def check_build(windows_dir):
    needed = ["QUELM.EXE", "vadrun.exe", "e2e-driver.exe", "exec-recorder.exe", "platform-probe.exe"]
    missing = [name for name in needed if not (windows_dir / name).is_file()]
    if missing:
        raise CaseFailure(f"missing from {windows_dir}: {', '.join(missing)} "
                          "(build them with scripts/run-tests.sh, or cmake --build --preset win32 / win64)")


# --- Under Wine ----------------------------------------------------------------------------------

def read_version_record(session, windows_dir, version):
    """GetVersionExA as the launcher will see it, in quelm-sim's --version form."""
    session.set_windows_version(version)
    status, output = session.run([str(windows_dir / "platform-probe.exe"), "version"], timeout=30,
                                 log_name="version")
    record = output.split("\n")[0]
    if status != 0 or not record:
        raise CaseFailure(f"the version probe failed under Wine {version}: {output!r}")
    return record


def run_under_wine(case, session, case_dir, windows_dir, disk, registry_file):
    session.load_registry(case_dir.parent / "reset.reg", registry_file)
    session.map_drive("D", disk)
    logs = {name: case_dir / f"{name}.log" for name in ("driver", "installer", "shell")}
    for log in logs.values():
        log.unlink(missing_ok=True)
    environment = {
        "QUELM_VADRUN_LOG": windows_path(logs["installer"]),
        "QUELM_VADRUN_EXIT": str(case.installer_exit),
        "QUELM_VADRUN_TIMEOUT_MS": str(MISBEHAVING_INSTALLER_TIMEOUT_MS if case.installer_mode else INSTALLER_TIMEOUT_MS),
        "QUELM_VADRUN_MODE": case.installer_mode,
        "QUELM_VADRUN_DELAY_MS": str(case.installer_delay_ms),
        "QUELM_EXEC_LOG": windows_path(logs["shell"]),
    }
    command_line = "D:\\QUELM.EXE" + (" " + case.tail if case.tail else "")
    status, output = session.run(
        [str(windows_dir / "e2e-driver.exe"), windows_path(logs["driver"]), str(LAUNCHER_TIMEOUT_MS), "D:\\",
         command_line, *case.answers],
        timeout=LAUNCHER_TIMEOUT_MS / 1000 + 30, log_name="driver", extra_env=environment)
    driver_lines = logs["driver"].read_text("latin-1").splitlines() if logs["driver"].exists() else []
    if status != 0 or any(line.startswith(("hang", "error")) for line in driver_lines):
        session.restart_wineserver()  # whatever the launcher left behind must not meet the next case
        raise CaseFailure(f"the launcher run did not end normally (driver status {status}):\n"
                          + "\n".join(driver_lines) + output)
    return parse_wine_logs(driver_lines, logs)


def parse_wine_logs(driver_lines, logs):
    run = Run()
    timings = {}
    for line in driver_lines:
        words = line.split(" ")
        if words[0] == "box":
            text = "" if words[4] == "-" else bytes.fromhex(words[4]).decode("cp1252")
            run.messages.append((text, tuple(words[2].split(",")), words[3]))
            timings.setdefault("first box ms", int(words[1]))
        elif words[0] == "exit":
            run.exit_code = int(words[1]) & 0xFFFFFFFF
            timings["launcher ms"] = int(words[2])
        elif words[0] == "times":
            timings["launcher cpu ms"] = (int(words[1]) + int(words[2])) // 10000
    if logs["installer"].exists():
        for line in logs["installer"].read_text("cp1252").splitlines():
            event, _, detail = line.partition(" ")
            if event == "commandline":
                run.installers.append([detail, False, None])
            elif event == "clicked" and run.installers:
                run.installers[-1][1] = True
            elif event == "exit" and run.installers:
                run.installers[-1][2] = int(detail)
    run.installers = [tuple(installer) for installer in run.installers]
    return run, timings


def collect_shell_opens(run, shell_log, expected_count):
    """Programs opened through the shell run on after the launcher: wait for the expected records,
    then a little longer for any unexpected one."""
    deadline = time.monotonic() + SHELL_GRACE_SECONDS
    records = []
    while True:
        records = shell_log.read_text("cp1252").splitlines() if shell_log.exists() else []
        if len(records) >= expected_count or time.monotonic() > deadline:
            break
        time.sleep(0.05)
    time.sleep(SHELL_SETTLE_SECONDS)
    records = shell_log.read_text("cp1252").splitlines() if shell_log.exists() else []
    for record in records:
        _, path, directory, _ = record.split("\t", 3)
        run.shell_opens.append((path.upper(), normalise_directory(directory)))


# --- As quelm-sim predicts it ---------------------------------------------------------------------

def installer_prediction(case):
    """quelm-sim's options for how vadrun.exe behaves in this case."""
    if case.installer_mode == "crash":
        exit_code = ACCESS_VIOLATION - (1 << 32)  # the option takes the signed form
        return ["--installer-window", "never", "--installer-lifetime", "0", "--installer-exit", str(exit_code)]
    if case.installer_mode == "exit":
        return ["--installer-window", "never", "--installer-lifetime", "0", "--installer-exit", str(case.installer_exit)]
    lifetime = ["--installer-lifetime", str(MISBEHAVING_INSTALLER_TIMEOUT_MS), "--installer-exit", str(INSTALLER_TIMEOUT_EXIT)]
    if case.installer_mode == "nowindow":
        return ["--installer-window", "never"] + lifetime
    if case.installer_mode == "hidden":
        return ["--installer-window", "hidden"] + lifetime
    if case.installer_mode == "nobutton":
        return ["--installer-button", "absent"] + lifetime
    return ["--installer-exit", str(case.installer_exit), "--installer-delay", str(case.installer_delay_ms)]


def predict_with_quelm_sim(case, version_record, quelm_sim, disk, registry_file):
    # Wine refuses the configuration ports to programs and offers SetupAPI whatever Windows version it
    # reports, so the launcher always reads the bus from the device list there.
    arguments = [str(quelm_sim), "run", str(disk), "--json", "--version", version_record, "--pci-access", "device-list",
                 "--registry", str(registry_file), "--installer",
                 "present" if case.installer_present else "missing"]
    arguments += installer_prediction(case)
    for function in case.machine.pci:
        arguments += ["--pci", function.sim_option()]
    for answer in case.answers:
        arguments += ["--answer", answer]
    if case.tail:
        arguments += ["--tail", case.tail]
    result = subprocess.run(arguments, capture_output=True, text=True, timeout=60, check=False)
    if result.returncode != 0:
        raise CaseFailure(f"quelm-sim failed ({result.returncode}): {result.stderr.strip()}")
    events = [json.loads(line) for line in result.stdout.splitlines() if line.strip()]
    run = Run()
    os_name = None
    for event in events:
        kind = event["event"]
        if kind == "start":
            os_name = event["osName"]
        elif kind == "message":
            run.messages.append((event["text"], BUTTONS_OF_STYLE[event["style"]], event["answer"]))
        elif kind == "installer" and "exitCode" in event:
            # One that could not be started shows only through its message and the exit code.
            # One that crashes records no exit of its own: only the launcher's exit code tells.
            code = None if case.installer_mode == "crash" else event["exitCode"]
            run.installers.append((event["commandLine"], event["clicked"], code))
        elif kind == "shell":
            directory = event.get("directory") or "D:\\"  # none given: the launcher's own
            run.shell_opens.append((event["file"].upper(), normalise_directory(directory)))
        elif kind == "exit":
            run.exit_code = event["exitCode"] & 0xFFFFFFFF  # Windows exit codes are unsigned
        elif kind == "hang":
            raise CaseFailure("quelm-sim predicts a hang; such a case cannot run under Wine")
    return run, os_name


# --- The case ------------------------------------------------------------------------------------

def compare(predicted, observed):
    if predicted == observed:
        return
    raise CaseFailure("Wine and quelm-sim disagree\n  quelm-sim predicts:\n"
                      + "".join(f"    {line}\n" for line in predicted.lines())
                      + "  under Wine:\n" + "".join(f"    {line}\n" for line in observed.lines()))


def run_case(case_id, arch, work_dir, windows_dir, quelm_sim):
    case, version = cases.find_case(case_id)
    check_build(windows_dir)
    if not Path(quelm_sim).is_file():
        raise CaseFailure(f"quelm-sim not found at {quelm_sim}")
    session = WineSession(work_dir / "session", arch)
    case_dir = work_dir / "cases" / case_id
    case_dir.mkdir(parents=True, exist_ok=True)
    (case_dir.parent / "reset.reg").write_text(cases.reset_registry_file(cases.CASES))
    registry_file = case_dir / "machine.reg"
    registry_file.write_text(case.machine.registry_file())
    disk = build_disk(case, case_dir, windows_dir)

    version_record = read_version_record(session, windows_dir, version)
    predicted, os_name = predict_with_quelm_sim(case, version_record, quelm_sim, disk, registry_file)
    if os_name != cases.EXPECTED_OS_NAME[version]:
        raise CaseFailure(f"Wine's {version} reports {version_record!r}, which the launcher takes for "
                          f"{os_name!r}, not {cases.EXPECTED_OS_NAME[version]!r} as this case expects")
    observed, timings = run_under_wine(case, session, case_dir, windows_dir, disk, registry_file)
    collect_shell_opens(observed, case_dir / "shell.log", len(predicted.shell_opens))

    print(f"{case_id}: {case.purpose}")
    print(f"Wine {version} reports {version_record!r} ({os_name}); "
          + ", ".join(f"{name} {value}" for name, value in timings.items()))
    print("\n".join(f"  {line}" for line in observed.lines()))
    compare(predicted, observed)
    return timings


def set_up(arch, work_dir, windows_dir):
    """Creates the shared Wine machine and warms it up: the first window a fresh prefix shows costs
    seconds (fonts, desktop), which should not count against the first case."""
    check_build(windows_dir)
    session = WineSession(work_dir / "session", arch)
    seconds = session.set_up()
    print(f"Wine prefix and display ready in {seconds:.1f} s")
    warm_up = work_dir / "cases" / "warm-up"
    warm_up.mkdir(parents=True, exist_ok=True)
    disk = build_disk(cases.Case("warm-up", "", ("win98",), None), warm_up, windows_dir)
    session.map_drive("D", disk)
    log = warm_up / "driver.log"
    status, output = session.run([str(windows_dir / "e2e-driver.exe"), windows_path(log),
                                  str(LAUNCHER_TIMEOUT_MS * 3), "D:\\", "D:\\QUELM.EXE"],
                                 timeout=LAUNCHER_TIMEOUT_MS * 3 / 1000 + 30, log_name="warm-up")
    lines = log.read_text("latin-1").splitlines() if log.exists() else []
    if status != 0 or not any(line.startswith("exit 0") for line in lines):
        raise CaseFailure(f"QUELM.EXE did not run under Wine (driver status {status}):\n"
                          + "\n".join(lines) + output)
    print("first run of QUELM.EXE in the new prefix: " + "; ".join(lines[1:]))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=["setup", "cleanup", "list", "run"])
    parser.add_argument("case", nargs="?")
    parser.add_argument("--arch", choices=wine_arch.ARCHES)
    parser.add_argument("--work-dir", type=Path)
    parser.add_argument("--windows-dir", type=Path, help="build tree holding QUELM.EXE and the test programs")
    parser.add_argument("--quelm-sim", type=Path)
    options = parser.parse_args()
    if options.command == "list":
        print("\n".join(cases.all_case_ids()))
        return 0
    wine_arch.skip_unless_selected(options.arch)
    try:
        if options.command == "setup":
            set_up(options.arch, options.work_dir.resolve(), options.windows_dir.resolve())
        elif options.command == "cleanup":
            WineSession(options.work_dir / "session", options.arch).clean_up()
        else:
            run_case(options.case, options.arch, options.work_dir.resolve(), options.windows_dir.resolve(),
                     options.quelm_sim)
    except (CaseFailure, WineError, KeyError) as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
