#!/usr/bin/env python3
"""The property test of quelm-sim lint: every single mistake of the catalogue (tests/data/lint-truth)
that changes what the launcher does must be flagged on its line, and no edit that changes nothing may
get an error. What the launcher does is what `quelm-sim run --all-os` shows on the reference machines,
for the edited disk against the clean one.

    lint_truth.py QUELM_SIM CATALOGUE DISK INSTALLER   the test; prints the figures, status 1 on a miss
    lint_truth.py --self-test                         the catalogue's edits, on a small text
"""
import json
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

# The machines a disk is judged on: its cards present and registered, present only, absent; the second
# card; the USB supplement installed; the USB question answered Cancel.
REFERENCE_MACHINES = {
    "present and registered": ["--pci", "01:00.0=1A2B:3C4D", "--registry", "{registry}"],
    "present only": ["--pci", "01:00.0=1A2B:3C4D"],
    "no card": [],
    "the second card": ["--pci", "01:00.0=1A2B:3C4E"],
    "the USB supplement installed": ["--pci", "01:00.0=1A2B:3C4D", "--registry", "{registry}", "--usb-supplement", "yes"],
    "Cancel to the USB question": ["--pci", "01:00.0=1A2B:3C4D", "--registry", "{registry}", "--answer", "CANCEL"],
}


def unescape(text):
    out, at = bytearray(), 0
    raw = text.encode("latin-1")
    while at < len(raw):
        if raw[at:at + 2] == b"\\t":
            out += b"\t"
            at += 2
        elif raw[at:at + 2] == b"\\|":
            out += b"|"
            at += 2
        elif re.match(rb"\\x[0-9a-fA-F]{2}", raw[at:at + 4]):
            out.append(int(raw[at + 2:at + 4], 16))
            at += 4
        else:
            out.append(raw[at])
            at += 1
    return bytes(out)


class Entry:
    def __init__(self, line):
        parts = [part.strip(" ") for part in re.split(r"(?<!\\)\|", line)]
        self.kind, self.name, self.edit = parts[0].strip(), parts[1].strip(), parts[2].lstrip()
        self.base, self.flag_line = None, None
        for part in parts[3:]:
            if part.strip().startswith("@"):
                self.flag_line = int(part.strip()[1:])
            else:
                self.base = part.lstrip()


def lines_of(data):
    return data.split(b"\r\n")


def apply_edit(edit, data, disk):
    """The file's bytes after one edit (or several, joined by " && "), and the line the edit leaves."""
    line = None
    for one in edit.split(" && "):
        data, line = apply_one(one, data, disk)
    return data, line


def apply_one(edit, data, disk):
    match = re.match(r"^([+-]?)(\d+): ?(.*)$", edit, re.S)
    if match:
        sign, number, rest = match.group(1), int(match.group(2)), match.group(3)
        lines = lines_of(data)
        if sign == "+":
            lines.insert(number, unescape(rest))
            return b"\r\n".join(lines), number + 1
        if sign == "-":
            if lines[number - 1] != unescape(rest):
                raise ValueError(f"line {number} reads {lines[number - 1]!r}, not {unescape(rest)!r}")
            del lines[number - 1]
            return b"\r\n".join(lines), number
        old, new = rest.split(" => ", 1)
        if lines[number - 1] != unescape(old):
            raise ValueError(f"line {number} reads {lines[number - 1]!r}, not {unescape(old)!r}")
        lines[number - 1] = unescape(new)
        return b"\r\n".join(lines), number
    if edit.startswith("file: "):
        what = edit[6:].strip()
        if what == "utf8-mark":
            return b"\xef\xbb\xbf" + data, 1
        if what == "utf16":
            return b"\xff\xfe" + data.decode("cp1252").encode("utf-16-le"), 1
        if what == "cr":
            return data.replace(b"\r\n", b"\r"), 1
        if what == "lf":
            return data.replace(b"\r\n", b"\n"), 1
    if edit.startswith("disk: remove "):
        (disk / edit[len("disk: remove "):].strip()).unlink()
        return data, None
    raise ValueError(f"no such edit: {edit}")


def outcome(quelm_sim, disk, registry):
    rows = []
    for name, arguments in REFERENCE_MACHINES.items():
        arguments = [argument.format(registry=registry) for argument in arguments]
        result = subprocess.run([quelm_sim, "run", str(disk), "--all-os", "--json", *arguments],
                                capture_output=True, text=True, check=True)
        rows.append((name, [what_the_user_meets(json.loads(line)) for line in result.stdout.splitlines()]))
    return rows


def what_the_user_meets(row):
    """A release's row without what names the disk's own entries rather than what happens: the message
    keys (the box shows the text) and the bus type's spelling (only whether it is AGP tells, in the
    location)."""
    for message in row["messages"]:
        del message["key"]
    if row["card"]:
        del row["card"]["busType"]
    return row


