#!/usr/bin/env python3
"""Masters disks as authors burn them, with genisoimage, xorriso and mtools, and checks what
`quelm-sim run IMAGE --all-os` makes of each image: the example disk runs on every release as its
folder does, and a disk with long names (or a name in small letters) shows its files missing exactly on
the releases that cannot find them on that kind of image.

    disk_images.py QUELM-SIM PROJECT-DIR WORK-DIR
"""
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

# The example disk's machine, as the recorded --all-os runs take it.
RUN = ["--all-os", "--pci", "01:00.0=1A2B:3C4D", "--answer", "CANCEL", "--installer", "present"]


def run(command):
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"{' '.join(command)}: status {done.returncode}\n{done.stderr}")
    return done.stdout


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
        print(f"{'FAIL' if len(failures) > failed_before else 'ok  '} {name}")
    if failures:
        print("\n".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
