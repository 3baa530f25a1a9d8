#!/usr/bin/env python3
"""Checks the releases scripts/release.sh puts in dist/, that building them again elsewhere gives the
same bytes, and what `cmake --install` installs.

    release_check.py contents DIST VERSION SOURCE_DIR       each archive holds what it should, in
                                                            canonical form, and SHA256SUMS is right
    release_check.py reproducible DIST SOURCE_DIR           builds the releases again in other folders
                                                            and compares them byte for byte with DIST
    release_check.py install BUILD_DIR VERSION SOURCE_DIR   installs BUILD_DIR into a fresh prefix
    release_check.py --self-test DIST VERSION SOURCE_DIR    each fault planted in a copy is found

Exit status 1 and one line per fault; 77 (skipped) when DIST holds no release.
"""
import hashlib
import io
import os
import re
import shutil
import struct
import subprocess
import sys
import tarfile
import tempfile
import zipfile
from pathlib import Path

import pe_check

MACHINE_I386, MACHINE_AMD64 = 0x14C, 0x8664
SUBSYSTEM_GUI, SUBSYSTEM_CONSOLE = 2, 3
# What every Windows quelm-sim.exe runs on has; a C++ runtime DLL would have to travel with it.
SYSTEM_DLLS = {"KERNEL32.DLL", "MSVCRT.DLL", "ADVAPI32.DLL", "USER32.DLL", "SHELL32.DLL", "SETUPAPI.DLL"}
STAND_IN = "stand-in-installer-not-a-driver/"


def archive_names(version):
    return {"kit": f"quelm-{version}-win32.zip", "tool-zip": f"quelm-sim-{version}-windows-x64.zip",
            "tarball": f"quelm-sim-{version}-linux-x86_64.tar.gz", "deb": f"quelm-sim_{version}_amd64.deb"}


# --- Reading the archives: [(name, bytes or None for a folder, mode, owner)] in stored order ----------

def zip_entries(data):
    with zipfile.ZipFile(io.BytesIO(data)) as archive:
        return [(info.filename.rstrip("/"), None if info.is_dir() else archive.read(info),
                 (info.external_attr >> 16) & 0o7777, None) for info in archive.infolist()]


def tar_entries(data):
    with tarfile.open(fileobj=io.BytesIO(data), mode="r:*") as archive:
        return [(member.name.lstrip("./").rstrip("/"), archive.extractfile(member).read() if member.isfile() else None,
                 member.mode, (member.uid, member.gid)) for member in archive if member.name not in (".", "./")]


def ar_members(data):
    """{name: bytes} of a Unix ar archive, as a .deb is."""
    if not data.startswith(b"!<arch>\n"):
        raise ValueError("not an ar archive")
    members, offset = {}, 8
    while offset + 60 <= len(data):
        header = data[offset:offset + 60]
        name, size = header[:16].decode().strip().rstrip("/"), int(header[48:58])
        members[name] = data[offset + 60:offset + 60 + size]
        offset += 60 + size + (size & 1)
    return members


def deb_parts(data):
    """(control fields, data entries) of a .deb."""
    members = ar_members(data)
    control_tar = next(value for name, value in members.items() if name.startswith("control.tar"))
    data_tar = next(value for name, value in members.items() if name.startswith("data.tar"))
    text = next(entry[1] for entry in tar_entries(control_tar) if entry[0] == "control").decode()
    return dict(re.findall(r"^([\w-]+): (.*)$", text, re.M)), tar_entries(data_tar)


# --- What each archive must hold -------------------------------------------------------------------

def crlf(data):
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def folder_files(folder, inside):
    return {inside + path.relative_to(folder).as_posix(): path.read_bytes()
            for path in sorted(folder.rglob("*")) if path.is_file()}


def expected_texts(source):
    """{archive: {name: bytes}} for everything but the programs, which are checked by kind."""
    guide, licence = (source / "docs/disk-authoring.md").read_bytes(), (source / "LICENSE").read_bytes()
    images = source / "docs/images"
    windows = {"README.TXT": crlf(guide), "LICENSE.TXT": crlf(licence), **folder_files(images, "images/")}
    kit = {**windows, **folder_files(source / "examples/disk", "example-disk/"),
           STAND_IN + "STAND-IN.TXT": crlf((source / "tools/vadrun/STAND-IN.TXT").read_bytes())}
    docs = {"disk-authoring.md": guide, "LICENSE": licence, **folder_files(images, "images/")}
    linux = {"share/doc/quelm/" + name: data for name, data in docs.items()}
    return {"kit": kit, "tool-zip": windows, "tarball": linux, "deb": {"usr/" + name: data for name, data in linux.items()}}


