#!/usr/bin/env python3
"""Checks that QUELM.EXE is an image every system it names loads: PE32 for i386, GUI subsystem,
operating-system version 4.0, subsystem version 3.10 (Windows NT 3.1 refuses anything later), base
relocations kept and well formed (Win32s loads programs away from their base), structured exception
handlers allowed, and imports only by name, only from the allowed libraries, only functions in the
allowlist (no C runtime, nothing newer, nothing an older named system lacks); and that it stays a
launcher of a few kilobytes (at most 16,896 bytes).

pe_check.py IMAGE ALLOWLIST              check the image; exit status 1 and one line per fault
pe_check.py --self-test IMAGE ALLOWLIST  check that each kind of fault planted in a copy is found
"""
import struct
import sys

MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
SUBSYSTEM_WINDOWS_GUI = 2
NO_SEH = 0x400
RELOCS_STRIPPED = 0x0001
IMPORT_DIRECTORY = 1
BASE_RELOCATION_DIRECTORY = 5
DELAY_IMPORT_DIRECTORY = 13
RELOCATION_PADDING = 0  # IMAGE_REL_BASED_ABSOLUTE: fills a block to four bytes, relocates nothing
RELOCATION_HIGHLOW = 3  # IMAGE_REL_BASED_HIGHLOW: the 32-bit address at the target moves with the base
SIZE_LIMIT = 16896  # the launcher stays at most this long: 33 blocks of the 512-byte file alignment
FILE_ALIGNMENT = 512


def read_allowlist(path):
    """{library: {function: None, or why it must not be imported at load time}}."""
    allowed, library = {}, None
    for line in open(path, encoding="ascii"):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("["):
            library = line.strip("[]").upper()
            allowed[library] = {}
        else:
            function, _, reason = line.partition("=")
            allowed[library][function.strip()] = reason.strip() or None
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


def optional_header(data):
    return struct.unpack_from("<I", data, 0x3C)[0] + 24


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


def relocation_targets(data):
    """(RVAs the relocation table moves, faults in the table itself)."""
    optional = optional_header(data)
    table_rva, table_size = struct.unpack_from("<II", data, optional + 96 + 8 * BASE_RELOCATION_DIRECTORY)
    if not table_rva or not table_size:
        return [], ["no base relocation table"]
    targets, faults = [], []
    offset, end = file_offset(data, table_rva), file_offset(data, table_rva) + table_size
    while offset < end:
        page, block_size = struct.unpack_from("<II", data, offset)
        if block_size < 8 or block_size % 4 or offset + block_size > end:
            return targets, faults + ["relocation block at RVA 0x%X is %d bytes long" % (page, block_size)]
        for (entry,) in struct.iter_unpack("<H", data[offset + 8:offset + block_size]):
            kind, target = entry >> 12, page + (entry & 0xFFF)
            if kind == RELOCATION_HIGHLOW:
                targets.append(target)
            elif kind != RELOCATION_PADDING:
                faults.append("relocation of type %d at RVA 0x%X, not a 32-bit address" % (kind, target))
        offset += block_size
    return targets, faults


def relocation_faults(data):
    """Why Win32s could not load the image away from its base: no table, or one that is wrong."""
    characteristics = struct.unpack_from("<H", data, optional_header(data) - 2)[0]
    if characteristics & RELOCS_STRIPPED:
        return ["relocations stripped (IMAGE_FILE_RELOCS_STRIPPED): Win32s cannot load it away from its base"]
    targets, faults = relocation_targets(data)
    base = image_base(data)
    image_size = struct.unpack_from("<I", data, optional_header(data) + 56)[0]
    for target in targets:
        try:
            value = struct.unpack_from("<I", data, file_offset(data, target))[0]
        except (ValueError, struct.error):
            faults.append("relocation at RVA 0x%X lies outside the file" % target)
            continue
        if not base <= value < base + image_size:
            faults.append("relocation at RVA 0x%X moves 0x%X, which is no address in the image" % (target, value))
    return faults


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
    if len(data) > SIZE_LIMIT:
        faults.append("%d bytes, more than the launcher's %d" % (len(data), SIZE_LIMIT))
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
    if subsystem_version != (3, 10):
        faults.append("subsystem version %d.%d, not 3.10: Windows NT 3.1 refuses later ones" % subsystem_version)
    if subsystem != SUBSYSTEM_WINDOWS_GUI:
        faults.append("subsystem %d, not the Windows GUI" % subsystem)
    if dll_characteristics & NO_SEH:
        faults.append("marked NO_SEH, but the port guard registers an exception handler")

    faults += relocation_faults(data)
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
            elif functions[function]:
                faults.append("%s!%s is imported at load time, but %s: look it up at run time"
                              % (library, function, functions[function]))
    return faults


def replaced(data, old, new):
    assert len(old) == len(new) and data.count(old) == 1, old
    return data.replace(old, new)


