#!/usr/bin/env python3
"""Which Wine path runs on which host: every combination of kernel, installed Wine and
QUELM_WINE_ARCH, with the decision each path must reach."""

import os
import unittest
from unittest import mock

import wine_arch

# (name, kernel runs i386, installed loaders, QUELM_WINE_ARCH, expected {arch: runs}, words the
# skip reason of a skipped path must contain)
CASES = [
    ("32-bit capable host with both Wines: both paths", True, {"win32", "win64"}, "",
     {"win32": True, "win64": True}, ""),
    ("64-bit-only host: the 64-bit path alone", False, {"win32", "win64"}, "",
     {"win32": False, "win64": True}, "64-bit programs only"),
    ("32-bit capable host without wine64", True, {"win32"}, "", {"win32": True, "win64": False}, "wine64"),
    ("no Wine at all: both skipped, with the reason", False, set(), "",
     {"win32": False, "win64": False}, "no Wine can run"),
    ("forced win64 on a 32-bit capable host", True, {"win32", "win64"}, "win64",
     {"win32": False, "win64": True}, "selects the other path"),
    ("forced win32 on a 64-bit-only host runs, and so fails loudly", False, {"win32", "win64"}, "win32",
     {"win32": True, "win64": False}, "selects the other path"),
    ("forced both", False, {"win64"}, "both", {"win32": True, "win64": True}, ""),
]


class DecideTest(unittest.TestCase):
    def test_each_host(self):
        for name, i386, loaders, forced, expected, reason_words in CASES:
            with self.subTest(name), \
                    mock.patch.dict(os.environ, {"QUELM_WINE_ARCH": forced}), \
                    mock.patch.object(wine_arch, "runs_i386", return_value=i386), \
                    mock.patch.object(wine_arch, "installed", side_effect=lambda arch: arch in loaders):
                decisions = {arch: wine_arch.decide(arch) for arch in wine_arch.ARCHES}
                self.assertEqual({arch: runs for arch, (runs, _) in decisions.items()}, expected)
                for arch, (runs, why) in decisions.items():
                    if not runs:
                        self.assertIn(reason_words, why, f"{arch} skipped for: {why}")

    def test_an_unknown_choice_is_refused(self):
        with mock.patch.dict(os.environ, {"QUELM_WINE_ARCH": "win16"}):
            with self.assertRaises(ValueError):
                wine_arch.decide("win32")

    def test_the_probe_program_is_an_i386_executable(self):
        program = wine_arch._i386_exit_program()
        self.assertEqual(program[:5], b"\x7fELF\x01")  # 32-bit
        self.assertEqual(int.from_bytes(program[18:20], "little"), 3)  # EM_386
        entry = int.from_bytes(program[24:28], "little")
        self.assertEqual(program[entry - 0x08048000:], bytes.fromhex("b80100000031dbcd80"))


if __name__ == "__main__":
    unittest.main()