def program_names():
    return {"kit": {"QUELM.EXE": "launcher", STAND_IN + "vadrun.exe": "stand-in"}, "tool-zip": {"quelm-sim.exe": "tool"},
            "tarball": {"bin/quelm-sim": "linux"}, "deb": {"usr/bin/quelm-sim": "linux"}}


def pe_faults(name, data, kind, version):
    """The image is the program it should be: processor, subsystem, no time stamp, and for quelm-sim.exe
    no DLL beyond the system's and the version in its version record."""
    if data[:2] != b"MZ":
        return [f"{name} is not a Windows program"]
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    machine, _, stamp = struct.unpack_from("<HHI", data, pe + 4)
    optional = pe + 24
    subsystem = struct.unpack_from("<H", data, optional + 68)[0]
    wanted_machine, wanted_subsystem = (MACHINE_AMD64, SUBSYSTEM_CONSOLE) if kind == "tool" else (MACHINE_I386, SUBSYSTEM_GUI)
    faults = []
    if machine != wanted_machine:
        faults.append(f"{name} is built for machine 0x{machine:X}, not 0x{wanted_machine:X}")
    if subsystem != wanted_subsystem:
        faults.append(f"{name} has subsystem {subsystem}, not {wanted_subsystem}")
    if stamp != 0:
        faults.append(f"{name} carries the time stamp {stamp}: two builds would differ")
    if kind == "tool":
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (112 if magic == 0x20B else 96)
        descriptor = pe_check.file_offset(data, struct.unpack_from("<I", data, directories + 8)[0])
        while struct.unpack_from("<I", data, descriptor + 12)[0]:
            library = pe_check.c_string(data, pe_check.file_offset(data, struct.unpack_from("<I", data, descriptor + 12)[0]))
            if library.upper() not in SYSTEM_DLLS:
                faults.append(f"{name} needs {library}, which is not part of Windows")
            descriptor += 20
        record = "FileVersion".encode("utf-16-le")
        at = data.find(record)
        if at < 0 or (version.encode("utf-16-le") + b"\0\0") not in data[at:at + 64]:
            faults.append(f"{name} has no version record saying {version}")
    return faults


def linux_faults(name, data, mode, version):
    if data[:4] != b"\x7fELF" or data[4] != 2 or struct.unpack_from("<H", data, 18)[0] != 0x3E:
        return [f"{name} is not an x86-64 Linux program"]
    if mode & 0o111 == 0:
        return [f"{name} is not executable (mode {mode:o})"]
    with tempfile.TemporaryDirectory() as folder:
        program = Path(folder) / "quelm-sim"
        program.write_bytes(data)
        program.chmod(0o755)
        said = subprocess.run([str(program), "--version"], capture_output=True, check=False).stdout
    return [] if said == f"quelm-sim {version}\n".encode() else [f"{name} --version says {said!r}"]


def archive_faults(label, file_name, entries, texts, version):
    faults = []
    top = "" if label == "deb" else file_name.rsplit(".zip", 1)[0].rsplit(".tar.gz", 1)[0] + "/"
    names = [entry[0] for entry in entries]
    if names != sorted(names):
        faults.append(f"{file_name}: entries are not in name order, so their order depends on the file system")
    owners = {entry[3] for entry in entries if entry[3] is not None}
    if owners - {(0, 0)}:
        faults.append(f"{file_name}: entries owned by {sorted(owners)}, not by root: they depend on the builder")
    files = {entry[0]: entry for entry in entries if entry[1] is not None}
    programs = {top + name: kind for name, kind in program_names()[label].items()}
    wanted = {top + name: data for name, data in texts.items()}
    faults += [f"{file_name}: {name} is missing" for name in sorted((set(wanted) | set(programs)) - set(files))]
    faults += [f"{file_name}: {name} is not meant to be there" for name in sorted(set(files) - set(wanted) - set(programs))]
    for name in sorted(set(wanted) & set(files)):
        if files[name][1] != wanted[name]:
            only_line_ends = crlf(files[name][1]) == wanted[name]
            faults.append(f"{file_name}: {name} differs from its source"
                          + (" (line ends without CR)" if only_line_ends else ""))
    for name in sorted(set(programs) & set(files)):
        _, data, mode, _ = files[name]
        kind = programs[name]
        faults += linux_faults(name, data, mode, version) if kind == "linux" else pe_faults(name, data, kind, version)
    return faults


