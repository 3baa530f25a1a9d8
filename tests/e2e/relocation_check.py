#!/usr/bin/env python3
"""Checks that QUELM.EXE's base relocations are right: a loader that puts the image at another base
(Win32s always does) applies them, and must get exactly the image the linker makes for that base.
The build links the same objects a second time at another base; applying the shipped image's
relocation table for that base, and setting its base and checksum as the linker does, must give the
second image byte for byte. A relocation missing, or at the wrong place, leaves a byte that differs.

relocation_check.py SHIPPED REBASED              check; exit status 1 and one line per fault
relocation_check.py --self-test SHIPPED REBASED  check that each planted fault in SHIPPED is found
"""
import struct
import sys

import pe_check

CHECKSUM_FIELD = 64  # in the optional header


def checksum(data):
    """The PE image checksum: 16-bit one's-complement sum of the file, its own field counted as zero,
    plus the file length."""
    field = pe_check.optional_header(data) + CHECKSUM_FIELD
    words = data[:field] + bytes(4) + data[field + 4:]
    if len(words) % 2:
        words += b"\0"
    total = 0
    for (word,) in struct.iter_unpack("<H", words):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def rebased(data, new_base):
    """The image as a loader would make it at `new_base`, with the header a linker writes for it."""
    targets, faults = pe_check.relocation_targets(data)
    if faults or not targets:
        return None, faults or ["no 32-bit relocations"]
    delta = new_base - pe_check.image_base(data)
    image = bytearray(data)
    for target in targets:
        offset = pe_check.file_offset(data, target)
        struct.pack_into("<I", image, offset, (struct.unpack_from("<I", image, offset)[0] + delta) & 0xFFFFFFFF)
    optional = pe_check.optional_header(data)
    struct.pack_into("<I", image, optional + 28, new_base)
    if struct.unpack_from("<I", data, optional + CHECKSUM_FIELD)[0]:
        struct.pack_into("<I", image, optional + CHECKSUM_FIELD, checksum(image))
    return bytes(image), []


def where(data, offset):
    for virtual_size, address, raw_size, raw_offset in pe_check.sections_of(data):
        if raw_offset <= offset < raw_offset + raw_size:
            return "RVA 0x%X" % (address + offset - raw_offset)
    return "the headers"


def faults_of(shipped, second):
    if len(shipped) != len(second):
        return ["the images differ in length: %d and %d bytes" % (len(shipped), len(second))]
    image, faults = rebased(shipped, pe_check.image_base(second))
    if faults:
        return faults
    differing = [offset for offset in range(len(image)) if image[offset] != second[offset]]
    if not differing:
        return []
    return ["%d bytes differ from the image linked at 0x%X, the first at file offset 0x%X (%s)"
            % (len(differing), pe_check.image_base(second), differing[0], where(second, differing[0]))]


def relocation_entry(data, index):
    """File offset of the index-th entry of the first relocation block."""
    directory = pe_check.optional_header(data) + 96 + 8 * pe_check.BASE_RELOCATION_DIRECTORY
    return pe_check.file_offset(data, struct.unpack_from("<I", data, directory)[0]) + 8 + 2 * index


def with_entry(data, index, change):
    copy = bytearray(data)
    offset = relocation_entry(data, index)
    struct.pack_into("<H", copy, offset, change(struct.unpack_from("<H", data, offset)[0]))
    return bytes(copy)


def self_test(shipped, second):
    """Plants one fault of each kind in the shipped image; the check must find every one."""
    directory = pe_check.optional_header(shipped) + 96 + 8 * pe_check.BASE_RELOCATION_DIRECTORY
    no_table = bytearray(shipped)
    struct.pack_into("<II", no_table, directory, 0, 0)
    plants = [
        ("a relocation dropped", with_entry(shipped, 0, lambda entry: entry & 0xFFF), "bytes differ"),
        ("a relocation two bytes off", with_entry(shipped, 1, lambda entry: entry + 2), "bytes differ"),
        ("the relocation table left out", bytes(no_table), "no base relocation table"),
    ]
    failures = pe_check.missed_plants(plants, lambda image: faults_of(image, second))
    if checksum(shipped) != struct.unpack_from("<I", shipped, pe_check.optional_header(shipped) + CHECKSUM_FIELD)[0]:
        failures.append("the checksum is not computed as the linker computes it")
    if faults_of(shipped, second):
        failures.append("the unplanted images themselves fail: %r" % faults_of(shipped, second))
    return failures


def main(arguments):
    parsed = pe_check.command_line(arguments, 2)
    if parsed is None:
        print(__doc__.strip())
        return 2
    testing, arguments = parsed
    try:
        shipped, second = (open(path, "rb").read() for path in arguments)
    except OSError as error:
        print("FAIL: cannot read %s (%s); build it first: cmake --preset win32 && cmake --build --preset win32"
              % (error.filename, error.strerror))
        return 1
    problems = self_test(shipped, second) if testing else faults_of(shipped, second)
    for problem in problems:
        print("FAIL: %s" % problem)
    if not problems:
        print("OK: %s%s" % (arguments[0], ", every planted fault found" if testing else
                             ", relocated to 0x%X, is %s byte for byte" % (pe_check.image_base(second), arguments[1])))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
