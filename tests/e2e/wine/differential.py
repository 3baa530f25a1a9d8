#!/usr/bin/env python3
"""Differential checks of the simulated machine against Wine: the profile reader over a corpus of
awkward INI files against GetPrivateProfileStringA, and the core's formatting of hardware IDs,
locations and format strings against wsprintfA.

    differential.py profile --arch ARCH --work-dir DIR --windows-dir DIR --sim-probe PROGRAM
    differential.py format  --arch ARCH --work-dir DIR --windows-dir DIR --sim-probe PROGRAM
"""

import argparse
import random
import shutil
import subprocess
import sys
from pathlib import Path

import wine_arch
from wine_session import WineError, WineSession, windows_path

# Wine's profile reader is the same code on every Windows version it offers; Windows' is not. Each
# version probed is compared with the simulation of the system it stands for.
PROBE_VERSIONS = {"win98": "W98", "win10": "WINNT"}
MAX_REPORTED = 25

# Where Wine and Windows read a file's bytes differently, the simulation follows Windows, and these
# files meet the difference: Wine decodes a UTF-8 mark and UTF-16 on every version and reads files of
# any size, while no Windows knows the UTF-8 mark (first-hand tests on Windows 10 21H1), Windows 9x and
# NT 4.0 read UTF-16 as bytes (the Tera Term project's tests) and the 16-bit profile code of Windows 9x
# ignores what lies past 64 KB (Microsoft KB Q78346). Windows 9x and Me read a CR that no LF follows
# as part of the line, where Wine (like NT) ends the line there: Wine's own profile tests skip that
# case on those systems, "Win9x and WinME don't handle 'CR only' correctly" (dlls/kernel32/tests/profile.c).
KNOWN_DIFFERENCES = {
    ("win98", "utf8-mark.ini"): "no Windows recognises the UTF-8 mark: line 1 is no section header",
    ("win10", "utf8-mark.ini"): "no Windows recognises the UTF-8 mark: line 1 is no section header",
    ("win98", "utf16.ini"): "Windows 98 reads a UTF-16 file as bytes and finds nothing",
    ("win98", "over-64k.ini"): "Windows 98 reads only the first 64 KB of a file",
}
LONE_CR = "Windows 98 ends no line at a CR alone"


def known_difference(version, file_path):
    """Why Windows and Wine read this file differently under `version`; None where they should not."""
    reason = KNOWN_DIFFERENCES.get((version, file_path.name))
    if reason is None and version == "win98" and file_path.is_file():
        data = file_path.read_bytes()
        # The random files of the corpus hold such CRs too: every one is the same difference.
        if any(data[at + 1:at + 2] != b"\n" for at in range(len(data)) if data[at] == 0x0D):
            reason = LONE_CR
    return reason


# --- The profile corpus ------------------------------------------------------------------------

LONG_VALUES = {length: "".join(chr(ord("a") + index % 26) for index in range(length))
               for length in (1, 7, 8, 9, 254, 255, 256, 257, 510, 511, 512, 513)}


def crlf(text):
    return text.replace("\n", "\r\n").encode("cp1252")