def contents_faults(dist, version, source):
    names = archive_names(version)
    missing = [name for name in [*names.values(), "SHA256SUMS"] if not (dist / name).is_file()]
    if missing:
        return [f"{dist} lacks {', '.join(missing)}; make it with scripts/release.sh"]
    faults, texts = [], expected_texts(source)
    for label, file_name in names.items():
        data = (dist / file_name).read_bytes()
        if label == "deb":
            control, entries = deb_parts(data)
            for field, value in (("Package", "quelm-sim"), ("Version", version), ("Architecture", "amd64")):
                if control.get(field) != value:
                    faults.append(f"{file_name}: control field {field} is {control.get(field)!r}, not {value!r}")
        else:
            entries = zip_entries(data) if file_name.endswith(".zip") else tar_entries(data)
        faults += archive_faults(label, file_name, entries, texts[label], version)
    tarball = {entry[0]: entry[1] for entry in tar_entries((dist / names["tarball"]).read_bytes())}
    deb = {entry[0]: entry[1] for entry in deb_parts((dist / names["deb"]).read_bytes())[1]}
    if tarball.get(f"quelm-sim-{version}-linux-x86_64/bin/quelm-sim") != deb.get("usr/bin/quelm-sim"):
        faults.append("the .tar.gz and the .deb hold different quelm-sim programs")
    sums = {line.split("  ", 1)[1]: line.split("  ", 1)[0]
            for line in (dist / "SHA256SUMS").read_text().splitlines() if "  " in line}
    if set(sums) != set(names.values()):
        faults.append(f"SHA256SUMS names {sorted(sums)}, not the four archives")
    faults += [f"SHA256SUMS: {name} does not match" for name in sorted(set(sums) & set(names.values()))
               if hashlib.sha256((dist / name).read_bytes()).hexdigest() != sums[name]]
    return faults


# --- Reproducibility -------------------------------------------------------------------------------

def differing_entries(first, second, name):
    """Which entries of two versions of an archive differ, for the failure message."""
    read = zip_entries if name.endswith(".zip") else tar_entries if name.endswith(".tar.gz") else None
    if read is None:
        first_members, second_members = ar_members(first), ar_members(second)
        return [member for member in sorted(set(first_members) | set(second_members))
                if first_members.get(member) != second_members.get(member)]
    first_entries, second_entries = read(first), read(second)
    if [entry[0] for entry in first_entries] != [entry[0] for entry in second_entries]:
        return ["(the entries themselves or their order)"]
    return [a[0] for a, b in zip(first_entries, second_entries) if a != b] or ["(archive metadata only)"]


def reproducible_faults(dist, source):
    files = sorted(path.name for path in dist.iterdir() if path.is_file()) if dist.is_dir() else []
    if "SHA256SUMS" not in files:
        return [f"{dist} holds no release; make it with scripts/release.sh"]
    with tempfile.TemporaryDirectory(prefix="quelm-release-again-") as folder:
        again, work = Path(folder) / "dist", Path(folder) / "work"
        result = subprocess.run([str(source / "scripts/release.sh"), "--out", str(again), "--work", str(work)],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, check=False)
        if result.returncode != 0:
            return [f"scripts/release.sh failed the second time:\n{result.stdout[-3000:]}"]
        print(f"built again in {work}, {dist} built before elsewhere")
        faults = []
        for name in sorted(set(files) | {path.name for path in again.iterdir()}):
            first, second = dist / name, again / name
            if not first.is_file() or not second.is_file():
                faults.append(f"{name} exists in only one of the two builds")
            elif first.read_bytes() != second.read_bytes():
                faults.append(f"{name} differs between the two builds: "
                              + ", ".join(differing_entries(first.read_bytes(), second.read_bytes(), name)))
    if faults:
        faults.append("(both must come from the same commit: after a commit, run scripts/release.sh again)")
    return faults


# --- cmake --install -------------------------------------------------------------------------------

def install_faults(build_dir, version, source):
    with tempfile.TemporaryDirectory() as prefix:
        result = subprocess.run(["cmake", "--install", str(build_dir), "--prefix", prefix], capture_output=True,
                                text=True, check=False)
        if result.returncode != 0:
            return [f"cmake --install failed: {result.stderr.strip()}"]
        root = Path(prefix)
        installed = {path.relative_to(root).as_posix(): path for path in root.rglob("*") if path.is_file()}
        texts = expected_texts(source)["tarball"]
        faults = [f"{name} is not installed" for name in sorted({*texts, "bin/quelm-sim"} - set(installed))]
        faults += [f"{name} is installed but not meant to be" for name in sorted(set(installed) - {*texts, "bin/quelm-sim"})]
        faults += [f"{name} differs from its source" for name in sorted(set(texts) & set(installed))
                   if installed[name].read_bytes() != texts[name]]
        if "bin/quelm-sim" in installed:
            program = installed["bin/quelm-sim"]
            faults += linux_faults("bin/quelm-sim", program.read_bytes(), program.stat().st_mode, version)
        return faults


