#!/usr/bin/env python3
"""Which Wine the end-to-end tests use on this host: the shipped 32-bit QUELM.EXE under 32-bit Wine
where the kernel runs 32-bit programs, the 64-bit test build under 64-bit Wine, or both.

QUELM_WINE_ARCH=win32|win64|both forces the choice; unset, every path the host can run is taken.

    wine_arch.py runs-i386     exit status 0 when this kernel runs 32-bit x86 programs
    wine_arch.py selected      the paths that run here, one a line, each with the reason
"""

import os
import subprocess
import sys
import struct
import tempfile
from dataclasses import dataclass
from pathlib import Path

ARCHES = ("win32", "win64")
SKIP_STATUS = 77  # ctest's SKIP_RETURN_CODE for these tests


@dataclass(frozen=True)
class Arch:
    name: str
    loader: str  # Wine's loader for this architecture's programs
    build_preset: str


WINE_ARCHES = {
    "win32": Arch("win32", "/usr/lib/wine/wine", "win32"),
    "win64": Arch("win64", "/usr/lib/wine/wine64", "win64"),
}

def _i386_exit_program():
    """The smallest i386 ELF program: one loadable segment whose code is exit(0) through int 0x80."""
    code = bytes.fromhex("b801000000" "31db" "cd80")  # mov eax, 1; xor ebx, ebx; int 0x80
    base, headers = 0x08048000, 52 + 32
    size = headers + len(code)
    # Executable, i386, version 1, entry, program headers at 52, no sections (qemu-user insists on
    # the section header size even so), header sizes, one program header.
    elf_header = b"\x7fELF\x01\x01\x01" + bytes(9) + struct.pack(
        "<HHIIIIIHHHHHH", 2, 3, 1, base + headers, 52, 0, 0, 52, 32, 1, 40, 0, 0)
    program_header = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
    return elf_header + program_header + code


def runs_i386():
    """Whether this kernel starts 32-bit x86 programs at all. Where it has no IA-32 emulation,
    starting one fails with "Exec format error", whatever is installed."""
    with tempfile.TemporaryDirectory() as folder:
        program = Path(folder) / "exit0"
        program.write_bytes(_i386_exit_program())
        program.chmod(0o755)
        try:
            return subprocess.run([str(program)], timeout=10, check=False).returncode == 0
        except OSError:
            return False


def installed(arch):
    return os.access(WINE_ARCHES[arch].loader, os.X_OK)


def decide(arch):
    """(True, why) when the tests of `arch` run on this host, else (False, why they are skipped).
    A path forced by QUELM_WINE_ARCH always runs, so that a host that cannot take it says why by
    failing."""
    forced = os.environ.get("QUELM_WINE_ARCH", "").strip()
    if forced:
        if forced not in (*ARCHES, "both"):
            raise ValueError(f"QUELM_WINE_ARCH={forced!r}: expected win32, win64 or both")
        if forced in (arch, "both"):
            return True, f"QUELM_WINE_ARCH={forced}"
        return False, f"QUELM_WINE_ARCH={forced} selects the other path"
    if not installed(arch):
        loader = WINE_ARCHES[arch].loader
        package = "wine32:i386" if arch == "win32" else "wine64"
        if not any(installed(other) for other in ARCHES):
            return False, f"no Wine can run on this host ({loader} is missing; install {package})"
        return False, f"{loader} is missing ({package} is not installed)"
    if arch == "win32" and not runs_i386():
        return False, "this host runs 64-bit programs only, so 32-bit Wine cannot start; the win64 path runs instead"
    return True, f"{WINE_ARCHES[arch].loader} runs on this host"


def skip_unless_selected(arch):
    """Ends a test of `arch` with ctest's skip status, saying why, when its path does not run here."""
    runs, why = decide(arch)
    if not runs:
        print(f"SKIPPED: the {arch} Wine tests do not run here: {why}")
        sys.exit(SKIP_STATUS)
    print(f"{arch} Wine path: {why}")


def main(arguments):
    if arguments == ["runs-i386"]:
        return 0 if runs_i386() else 1
    if arguments == ["selected"]:
        for arch in ARCHES:
            runs, why = decide(arch)
            print(f"{arch}: {'runs' if runs else 'skipped'} ({why})")
        return 0
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
