#!/usr/bin/env python3
"""Checks that QUELM.EXE is an image Windows 95 loads: PE32 for i386, GUI subsystem, operating-system
and subsystem versions 4.0, structured exception handlers allowed, and imports only by name, only
from the allowed libraries, only functions in the allowlist (no C runtime, nothing newer); and that
it stays a launcher of a few kilobytes (under 16 KiB).

pe_check.py IMAGE ALLOWLIST              check the image; exit status 1 and one line per fault
pe_check.py --self-test IMAGE ALLOWLIST  check that each kind of fault planted in a copy is found
"""
import struct
import sys

MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
SUBSYSTEM_WINDOWS_GUI = 2
NO_SEH = 0x400
IMPORT_DIRECTORY = 1
DELAY_IMPORT_DIRECTORY = 13
SIZE_LIMIT = 16 * 1024  # the launcher stays under it


def read_allowlist(path):
    allowed, library = {}, None
    for line in open(path, encoding="ascii"):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("["):
            library = line.strip("[]").upper()
            allowed[library] = set()
        else:
            allowed[library].add(line)
    return allowed


def c_string(data, offset):
    end = data.index(b"\0", offset)
    return data[offset:end].decode("ascii", "replace")


def sections_of(data):
    """(virtual size, virtual address, raw size, raw offset) of each section."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    section_count, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    return [struct.unpack_from("<IIII", data, table + 40 * index + 8) for index in range(section_count)]


def image_base(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] == PE32_MAGIC:
        return struct.unpack_from("<I", data, optional + 28)[0]
    return struct.unpack_from("<Q", data, optional + 24)[0]


def file_offset(data, rva):
    """Where the byte at this relative virtual address lies in the file."""
    for virtual_size, address, raw_size, raw_offset in sections_of(data):
        if address <= rva < address + max(virtual_size, raw_size):
            return rva - address + raw_offset
    raise ValueError("RVA 0x%X lies in no section" % rva)


def faults_of(data, allowed):
    """Every reason the image is unfit, as text; an empty list means it passes."""
    if data[:2] != b"MZ":
        return ["not an MZ executable"]
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return ["no PE signature"]
    machine, section_count, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    optional = pe + 24
    faults = []
    if len(data) >= SIZE_LIMIT:
        faults.append("%d bytes, not under the launcher's 16 KiB" % len(data))
    if machine != MACHINE_I386:
        faults.append("machine 0x%X, not i386" % machine)
    magic = struct.unpack_from("<H", data, optional)[0]
    if magic != PE32_MAGIC:
        return faults + ["optional header magic 0x%X, not PE32" % magic]
    os_version = struct.unpack_from("<HH", data, optional + 40)
    subsystem_version = struct.unpack_from("<HH", data, optional + 48)
    subsystem, dll_characteristics = struct.unpack_from("<HH", data, optional + 68)
    if os_version != (4, 0):
        faults.append("operating-system version %d.%d, not 4.0" % os_version)
    if subsystem_version != (4, 0):
        faults.append("subsystem version %d.%d, not 4.0" % subsystem_version)
    if subsystem != SUBSYSTEM_WINDOWS_GUI:
        faults.append("subsystem %d, not the Windows GUI" % subsystem)
    if dll_characteristics & NO_SEH:
        faults.append("marked NO_SEH, but the port guard registers an exception handler")

    directories = optional + 96

    def offset_of(rva):
        return file_offset(data, rva)

    if struct.unpack_from("<II", data, directories + 8 * DELAY_IMPORT_DIRECTORY)[0]:
        faults.append("delay-load imports present")
    import_rva = struct.unpack_from("<I", data, directories + 8 * IMPORT_DIRECTORY)[0]
    if not import_rva:
        return faults + ["no import table"]
    descriptor = offset_of(import_rva)
    while True:
        lookup, _, _, name_rva, address_table = struct.unpack_from("<IIIII", data, descriptor)
        if name_rva == 0:
            break
        descriptor += 20
        library = c_string(data, offset_of(name_rva))
        functions = allowed.get(library.upper())
        if functions is None:
            faults.append("import from %s, which is not an allowed library" % library)
            continue
        thunk = offset_of(lookup or address_table)
        while True:
            entry = struct.unpack_from("<I", data, thunk)[0]
            thunk += 4
            if entry == 0:
                break
            if entry & 0x80000000:
                faults.append("%s imported by ordinal %d" % (library, entry & 0xFFFF))
                continue
            function = c_string(data, offset_of(entry) + 2)
            if function not in functions:
                faults.append("%s!%s is not in the Windows 95 allowlist" % (library, function))
    return faults


def replaced(data, old, new):
    assert len(old) == len(new) and data.count(old) == 1, old
    return data.replace(old, new)


def patched(data, field_offset, fmt, value):
    copy = bytearray(data)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    struct.pack_into(fmt, copy, pe + field_offset, value)
    return bytes(copy)


def self_test(data, allowed):
    """Plants one fault of each kind in a copy of a good image; the check must name every one."""
    some_function = sorted(allowed["USER32.DLL"])[0].encode()
    plants = [
        ("console subsystem", patched(data, 24 + 68, "<H", 3), "subsystem 3"),
        ("Windows 2000 operating-system version", patched(data, 24 + 40, "<H", 5), "operating-system version 5.0"),
        ("subsystem version 4.10", patched(data, 24 + 50, "<H", 10), "subsystem version 4.10"),
        ("x64 machine", patched(data, 4, "<H", 0x8664), "not i386"),
        ("grown to 16 KiB", data + bytes(SIZE_LIMIT - len(data)), "not under the launcher's 16 KiB"),
        ("NO_SEH flag", patched(data, 24 + 70, "<H", NO_SEH), "NO_SEH"),
        ("C runtime library", replaced(data, b"USER32.dll\0", b"MSVCRT.dll\0"), "MSVCRT.dll"),
        ("function Windows 95 lacks", replaced(data, some_function + b"\0", some_function[:-1] + b"W\0"),
         some_function[:-1].decode() + "W"),
    ]
    failures = []
    for name, image, expected in plants:
        found = faults_of(image, allowed)
        if not any(expected in fault for fault in found):
            failures.append("%s: expected a fault naming %r, got %r" % (name, expected, found))
    if faults_of(data, allowed):
        failures.append("the unplanted image itself fails: %r" % faults_of(data, allowed))
    return failures


def main(arguments):
    testing = arguments[:1] == ["--self-test"]
    if testing:
        arguments = arguments[1:]
    if len(arguments) != 2:
        print(__doc__.strip())
        return 2
    image, allowlist = arguments
    try:
        data = open(image, "rb").read()
    except OSError as error:
        print("FAIL: cannot read %s (%s); build it first: cmake --preset win32 && cmake --build --preset win32"
              % (image, error.strerror))
        return 1
    allowed = read_allowlist(allowlist)
    problems = self_test(data, allowed) if testing else faults_of(data, allowed)
    for problem in problems:
        print("FAIL: %s" % problem)
    if not problems:
        print("OK: %s%s" % (image, ", every planted fault found" if testing else ""))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