def patched(data, field_offset, fmt, *values):
    copy = bytearray(data)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    struct.pack_into(fmt, copy, pe + field_offset, *values)
    return bytes(copy)


def renamed_import(data, library, new_name):
    """A copy whose first import from `library` with room for `new_name` is renamed to it in place."""
    directories = optional_header(data) + 96
    descriptor = file_offset(data, struct.unpack_from("<I", data, directories + 8 * IMPORT_DIRECTORY)[0])
    while True:
        lookup, _, _, name_rva, address_table = struct.unpack_from("<IIIII", data, descriptor)
        assert name_rva, "no import from %s with room for %s" % (library, new_name)
        descriptor += 20
        if c_string(data, file_offset(data, name_rva)).upper() != library:
            continue
        thunk = file_offset(data, lookup or address_table)
        while struct.unpack_from("<I", data, thunk)[0]:
            name = file_offset(data, struct.unpack_from("<I", data, thunk)[0]) + 2
            thunk += 4
            old_name = c_string(data, name)
            if len(old_name) >= len(new_name):
                copy = bytearray(data)
                copy[name:name + len(old_name)] = new_name.encode().ljust(len(old_name), b"\0")
                return bytes(copy)


def relocation_retyped(data, kind):
    """A copy whose first 32-bit relocation has another type."""
    table_rva = struct.unpack_from("<I", data, optional_header(data) + 96 + 8 * BASE_RELOCATION_DIRECTORY)[0]
    entry = file_offset(data, table_rva) + 8
    copy = bytearray(data)
    struct.pack_into("<H", copy, entry, kind << 12 | struct.unpack_from("<H", data, entry)[0] & 0xFFF)
    return bytes(copy)


def missed_plants(plants, faults_of_image):
    """Each (name, image, expected) plant whose fault the check does not name, as text."""
    failures = []
    for name, image, expected in plants:
        found = faults_of_image(image)
        if not any(expected in fault for fault in found):
            failures.append("%s: expected a fault naming %r, got %r" % (name, expected, found))
    return failures


def command_line(arguments, count):
    """(whether --self-test was given, the other arguments), or None when they are not `count`."""
    testing = arguments[:1] == ["--self-test"]
    if testing:
        arguments = arguments[1:]
    return (testing, arguments) if len(arguments) == count else None


def self_test(data, allowed):
    """Plants one fault of each kind in a copy of a good image; the check must name every one."""
    some_function = sorted(f for f, reason in allowed["USER32.DLL"].items() if not reason)[0].encode()
    # A real image grows by whole blocks of the file alignment.
    grown = data + bytes(max(SIZE_LIMIT - len(data), 0) + FILE_ALIGNMENT)
    stripped = patched(patched(data, 22, "<H", struct.unpack_from("<H", data, optional_header(data) - 2)[0]
                               | RELOCS_STRIPPED), 24 + 96 + 8 * BASE_RELOCATION_DIRECTORY, "<II", 0, 0)
    plants = [
        ("console subsystem", patched(data, 24 + 68, "<H", 3), "subsystem 3"),
        ("Windows 2000 operating-system version", patched(data, 24 + 40, "<H", 5), "operating-system version 5.0"),
        ("subsystem version 4.0", patched(data, 24 + 48, "<HH", 4, 0), "subsystem version 4.0"),
        ("x64 machine", patched(data, 4, "<H", 0x8664), "not i386"),
        ("grown by a block past the limit", grown, "more than the launcher's %d" % SIZE_LIMIT),
        ("relocations stripped by the linker", stripped, "relocations stripped"),
        ("relocation table left out", patched(data, 24 + 96 + 8 * BASE_RELOCATION_DIRECTORY, "<II", 0, 0),
         "no base relocation table"),
        ("64-bit relocation in a 32-bit image", relocation_retyped(data, 10), "relocation of type 10"),
        ("GetVersionExA imported at load time", renamed_import(data, "KERNEL32.DLL", "GetVersionExA"),
         "!GetVersionExA is imported at load time"),
        ("NO_SEH flag", patched(data, 24 + 70, "<H", NO_SEH), "NO_SEH"),
        ("C runtime library", replaced(data, b"USER32.dll\0", b"MSVCRT.dll\0"), "MSVCRT.dll"),
        ("function Windows 95 lacks", replaced(data, some_function + b"\0", some_function[:-1] + b"W\0"),
         some_function[:-1].decode() + "W"),
    ]
    failures = missed_plants(plants, lambda image: faults_of(image, allowed))
    if faults_of(data, allowed):
        failures.append("the unplanted image itself fails: %r" % faults_of(data, allowed))
    return failures


def main(arguments):
    parsed = command_line(arguments, 2)
    if parsed is None:
        print(__doc__.strip())
        return 2
    testing, (image, allowlist) = parsed
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
