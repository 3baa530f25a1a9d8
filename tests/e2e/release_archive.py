#!/usr/bin/env python3
"""Checks the disk kit: quelm-VERSION-win32.zip holds, in one folder of that name, the shipped
QUELM.EXE, the example disk, the disk authors' guide as README.TXT and the licence as LICENSE.TXT (both
with CR LF line ends, as every Notepad shows them), the guide's pictures, and the stand-in installer
program with its note in a folder that says what it is; each as built or written, and nothing else
(no test program).

release_archive.py VERSION WIN32_BUILD_DIR SOURCE_DIR
"""
import sys
import zipfile
from pathlib import Path

from release_check import STAND_IN, expected_texts


def expected_files(version, build_dir, source_dir):
    """{name in the archive: the bytes it must hold}: the texts as every release has them, and the
    programs as this build made them."""
    top = f"quelm-{version}-win32/"
    files = {top + name: data for name, data in expected_texts(source_dir)["kit"].items()}
    files[top + "QUELM.EXE"] = (build_dir / "QUELM.EXE").read_bytes()
    files[top + STAND_IN + "vadrun.exe"] = (build_dir / "vadrun.exe").read_bytes()
    return files


def faults_of(archive, files):
    if not archive.is_file():
        return [f"{archive} is missing; build it with: cmake --build --preset win32 --target package"]
    with zipfile.ZipFile(archive) as contents:
        names = {name for name in contents.namelist() if not name.endswith("/")}
        faults = [f"missing from the archive: {name}" for name in sorted(set(files) - names)]
        faults += [f"not meant to be in the archive: {name}" for name in sorted(names - set(files))]
        faults += [f"{name} differs from what was built or written" for name in sorted(names & set(files))
                   if contents.read(name) != files[name]]
        # A text with a line feed that no carriage return precedes shows as one line in old Notepad.
        faults += [f"{name} has a line end without CR" for name in sorted(names) if name.endswith(".TXT")
                   and contents.read(name).replace(b"\r\n", b"").count(b"\n")]
    return faults


def main(arguments):
    if len(arguments) != 3:
        print(__doc__.strip())
        return 2
    version, build_dir, source_dir = arguments[0], Path(arguments[1]), Path(arguments[2])
    archive = build_dir / f"quelm-{version}-win32.zip"
    try:
        files = expected_files(version, build_dir, source_dir)
    except OSError as error:
        print(f"FAIL: {error.filename} cannot be read; build it with: cmake --build --preset win32")
        return 1
    faults = faults_of(archive, files)
    for fault in faults:
        print(f"FAIL: {fault}")
    if not faults:
        print(f"OK: {archive.name} holds {len(files)} files as built")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
