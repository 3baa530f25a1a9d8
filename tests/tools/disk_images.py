#!/usr/bin/env python3
"""Masters disks as authors burn them, with genisoimage, xorriso and mtools, and checks what
`quelm-sim run IMAGE --all-os` makes of each image: the example disk runs on every release as its
folder does, and a disk with long names (or a name in small letters) shows its files missing exactly on
the releases that cannot find them on that kind of image. `quelm-sim lint IMAGE` gives each good image
the folder's findings and catches each bad one with its checks; and the guide's own burning command
makes the same bytes twice, an image that runs and lints as its folder.

    disk_images.py QUELM-SIM PROJECT-DIR WORK-DIR
"""
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

TOOLS = {"genisoimage": "genisoimage", "xorriso": "xorriso", "mformat": "mtools", "mcopy": "mtools"}
NT3 = {"nt31", "nt35", "nt351"}
ALL_BUT_WIN32S = {"95", "95-osr1", "95-osr2", "95-osr21", "95-osr25", "98", "98se", "me", "nt31", "nt35",
                  "nt351", "nt4", "2000", "xp", "vista", "7", "8", "10", "11"}


def iso(*options):
    """A mastering step: genisoimage or xorriso's mkisofs emulation with these options."""
    def master(disk, image):
        return [*options, "-quiet", "-o", str(image), str(disk)]
    return master


def floppy(disk, image):
    """A 1.44 MB FAT12 floppy, made and filled by mtools (long names become VFAT entries)."""
    return [["mformat", "-C", "-f", "1440", "-v", "QUELM", "-i", str(image), "::"],
            ["mcopy", "-s", "-i", str(image), *sorted(str(path) for path in disk.iterdir()), "::"]]


GENISOIMAGE = iso("genisoimage")
GENISOIMAGE_JOLIET = iso("genisoimage", "-J")
GENISOIMAGE_ROCK_RIDGE = iso("genisoimage", "-R")
GENISOIMAGE_LOWER_CASE = iso("genisoimage", "-allow-lowercase")
XORRISO_JOLIET = iso("xorriso", "-as", "mkisofs", "-J")  # Rock Ridge too, as xorriso writes it by default
XORRISO = iso("xorriso", "-as", "mkisofs")

# name, disk folder (from the project), image name, mastering, and the releases whose row marks a
# file missing; None: the rows are those of the folder, byte for byte.
CASES = [
    ("example, genisoimage", "examples/disk", "plain.iso", GENISOIMAGE, None),
    ("example, genisoimage -J", "examples/disk", "joliet.iso", GENISOIMAGE_JOLIET, None),
    ("example, genisoimage -R", "examples/disk", "rock-ridge.iso", GENISOIMAGE_ROCK_RIDGE, None),
    ("example, xorriso -J", "examples/disk", "xorriso-joliet.iso", XORRISO_JOLIET, None),
    ("example, xorriso", "examples/disk", "xorriso.iso", XORRISO, None),
    ("example, mtools .img", "examples/disk", "floppy.img", floppy, None),
    ("example, mtools .ima", "examples/disk", "floppy.ima", floppy, None),
    ("long names, genisoimage", "tests/data/disks/long-names", "long-plain.iso", GENISOIMAGE, ALL_BUT_WIN32S),
    ("long names, genisoimage -R", "tests/data/disks/long-names", "long-rock-ridge.iso", GENISOIMAGE_ROCK_RIDGE,
     ALL_BUT_WIN32S),
    ("long names, xorriso", "tests/data/disks/long-names", "long-xorriso.iso", XORRISO, ALL_BUT_WIN32S),
    ("long names, genisoimage -J", "tests/data/disks/long-names", "long-joliet.iso", GENISOIMAGE_JOLIET, NT3),
    ("long names, xorriso -J", "tests/data/disks/long-names", "long-xorriso-joliet.iso", XORRISO_JOLIET, NT3),
    ("long names, mtools", "tests/data/disks/long-names", "long.img", floppy, {"nt31"}),
    ("small letters, genisoimage -allow-lowercase", "tests/data/disks/lower-case", "lower.iso",
     GENISOIMAGE_LOWER_CASE, NT3 | {"nt4", "2000"}),
]