def lint(quelm_sim, disk):
    result = subprocess.run([quelm_sim, "lint", str(disk), "--json"], capture_output=True, text=True, check=False)
    if result.returncode == 2:
        raise RuntimeError(f"lint failed: {result.stderr}")
    return [json.loads(line) for line in result.stdout.splitlines()]


def make_disk(folder, clean, installer, entry, which):
    disk = folder / which
    shutil.copytree(clean, disk)
    shutil.copy(installer, disk / "vadrun.exe")
    data = (disk / "QUELM.INI").read_bytes()
    if entry.base:
        data, _ = apply_edit(entry.base, data, disk)
    line = None
    if which == "edited":
        data, line = apply_edit(entry.edit, data, disk)
    (disk / "QUELM.INI").write_bytes(data)
    return disk, entry.flag_line or line


def run(quelm_sim, catalogue, clean, installer):
    registry = str(Path(clean).parent / "machine" / "win98-card.reg")
    entries = [Entry(line) for line in Path(catalogue).read_text(encoding="latin-1").splitlines()
               if line.strip() and not line.startswith("#")]
    mistakes = [entry for entry in entries if entry.kind == "mistake"]
    harmless = [entry for entry in entries if entry.kind == "harmless"]
    failures = []
    if len(mistakes) < 40 or len(harmless) < 10:
        failures.append(f"the catalogue holds {len(mistakes)} mistakes and {len(harmless)} harmless edits; "
                        "it needs at least 40 and 10")
    changing = flagged = errors_on_harmless = 0
    clean_outcomes = {}
    for entry in entries:
        with tempfile.TemporaryDirectory() as folder:
            folder = Path(folder)
            base, _ = make_disk(folder, clean, installer, entry, "base")
            edited, line = make_disk(folder, clean, installer, entry, "edited")
            key = entry.base or ""
            if key not in clean_outcomes:
                clean_outcomes[key] = outcome(quelm_sim, base, registry)
            changed = [name for (name, before), (_, after) in zip(clean_outcomes[key], outcome(quelm_sim, edited, registry))
                       if before != after]
            findings = lint(quelm_sim, edited)
            if entry.kind == "mistake":
                if not changed:
                    print(f"  same outcome:  {entry.name}")
                    continue
                changing += 1
                at_line = [finding for finding in findings if finding["line"] == line]
                if at_line:
                    flagged += 1
                    print(f"  flagged:       {entry.name} (line {line}: {', '.join(f['check'] for f in at_line)})")
                else:
                    failures.append(f"{entry.name}: the outcome changes ({', '.join(changed)}), but lint flags nothing on "
                                    f"line {line}: {[(f['line'], f['check']) for f in findings]}")
            else:
                if changed:
                    failures.append(f"{entry.name}: meant to change nothing, but changes the outcome ({', '.join(changed)})")
                errors = [finding for finding in findings if finding["severity"] == "error"]
                if errors:
                    errors_on_harmless += 1
                    failures.append(f"{entry.name}: changes nothing, but lint reports errors: "
                                    f"{[(f['line'], f['check'], f['message']) for f in errors]}")
                else:
                    print(f"  no error:      {entry.name}")
    print(f"{flagged} of {changing} mistakes that change the outcome flagged on their line; "
          f"{errors_on_harmless} of {len(harmless)} harmless edits with an error")
    for failure in failures:
        print(f"FAIL: {failure}")
    return 1 if failures else 0


def self_test():
    """The edits themselves: a replacement, an insertion and a deletion give the lines they name, and an
    edit whose old text does not match its line is refused."""
    data = b"one\r\ntwo\r\nthree"
    failures = []
    cases = [("2: two => TWO\\t", b"one\r\nTWO\t\r\nthree", 2), ("+1: new", b"one\r\nnew\r\ntwo\r\nthree", 2),
             ("-3: three", b"one\r\ntwo", 3), ("file: cr", b"one\rtwo\rthree", 1),
             ("1: one => x\\|y\\x41", b"x|yA\r\ntwo\r\nthree", 1), ("-1: one && -1: two", b"three", 1)]
    for edit, expected, line in cases:
        got = apply_edit(edit, data, Path("."))
        if got != (expected, line):
            failures.append(f"{edit!r} gives {got!r}, not {(expected, line)!r}")
    try:
        apply_edit("2: three => x", data, Path("."))
        failures.append("an edit whose old text does not match was made")
    except ValueError:
        pass
    for failure in failures:
        print(f"FAIL: {failure}")
    print("OK: the edits are made as written" if not failures else "")
    return 1 if failures else 0


if __name__ == "__main__":
    if sys.argv[1:] == ["--self-test"]:
        sys.exit(self_test())
    if len(sys.argv) != 5:
        print(__doc__.strip())
        sys.exit(2)
    sys.exit(run(*sys.argv[1:]))
