#!/usr/bin/env python3
"""Captures the example disk's message boxes as QUELM.EXE shows them under Wine, for the disk authors'
guide: one PNG picture per scene in OUT_DIR. scripts/capture-boxes.sh builds what it needs and runs it.

    capture_boxes.py --windows-dir build/win32 --out docs/images [--work-dir DIR]

Wine draws the boxes in its own style, not in that of the Windows version it reports; the texts,
buttons and caption are the launcher's.
"""
import argparse
import shutil
import struct
import sys
import tempfile
import zlib
from pathlib import Path

import cases
from wine_e2e import LAUNCHER_TIMEOUT_MS
from wine_session import WineError, WineSession, windows_path

EXAMPLES = Path(__file__).resolve().parents[3] / "examples"
# The card's functions on the bus, where Wine's SetupAPI lists them; the example machine's .reg file
# adds the Windows 9x enumerator's keys for the card in the AGP slot.
CARD_ON_THE_BUS = cases.MACHINE_WITH_UNREGISTERED_CARD
REGISTERED = (EXAMPLES / "machine" / "win98-card.reg",)

# (picture, Wine version, PCI functions, further .reg files, answers): the boxes the example disk shows.
SCENES = (
    ("w98-card-not-registered", "win98", CARD_ON_THE_BUS, (), ()),
    ("w98-no-card", "win98", cases.MACHINE_WITHOUT_CARD, (), ()),
    ("w95-usb-notice", "win95", CARD_ON_THE_BUS, REGISTERED, ("CANCEL",)),
    ("nt40-notice", "nt40", CARD_ON_THE_BUS, (), ()),
)


def png_of_bmp(bmp):
    """A 24-bit bottom-up BMP as an RGB PNG: no time, no text, the same bytes for the same pixels."""
    offset, = struct.unpack_from("<I", bmp, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", bmp, 18)
    if bits != 24 or height <= 0:
        raise ValueError(f"expected a 24-bit bottom-up BMP, got {bits} bits, height {height}")
    row_size = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bmp[offset + y * row_size: offset + y * row_size + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]  # BMP keeps blue first
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(rows), 9))
            + chunk(b"IEND", b""))


def capture(session, windows_dir, work_dir, scene):
    name, version, machine, registry_files, answers = scene
    scene_dir = work_dir / name
    shutil.rmtree(scene_dir, ignore_errors=True)
    disk, shots = scene_dir / "disk", scene_dir / "shots"
    shutil.copytree(EXAMPLES / "disk", disk)
    shots.mkdir()
    for program in ("QUELM.EXE", "vadrun.exe"):
        shutil.copy(windows_dir / program, disk / program)
    machine_file = scene_dir / "machine.reg"
    machine_file.write_text(machine.registry_file(), encoding="ascii", newline="")
    reset = scene_dir / "reset.reg"
    reset.write_text(cases.reset_registry_file([cases.Case("", "", (), None, machine=other[2]) for other in SCENES]),
                     encoding="ascii", newline="")
    session.set_windows_version(version)
    session.load_registry(reset, machine_file, *registry_files)
    session.map_drive("D", disk)
    log = scene_dir / "driver.log"
    status, output = session.run(
        [str(windows_dir / "e2e-driver.exe"), windows_path(log), str(LAUNCHER_TIMEOUT_MS), "D:\\", "D:\\QUELM.EXE",
         *answers],
        timeout=LAUNCHER_TIMEOUT_MS / 1000 + 30, log_name=name, extra_env={"QUELM_CAPTURE_DIR": windows_path(shots)})
    picture = shots / "box-1.bmp"
    if status != 0 or not picture.is_file():
        lines = log.read_text("latin-1") if log.exists() else ""
        raise WineError(f"{name}: no box was captured (driver status {status}):\n{lines}{output}")
    return png_of_bmp(picture.read_bytes())


def main(arguments):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--windows-dir", type=Path, required=True, help="build tree of the win32 preset")
    parser.add_argument("--out", type=Path, required=True)
    parser.add_argument("--work-dir", type=Path)
    options = parser.parse_args(arguments)
    work_dir = (options.work_dir or Path(tempfile.mkdtemp())).resolve()
    session = WineSession(work_dir / "session", "win32")
    options.out.mkdir(parents=True, exist_ok=True)
    try:
        session.set_up()
        # Wine's own fonts draw the boxes as Wine means them to look: Marlett's symbols on the caption
        # buttons, Tahoma for the text. The e2e prefix does without them, as it compares only texts.
        session.install_wine_fonts()
        for scene in SCENES:
            picture = options.out / f"{scene[0]}.png"
            picture.write_bytes(capture(session, options.windows_dir.resolve(), work_dir, scene))
            print(f"{picture}: {picture.stat().st_size} bytes")
    except WineError as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    finally:
        session.clean_up()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