# The image checks lint must report on each bad image (with the folder's own checks beside them), by
# image name: a long name mastered without Joliet, with Rock Ridge alone, with Joliet (which NT 3.x
# does not read), on a floppy (8.3 names alone on NT 3.1), a name in small letters.
LINT_CATCHES = {
    "long-plain.iso": {"missing-file"},
    "long-rock-ridge.iso": {"missing-file", "rock-ridge-only-name"},
    "long-xorriso.iso": {"missing-file", "rock-ridge-only-name"},
    "long-joliet.iso": {"name-not-on-release"},
    "long-xorriso-joliet.iso": {"name-not-on-release"},
    "long.img": {"name-not-on-release"},
    "lower.iso": {"name-not-on-release", "lower-case-iso-name"},
}
IMAGE_CHECKS = {"image-lacks-ini", "name-not-on-release", "joliet-name-cut", "lower-case-iso-name",
                "path-too-deep", "rock-ridge-only-name", "names-fold-together"}

# The example disk's machine, as the recorded --all-os runs take it.
RUN = ["--all-os", "--pci", "01:00.0=1A2B:3C4D", "--answer", "CANCEL", "--installer", "present"]


def run(command, statuses=(0,)):
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode not in statuses:
        raise SystemExit(f"{' '.join(command)}: status {done.returncode}\n{done.stderr}")
    return done.stdout


def lint(quelm_sim, disk):
    """lint's findings of a disk as (file, line, column, check, message), each file without the disk's
    own path, so that a folder's and an image's compare; and its status."""
    done = subprocess.run([quelm_sim, "lint", str(disk), "--installer", "present", "--json"],
                          capture_output=True, text=True)
    if done.returncode not in (0, 1):
        raise SystemExit(f"lint {disk}: status {done.returncode}\n{done.stderr}")
    findings = []
    for line in done.stdout.splitlines():
        finding = json.loads(line)
        name = re.split(r"[:/\\]", finding["file"])[-1]
        findings.append((name, finding["line"], finding["column"], finding["check"], finding["message"]))
    return findings, done.returncode


def guide_command(project):
    """The burning command of the guide, as its one `xorriso -as mkisofs` line gives it."""
    guide = (project / "docs/disk-authoring.md").read_text(encoding="utf-8")
    lines = [line for line in guide.splitlines() if line.startswith("xorriso -as mkisofs ")]
    if len(lines) != 1:
        raise SystemExit(f"docs/disk-authoring.md: expected one xorriso -as mkisofs line, found {len(lines)}")
    command = shlex.split(lines[0].split("  #")[0])
    if command[-3] != "-o":
        raise SystemExit(f"the guide's command must end in -o IMAGE FOLDER: {lines[0]}")
    return command


def check_lint_command(quelm_sim, project, work):
    """lint's answers about an image as a whole: the path it prints in text and JSON alike, --fix
    refused, an image without QUELM.INI, one that is no image."""
    failures = []
    image = work / "long-joliet.iso"
    text = run([quelm_sim, "lint", str(image)], statuses=(1,))
    paths = {json.loads(line)["file"] for line in run([quelm_sim, "lint", str(image), "--json"], (1,)).splitlines()}
    if paths != {f"{image}:QUELM.INI"} or not text.startswith(f"{image}:QUELM.INI:"):
        failures.append(f"lint names the image's QUELM.INI otherwise in text and JSON: {paths}\n{text}")
    empty = work / "no-ini"
    empty.mkdir()
    (empty / "README.TXT").write_text("hello\n")
    run(["genisoimage", "-quiet", "-J", "-o", str(work / "no-ini.iso"), str(empty)])
    (work / "broken.iso").write_bytes(b"\0" * 40000)
    for name, arguments, says in (
            ("--fix on an image", [str(image), "--fix"], "does not edit the image"),
            ("an image without QUELM.INI", [str(work / "no-ini.iso")], "no Windows release finds QUELM.INI"),
            ("no image at all", [str(work / "broken.iso")], "broken.iso: ")):
        done = subprocess.run([quelm_sim, "lint", *arguments], capture_output=True, text=True)
        if done.returncode != 2 or says not in done.stderr or done.stdout:
            failures.append(f"lint {name}: status {done.returncode}, stderr {done.stderr!r}, stdout {done.stdout!r}")
    print(f"{'FAIL' if failures else 'ok  '} lint's answers about an image as a whole")
    return failures


