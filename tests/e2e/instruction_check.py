#!/usr/bin/env python3
"""Checks that Windows programs run on the processors of their time: a disassembly of every code
section must hold only instructions of the 386, which Windows 95 needs at the least. Anything later
would die with an invalid-opcode fault on a 386, 486, Pentium MMX or K6: the instructions the 486 and
the Pentium added, the Pentium Pro's (cmov, fcomi, sysenter, ud2, ...) and any MMX or SSE register.
The host and Wine run them all, which is why the image itself is read.

instruction_check.py OBJDUMP IMAGE...              check; exit status 1 and one line per fault
instruction_check.py --self-test OBJDUMP IMAGE     check that each planted instruction is found
"""
import re
import subprocess
import sys
import tempfile
from pathlib import Path

import pe_check

# Mnemonics as objdump writes them (AT&T syntax, with or without an operand-size suffix), by the
# processor that added them.
LATER_INSTRUCTIONS = {
    "the 486": {"bswap", "xadd", "cmpxchg", "invd", "wbinvd", "invlpg"},
    "the Pentium": {"cpuid", "rdtsc", "rdmsr", "wrmsr", "cmpxchg8b", "rsm", "rdpmc"},
    "the Pentium Pro": {"fcomi", "fcomip", "fucomi", "fucomip", "sysenter", "sysexit", "ud2", "ud0", "ud1"},
    "the K6 and later": {"syscall", "sysret", "femms", "prefetch", "prefetchw", "prefetchnta", "prefetcht0",
                         "prefetcht1", "prefetcht2", "sfence", "lfence", "mfence", "clflush", "fxsave",
                         "fxrstor", "movnti", "fisttp", "ldmxcsr", "stmxcsr", "emms"},
}
LATER_FAMILIES = (("cmov", "the Pentium Pro"), ("fcmov", "the Pentium Pro"))
LATER_REGISTERS = re.compile(r"%(x|y|z)?mm\d+")
SIZE_SUFFIXES = ("b", "w", "l", "q")


def later_processor(mnemonic, operands):
    """The processor that added this instruction, or None when the 386 has it."""
    names = {mnemonic} | {mnemonic[:-1] for suffix in SIZE_SUFFIXES if mnemonic.endswith(suffix)}
    for processor, mnemonics in LATER_INSTRUCTIONS.items():
        if names & mnemonics:
            return processor
    for prefix, processor in LATER_FAMILIES:
        if mnemonic.startswith(prefix):
            return processor
    if LATER_REGISTERS.search(operands):
        return "MMX or SSE"
    return None


def disassembly(objdump, image):
    """(address, raw bytes, mnemonic, operands) of every instruction in the executable sections."""
    output = subprocess.run([objdump, "-d", "-w", str(image)], capture_output=True, text=True, check=True).stdout
    for line in output.splitlines():
        parts = line.split("\t")
        if len(parts) < 3 or not parts[0].strip().endswith(":"):
            continue
        words = parts[2].split(None, 1)
        if not words:
            continue
        # A lock or repeat prefix stands before the instruction it changes.
        while len(words) == 2 and words[0] in ("lock", "rep", "repz", "repnz", "repe", "repne", "data16",
                                               "addr16", "cs", "ds", "es", "fs", "gs", "ss"):
            words = words[1].split(None, 1)
        yield int(parts[0].strip()[:-1], 16), parts[1].split(), words[0], words[1] if len(words) > 1 else ""


def faults_of(objdump, image):
    faults = []
    # Bytes that decode as nothing ("(bad)") are data the linker keeps in the code section, such as
    # the empty constructor lists of programs linked the usual way; no processor ever runs them.
    for address, _, mnemonic, operands in disassembly(objdump, image):
        processor = later_processor(mnemonic, operands)
        if processor:
            faults.append(f"{image.name} 0x{address:x}: {mnemonic} {operands} needs {processor}".rstrip())
    return faults


# Instructions planted by the self-test, each with the processor the check must name.
PLANTS = [
    ("cmove %eax,%eax", "0f44c0", "the Pentium Pro"),
    ("fcmovb %st(1),%st", "dac1", "the Pentium Pro"),
    ("fcomi %st(1),%st", "dbf1", "the Pentium Pro"),
    ("ud2", "0f0b", "the Pentium Pro"),
    ("sysenter", "0f34", "the Pentium Pro"),
    ("rdtsc", "0f31", "the Pentium"),
    ("cpuid", "0fa2", "the Pentium"),
    ("cmpxchg8b (%esi)", "0fc70e", "the Pentium"),
    ("bswap %eax", "0fc8", "the 486"),
    ("lock xadd %eax,(%esi)", "f00fc106", "the 486"),
    ("movq %mm1,%mm0", "0f6fc1", "MMX or SSE"),
    ("movaps %xmm1,%xmm0", "0f28c1", "MMX or SSE"),
]


def self_test(objdump, image):
    """Each plant replaces one instruction at least as long, padded with nops, so that the
    disassembly stays in step; the check must report it, and the unplanted image must pass."""
    data = image.read_bytes()
    failures = [f"the unplanted image itself fails: {fault}" for fault in faults_of(objdump, image)]
    instructions = list(disassembly(objdump, image))
    with tempfile.TemporaryDirectory() as folder:
        planted_image = Path(folder) / image.name
        for name, hex_bytes, processor in PLANTS:
            planted = bytes.fromhex(hex_bytes)
            address, raw, _, _ = next(instruction for instruction in instructions if len(instruction[1]) >= len(planted)
                                      and instruction[2] not in ("call", "jmp"))
            offset = pe_check.file_offset(data, address - pe_check.image_base(data))
            copy = bytearray(data)
            copy[offset:offset + len(raw)] = planted + b"\x90" * (len(raw) - len(planted))
            planted_image.write_bytes(bytes(copy))
            found = faults_of(objdump, planted_image)
            if not any(f"0x{address:x}" in fault and processor in fault for fault in found):
                failures.append(f"planted {name} at 0x{address:x}: expected a fault naming {processor}, got {found}")
    return failures


def main(arguments):
    testing = arguments[:1] == ["--self-test"]
    if testing:
        arguments = arguments[1:]
    if len(arguments) < 2 or (testing and len(arguments) != 2):
        print(__doc__.strip())
        return 2
    objdump, images = arguments[0], [Path(image) for image in arguments[1:]]
    problems = []
    for image in images:
        if not image.is_file():
            problems.append(f"cannot read {image}; build it first: cmake --preset win32 && cmake --build --preset win32")
            continue
        problems += self_test(objdump, image) if testing else faults_of(objdump, image)
    for problem in problems:
        print(f"FAIL: {problem}")
    if not problems:
        print(f"OK: {', '.join(map(str, images))}" + (", every planted instruction found" if testing
                                                      else ": 386 instructions only"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