def curated_files():
    """Named files, each with the sections and keys worth asking it for."""
    files = {}
    files["blanks.ini"] = (crlf(
        "\n   \n[Sec]\n  spaced  =  inner  blanks  \ntabbed\t=\tvalue\t\n \t[ Padded ] \nk = v \n"
        "[Sec Two]\nkey with blanks = yes\n"),
        ["Sec", " Sec ", "sec", "Padded", " Padded", "Sec Two", "SecTwo"],
        ["spaced", " spaced ", "tabbed", "k", "key with blanks", "key  with blanks"])
    files["quotes.ini"] = (crlf(
        '[Q]\ndq="quoted"\nsq=\'single\'\nmixed="x\'\nlone="\npair=""\nsingles=\'\'\ninner="a" and "b"\n'
        'padded="  kept  "\nopen="open\nclose=close"\nspaced= "spaced quotes" \ntriple="""\nbare=plain\n'
        'name"=quoted key\n"quotedkey"=v\n'),
        ["Q"],
        ["dq", "sq", "mixed", "lone", "pair", "singles", "inner", "padded", "open", "close", "spaced",
         "triple", "bare", 'name"', '"quotedkey"', "quotedkey"])
    files["duplicates.ini"] = (crlf(
        "[Dup]\nkey=first\nKEY=second\nkey=third\nother=1\n[dup]\nkey=from the second section\nlate=only later\n"
        "[Other]\nkey=other\n[DUP]\nlate=third section\n"),
        ["Dup", "dup", "DUP", "Other"], ["key", "Key", "other", "late"])
    files["no-equals.ini"] = (crlf(
        "[N]\nnoequals\nbare\nbare=hidden by the line above\n=empty key\nempty=\nspaces=   \nk=v=w\nafter=1\n"),
        ["N"], ["noequals", "bare", "", " ", "empty", "spaces", "k", "after", "missing"])
    files["comments.ini"] = (crlf(
        "; a comment before any section\n[C]\n;comment=seen as a key\n# hash=also a key\n"
        "value=kept ; not a comment\n  ; indented=comment\nreal=1\n;[NotASection]\nx=y\n"),
        ["C", "NotASection", ""], [";comment", "comment", "# hash", "value", "; indented", "real", "x"])
    files["brackets.ini"] = (crlf(
        "top=before any section\n[Sec\nafterunclosed=in the section before\n[x]y]\nk=last bracket\n"
        "[ Trailing ] text after\nk=trailing\n[]\nk=empty name\n[[double]]\nk=double\n"),
        ["", " ", "Sec", "[Sec", "x]y", "x", "Trailing", "[double]", "[double"],
        ["top", "afterunclosed", "k"])
    files["sizes.ini"] = (crlf(
        "[S]\n" + "".join(f"v{length}={value}\n" for length, value in LONG_VALUES.items())
        + "".join(f'q{length}="{value}"\n' for length, value in LONG_VALUES.items())
        + "empty=\n"),
        ["S"], [f"v{length}" for length in LONG_VALUES] + [f"q{length}" for length in LONG_VALUES] + ["empty"])
    sample = "[L]\nfirst=one\n\nsecond=two\n[M]\nthird=three"
    for name, ending in (("cr.ini", "\r"), ("lf.ini", "\n"), ("crlf.ini", "\r\n"), ("lfcr.ini", "\n\r")):
        files[name] = (sample.replace("\n", ending).encode("ascii"), ["L", "M"], ["first", "second", "third"])
    files["mixed-ends.ini"] = (b"[L]\r\nfirst=one\rsecond=two\n\r\nthird=three\r\r\rfourth=four",
                               ["L"], ["first", "second", "third", "fourth"])
    files["eight-bit.ini"] = ("[Ger\xe4t]\nSchl\xfcssel=Wert \xe9\xe8\n[GER\xc4T]\nanother=x\n".encode("cp1252"),
                              ["Ger\xe4t", "GER\xc4T", "ger\xe4t"], ["Schl\xfcssel", "SCHL\xdcSSEL", "another"])
    files["control.ini"] = (b"\x1a[Z]\x1a\r\nkey=\x1avalue\x1a\x0b\r\nnul=a\x00b\r\n\x0c[T]\x0c\r\nk=\x0cv\r\n",
                            ["Z", "T"], ["key", "nul", "k"])
    marked = "[Marked]\r\nkey=value \xe4\xe9\r\n[Next]\r\nkey=next\r\n"
    files["utf8-mark.ini"] = (b"\xef\xbb\xbf" + marked.encode("utf-8"), ["Marked", "Next"], ["key"])
    files["utf16.ini"] = (b"\xff\xfe" + marked.encode("utf-16-le"), ["Marked", "Next"], ["key"])
    files["over-64k.ini"] = (crlf("[Early]\nkey=early\n[Padding]\n" + ";" * 65536 + "\n[Late]\nkey=late\n"),
                             ["Early", "Late"], ["key"])
    files["empty.ini"] = (b"", ["", "Any"], ["key"])
    files["missing.ini"] = (None, ["Any"], ["key"])
    return files


def random_files(count, seed):
    """Short files of the characters that matter to the reader, for what nobody thought of."""
    generator = random.Random(seed)
    alphabet = [b"[", b"]", b"=", b" ", b"\t", b"\r", b"\n", b"\r\n", b";", b'"', b"'", b"a", b"A", b"k", b"K",
                b"s", b"S", b"\x1a", b"\xe4", b"\xc4", b"x"]
    names = ["", " ", "a", "A", "s", "S", "k", "x", "[a", "a]", "\xe4", "\xc4"]
    files = {}
    for index in range(count):
        contents = b"".join(generator.choice(alphabet) for _ in range(generator.randint(0, 60)))
        files[f"random{index:02d}.ini"] = (contents, names, names)
    return files


def hex_field(text):
    return "h" + text.encode("cp1252").hex()


DEFAULTS = ["", "dflt", "dflt  ", "   ", '"quoted default"', "'x"]
RANDOM_LOOKUPS_PER_FILE = 60


def lookup_line(name, section, key, default, size):
    return f"{name} {hex_field(section)} {hex_field(key)} {hex_field(default)} {size}"