def check_guide_command(quelm_sim, project, work, machine):
    """The guide's command on two copies of the example disk with other file times: the same bytes,
    the folder's rows on every release, and the folder's (clean) lint."""
    failures = []
    command = guide_command(project)
    images = []
    for copy, stamp in (("first", 1000000000), ("second", 1700000000)):
        folder = work / "burn" / copy / "disk"
        shutil.copytree(project / "examples/disk", folder)
        for path in [folder, *folder.rglob("*")]:
            os.utime(path, (stamp, stamp))
        image = work / "burn" / copy / "driver.iso"
        run([*command[:-2], str(image), str(folder)])
        images.append(image)
    if images[0].read_bytes() != images[1].read_bytes():
        failures.append("the guide's command gave two images that differ")
    folder = project / "examples/disk"
    for json_option in ([], ["--json"]):
        if run([quelm_sim, "run", str(images[0]), *RUN, *machine, *json_option]) != run(
                [quelm_sim, "run", str(folder), *RUN, *machine, *json_option]):
            failures.append(f"the guide's image runs otherwise than its folder{' (--json)' if json_option else ''}")
    on_image, status = lint(quelm_sim, images[0])
    if (on_image, status) != lint(quelm_sim, folder) or status != 0:
        failures.append(f"the guide's image does not lint clean as its folder: {on_image}")
    print(f"{'FAIL' if failures else 'ok  '} the guide's command: {shlex.join(command)}")
    return failures


def missing_on(rows):
    """The releases whose row marks something missing."""
    return {line.split()[0] for line in rows.splitlines()[1:] if "missing" in line}


def main():
    quelm_sim, project, work = sys.argv[1], Path(sys.argv[2]), Path(sys.argv[3])
    absent = sorted({package for tool, package in TOOLS.items() if shutil.which(tool) is None})
    if absent:
        raise SystemExit("missing Debian packages " + " ".join(absent) + ": scripts/setup.sh installs them")
    for tool in ("genisoimage", "xorriso", "mtools"):
        print(run([tool, "-version" if tool != "mtools" else "--version"]).splitlines()[0])
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    machine = ["--registry", str(project / "examples/machine/win98-card.reg")]
    failures = []
    for name, disk, image_name, master, expected in CASES:
        failed_before = len(failures)
        folder, image = project / disk, work / image_name
        steps = master(folder, image)
        for step in steps if isinstance(steps[0], list) else [steps]:
            run(step)
        for json in ([], ["--json"]):
            on_folder = run([quelm_sim, "run", str(folder), *RUN, *machine, *json])
            on_image = run([quelm_sim, "run", str(image), *RUN, *machine, *json])
            if expected is None and on_image != on_folder:
                failures.append(f"{name}{' --json' if json else ''}: the image's rows differ from the folder's\n"
                                f"--- folder\n{on_folder}--- image\n{on_image}")
        if expected is not None:
            rows = run([quelm_sim, "run", str(image), *RUN, *machine])
            if missing_on(rows) != expected:
                failures.append(f"{name}: missing on {sorted(missing_on(rows))}, expected {sorted(expected)}\n{rows}")
            if missing_on(run([quelm_sim, "run", str(folder), *RUN, *machine])):
                failures.append(f"{name}: the folder itself has a file missing")
        on_image, _ = lint(quelm_sim, image)
        on_folder, _ = lint(quelm_sim, folder)
        image_checks = {finding[3] for finding in on_image} - {finding[3] for finding in on_folder}
        catches = LINT_CATCHES.get(image_name, set())
        if image_checks != catches:
            failures.append(f"{name}: lint's checks of the image beyond the folder's are {sorted(image_checks)}, "
                            f"expected {sorted(catches)}\n{on_image}")
        if not catches and on_image != on_folder:
            failures.append(f"{name}: lint gives the image other findings than its folder\n"
                            f"--- folder\n{on_folder}\n--- image\n{on_image}")
        print(f"{'FAIL' if len(failures) > failed_before else 'ok  '} {name}")
    failures += check_guide_command(quelm_sim, project, work, machine)
    failures += check_lint_command(quelm_sim, project, work)
    if failures:
        print("\n".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