# --- Self-test -------------------------------------------------------------------------------------

def rezipped(data, change):
    """A copy of a zip with change(name, bytes) -> bytes or None (left out) applied to each entry."""
    out = io.BytesIO()
    with zipfile.ZipFile(io.BytesIO(data)) as old, zipfile.ZipFile(out, "w") as new:
        for info in old.infolist():
            content = change(info.filename, old.read(info))
            if content is not None:
                new.writestr(info, content)
    return out.getvalue()


def self_test(dist, version, source):
    names = archive_names(version)
    plants = [
        ("the guide with Unix line ends", "kit",
         lambda data: rezipped(data, lambda name, body: body.replace(b"\r\n", b"\n") if name.endswith("README.TXT") else body),
         "README.TXT differs from its source (line ends without CR)"),
        ("a test program in the kit", "kit",
         lambda data: _with_extra(data, "e2e-driver.exe"),
         "e2e-driver.exe is not meant to be there"),
        ("a C++ runtime DLL", "tool-zip",
         lambda data: rezipped(data, lambda name, body: body.replace(b"msvcrt.dll", b"libgcc.dll")
                               if name.endswith(".exe") else body), "needs libgcc.dll"),
        ("a time stamp", "tool-zip",
         lambda data: rezipped(data, lambda name, body: _stamped(body) if name.endswith(".exe") else body),
         "carries the time stamp"),
        ("the builder as owner", "tarball", lambda data: _retarred(data, owner=1000), "not by root"),
        ("file-system order", "tarball", lambda data: _retarred(data, reverse=True), "not in name order"),
    ]
    checksum = ("a wrong checksum", "SHA256SUMS", lambda data: data.replace(b"0", b"1", 1), "does not match")
    with tempfile.TemporaryDirectory() as folder:
        # One planted copy of the release each, checked as the release itself is.
        copies = []
        for index, (what, label, plant, expected) in enumerate([*plants, checksum]):
            copy = Path(folder) / str(index)
            shutil.copytree(dist, copy)
            file_name = names.get(label, label)
            (copy / file_name).write_bytes(plant((copy / file_name).read_bytes()))
            copies.append((what, copy, expected))
        failures = pe_check.missed_plants(copies, lambda copy: contents_faults(copy, version, source))
    unplanted = contents_faults(dist, version, source)
    if unplanted:
        failures.append(f"the release itself fails: {unplanted!r}")
    return failures


def _with_extra(data, name):
    out = io.BytesIO(data)
    with zipfile.ZipFile(out, "a") as archive:
        top = archive.namelist()[0].split("/")[0]
        archive.writestr(f"{top}/{name}", b"MZ")
    return out.getvalue()


def _stamped(image):
    copy = bytearray(image)
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    struct.pack_into("<I", copy, pe + 8, 0x5F000000)
    return bytes(copy)


def _retarred(data, owner=0, reverse=False):
    members = []
    with tarfile.open(fileobj=io.BytesIO(data), mode="r:gz") as old:
        for member in old:
            members.append((member, old.extractfile(member).read() if member.isfile() else None))
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w:gz") as new:
        for member, body in (reversed(members) if reverse else members):
            member.uid = member.gid = owner
            new.addfile(member, io.BytesIO(body) if body is not None else None)
    return out.getvalue()


SKIPPED = 77


def main(arguments):
    command = arguments[:1]
    if command in (["contents"], ["reproducible"]) and len(arguments) > 1 and not (Path(arguments[1]) / "SHA256SUMS").is_file():
        # scripts/run-tests.sh makes a release on every full run; a run of some tests alone may have none.
        print(f"SKIPPED: no release in {arguments[1]}; scripts/release.sh makes one")
        return SKIPPED
    if command == ["contents"] and len(arguments) == 4:
        faults = contents_faults(Path(arguments[1]), arguments[2], Path(arguments[3]))
    elif command == ["reproducible"] and len(arguments) == 3:
        faults = reproducible_faults(Path(arguments[1]).resolve(), Path(arguments[2]).resolve())
    elif command == ["install"] and len(arguments) == 4:
        faults = install_faults(Path(arguments[1]), arguments[2], Path(arguments[3]))
    elif command == ["--self-test"] and len(arguments) == 4:
        faults = self_test(Path(arguments[1]), arguments[2], Path(arguments[3]))
    else:
        print(__doc__.strip())
        return 2
    for fault in faults:
        print(f"FAIL: {fault}")
    if not faults:
        print(f"OK: {command[0]}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