def profile_lookups(files):
    """One look-up a line: every section and key each curated file names, with several defaults and
    the buffer sizes around each value's length (roomy, exactly fitting, one too small); a sample of
    names and sizes for the random files."""
    defaults = DEFAULTS
    lines = []
    for name, (contents, sections, keys) in files.items():
        if name.startswith("random"):
            generator = random.Random(name)
            for _ in range(RANDOM_LOOKUPS_PER_FILE):
                lines.append(lookup_line(name, generator.choice(sections), generator.choice(keys),
                                         generator.choice(DEFAULTS), generator.choice([1, 2, 3, 4, 6, 10, 300])))
            continue
        values = [len(value) for value in LONG_VALUES.values()] if name == "sizes.ini" else [0, 3, 5]
        sizes = sorted({0, 1, 2, 3, 4, 6, 8, 10, 300, 600} | {size + delta for size in values for delta in (-1, 0, 1, 2)
                                                          if size + delta > 0})
        for section_index, section in enumerate(sections):
            for key_index, key in enumerate(keys):
                default = defaults[(section_index + key_index) % len(defaults)]
                chosen = sizes if name == "sizes.ini" else sizes[::2] if (section_index + key_index) % 2 else sizes[1::2]
                for size in chosen:
                    lines.append(lookup_line(name, section, key, default, size))
    return lines


def write_profile_corpus(folder):
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    files = {**curated_files(), **random_files(40, seed=1998)}
    for name, (contents, _, _) in files.items():
        if contents is not None:
            (folder / name).write_bytes(contents)
    cases_file = folder / "lookups.txt"
    lookups = profile_lookups(files)
    cases_file.write_text("\n".join(lookups) + "\n")
    return cases_file, lookups


def describe_lookup(line):
    name, section, key, default, size = line.split(" ")
    def decode(field):
        return bytes.fromhex(field[1:]).decode("cp1252")

    return f"{name} [{decode(section)!r}] {decode(key)!r} default {decode(default)!r} size {size}"


def describe_profile_result(line):
    returned, text, terminated, tail = line.split(" ")
    shown = "" if text == "-" else bytes.fromhex(text).decode("cp1252")
    return f"returns {returned}, text {shown!r}, terminated {terminated}, bytes past the buffer intact {tail}"


# --- The format cases ----------------------------------------------------------------------------

def format_cases():
    generator = random.Random(95)
    lines = []
    identifications = [0, 0xFFFFFFFF, 0x3C4D1A2B, 0x00010002, 0xABCDEF01, 0x0000FFFF, 0xFFFF0000, 0x71908086]
    identifications += [generator.getrandbits(32) for _ in range(40)]
    lines += [f"hwid {value:08x}" for value in identifications]
    for bus in (0, 1, 2, 9, 10, 15, 16, 127, 255, 256, 4095):
        for device in (0, 1, 9, 10, 11, 15, 16, 31, 32):
            for function in (0, 1, 7, 8):
                lines.append(f"location {bus} {device} {function}")

    def text(value):
        return "s:" + value.encode("cp1252").hex()

    def number(value):
        return f"i:{value}"

    integers = [0, 1, 9, 10, 42, 255, 256, 65535, 65536, 2147483647, -1, -42, -2147483648]
    for conversion in ("%d", "%u", "%x", "%X", "%2d", "%02d", "%8X", "%08X", "%04X", "%02X", "%32d", "%032x",
                       "%1d", "%010u", "<%5d>", "%%%d%%"):
        for value in integers:
            lines.append(f"format 64 {hex_field(conversion)} {number(value)}")
    command = "vadrun.exe Enum\\PCI\\%s %s %s %d"
    install_dirs = ["D:\\WIN98", "D:", "", "D:\\A DIR WITH BLANKS\\WIN95", "D:\\" + "x" * 200]
    for capacity in (256, 64, 40, 33, 32, 20, 1):
        for install_dir in install_dirs:
            for hardware_id, location, flag in (("VEN_1A2B&DEV_3C4D", "BUS_01&DEV_00&FUNC_00", 1),
                                                ("VEN_1A2B&DEV_3C4D", "000800", 0), ("", "", 1)):
                lines.append(f"format {capacity} {hex_field(command)} {text(hardware_id)} {text(location)} "
                             f"{text(install_dir)} {number(flag)}")
    for capacity in (1, 2, 3, 5, 8, 12):
        lines.append(f"format {capacity} {hex_field('VEN_%04X&DEV_%04X')} {number(0x1A2B)} {number(0x3C4D)}")
        lines.append(f"format {capacity} {hex_field('%d')} {number(-123456)}")
        lines.append(f"format {capacity} {hex_field('ab%sef')} {text('cd')}")
    return lines


