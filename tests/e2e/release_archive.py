#!/usr/bin/env python3
"""Checks the release archive: quelm-VERSION-win32.zip holds, in one folder of that name, the shipped
QUELM.EXE, the example disk and the disk authors' guide, each as built or written, and nothing else
(no test program, no stand-in installer).

release_archive.py VERSION WIN32_BUILD_DIR SOURCE_DIR
"""
import sys
import zipfile
from pathlib import Path


def expected_files(version, build_dir, source_dir):
    """{name in the archive: the file it must equal}."""
    top = f"quelm-{version}-win32/"
    files = {top + "QUELM.EXE": build_dir / "QUELM.EXE", top + "disk-authoring.md": source_dir / "docs/disk-authoring.md"}
    disk = source_dir / "examples/disk"
    for path in sorted(disk.rglob("*")):
        if path.is_file():
            files[top + "example-disk/" + path.relative_to(disk).as_posix()] = path
    return files


def faults_of(archive, files):
    if not archive.is_file():
        return [f"{archive} is missing; build it with: cmake --build --preset win32 --target package"]
    with zipfile.ZipFile(archive) as contents:
        names = {name for name in contents.namelist() if not name.endswith("/")}
        faults = [f"missing from the archive: {name}" for name in sorted(set(files) - names)]
        faults += [f"not meant to be in the archive: {name}" for name in sorted(names - set(files))]
        faults += [f"{name} differs from {files[name]}" for name in sorted(names & set(files))
                   if contents.read(name) != files[name].read_bytes()]
    return faults


def main(arguments):
    if len(arguments) != 3:
        print(__doc__.strip())
        return 2
    version, build_dir, source_dir = arguments[0], Path(arguments[1]), Path(arguments[2])
    archive = build_dir / f"quelm-{version}-win32.zip"
    faults = faults_of(archive, expected_files(version, build_dir, source_dir))
    for fault in faults:
        print(f"FAIL: {fault}")
    if not faults:
        print(f"OK: {archive.name} holds {len(expected_files(version, build_dir, source_dir))} files as built")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