def compare_format(case_line, real, simulated):
    """The core cuts to its capacity where wsprintfA (which has none) does not: a whole result must
    equal wsprintfA's, a cut one must be its beginning and say that it was cut."""
    words = case_line.split(" ")
    if words[0] != "format":
        return real == simulated, real
    capacity = int(words[1])
    real_text = b"" if real == "-" else bytes.fromhex(real)
    expected_text = real_text[:max(capacity - 1, 0)]
    expected = f"{expected_text.hex() or '-'} {1 if len(real_text) <= capacity - 1 else 0}"
    return simulated == expected, expected


# --- Running both sides ----------------------------------------------------------------------------

def run_simulated(sim_probe, arguments):
    result = subprocess.run([str(sim_probe), *arguments], capture_output=True, timeout=120, check=False)
    if result.returncode != 0:
        raise WineError(f"sim-probe failed ({result.returncode}): {result.stderr.decode(errors='replace')}")
    return result.stdout.decode("latin-1").splitlines()


def run_real(session, windows_dir, version, arguments, output_name):
    session.set_windows_version(version)
    status, output = session.run([str(windows_dir / "platform-probe.exe"), *arguments], timeout=300,
                                 log_name=output_name)
    if status != 0:
        raise WineError(f"platform-probe failed under Wine {version} ({status}): {output[-2000:]}")
    return output.splitlines()


def check(kind, arch, work_dir, windows_dir, sim_probe):
    session = WineSession(work_dir / "session", arch)
    if not (windows_dir / "platform-probe.exe").is_file():
        raise WineError(f"{windows_dir / 'platform-probe.exe'} is missing (cmake --build --preset win32 / win64)")
    folder = work_dir / f"differential-{kind}"
    if kind == "profile":
        cases_file, lookups = write_profile_corpus(folder)
        simulated_by_version = {version: run_simulated(sim_probe, ["profile", str(cases_file), str(folder), system])
                                for version, system in PROBE_VERSIONS.items()}
        real_arguments = ["profile", windows_path(cases_file), windows_path(folder)]
    else:
        folder.mkdir(parents=True, exist_ok=True)
        lookups = format_cases()
        cases_file = folder / "formats.txt"
        cases_file.write_text("\n".join(lookups) + "\n")
        simulated = run_simulated(sim_probe, ["format", str(cases_file)])
        simulated_by_version = {version: simulated for version in PROBE_VERSIONS}
        real_arguments = ["format", windows_path(cases_file)]

    failures = 0
    known = set()
    for version in PROBE_VERSIONS:
        simulated = simulated_by_version[version]
        real = run_real(session, windows_dir, version, real_arguments, f"probe-{kind}-{version}")
        if len(real) != len(lookups) or len(simulated) != len(lookups):
            raise WineError(f"{len(lookups)} cases, but {len(real)} real and {len(simulated)} simulated results")
        for line, real_result, simulated_result in zip(lookups, real, simulated):
            if kind == "profile":
                same, expected = real_result == simulated_result, real_result
            else:
                same, expected = compare_format(line, real_result, simulated_result)
            if same:
                continue
            reason = known_difference(version, folder / line.split(" ")[0]) if kind == "profile" else None
            if reason:
                if (version, reason) not in known:
                    known.add((version, reason))
                    print(f"KNOWN DIFFERENCE under {version}, Windows followed: {reason}; Wine: "
                          f"{describe_profile_result(expected)}, simulated: {describe_profile_result(simulated_result)}"
                          f" ({describe_lookup(line)})")
                continue
            failures += 1
            if failures <= MAX_REPORTED:
                if kind == "profile":
                    print(f"DIFFERS under {version}: {describe_lookup(line)}\n"
                          f"    Wine:      {describe_profile_result(expected)}\n"
                          f"    simulated: {describe_profile_result(simulated_result)}")
                else:
                    print(f"DIFFERS under {version}: {line}\n    Wine: {expected}\n    core: {simulated_result}")
        print(f"{kind}: {len(lookups)} cases under Wine {version}")
    if failures:
        raise WineError(f"{failures} results differ between Wine and the simulation")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("kind", choices=["profile", "format"])
    parser.add_argument("--arch", choices=wine_arch.ARCHES, required=True)
    parser.add_argument("--work-dir", type=Path, required=True)
    parser.add_argument("--windows-dir", type=Path, required=True)
    parser.add_argument("--sim-probe", type=Path, required=True)
    options = parser.parse_args()
    wine_arch.skip_unless_selected(options.arch)
    try:
        check(options.kind, options.arch, options.work_dir.resolve(), options.windows_dir.resolve(),
              options.sim_probe)
    except WineError as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
