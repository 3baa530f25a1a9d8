#!/usr/bin/env python3
"""Mutation testing of the launcher's core: whether the unit and tool tests fail on a planted fault.

Each mutant is one change to one line of a .cpp file in src/app, src/card, src/config, src/probe or
src/handoff: a comparison operator (< <= > >= == !=) swapped for its neighbour or its opposite, && for ||
and back, a ! removed, an integer constant one up or one down, a boolean return turned over, an integer
return made 0. Each is built in a copy of the sources with a build folder of its own (BUILD_DIR, the host
preset there, without debug information), and the unit and tool tests of that build run on it
(ctest -L unit and -L tool, the checks of the code's shape left out): a mutant is caught when a test
fails or runs past the time limit (so a mutant that loops for ever is caught), survives when every test
passes. One line per mutant, then the score.

    mutation_test.py [--seed N] [--count N]      a sample of the mutants, the same for the same seed
    mutation_test.py --sample FILE                the mutants FILE names; status 1 unless all are caught
    mutation_test.py --check FILE                 without building: that FILE's mutants all still exist
    mutation_test.py --list                       every mutant, without building

    --build-dir DIR   the copy and its build (default build/mutation)
    --time-limit S    seconds a test may run before it counts as failed (default 120)
    --jobs N          build and test jobs (default 2)

A seed picks mutants by a hash of what they change, not by line number, so the same seed keeps picking
the same mutants where their lines stay as they were. Survivors listed in tests/mutation/harmless.txt,
each with why it cannot change what the launcher does, are counted apart.
"""

import argparse
import hashlib
import re
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
CORE_FOLDERS = ("src/app", "src/card", "src/config", "src/probe", "src/handoff")
HARMLESS = ROOT / "tests" / "mutation" / "harmless.txt"
DEFAULT_SEED = 25
DEFAULT_COUNT = 120

COMPARISONS = {"<": ("<=", ">="), "<=": ("<", ">"), ">": (">=", "<="), ">=": (">", "<"), "==": ("!=",),
               "!=": ("==",)}
LOGICAL = {"&&": ("||",), "||": ("&&",)}
# clang-format sets binary operators between blanks and template brackets without them, so a blank on
# either side tells a comparison from a template argument list.
BINARY = re.compile(r"(?<= )(<=|>=|==|!=|&&|\|\||<|>)(?= )")
NEGATION = re.compile(r"(?<![\w)\]])!(?=[\w(])")
NUMBER = re.compile(r"(?<![\w.])(0[xX][0-9A-Fa-f]+|[0-9]+)([uUlL]*)(?![\w.])")
BOOLEAN_RETURN = re.compile(r"\breturn (true|false);")
# A function's definition begins at the first column: its result type says what a return may be turned into.
DEFINITION = re.compile(r"^(?:\[\[\w+\]\]\s+)?(?:static\s+|inline\s+|constexpr\s+)*(bool|unsigned|int32_t|uint32_t|int)\s+"
                        r"[\w:]+\(")
RETURN = re.compile(r"\breturn (?!(?:true|false|0|0u);)([^;]+);\s*$")


@dataclass(frozen=True)
class Mutant:
    path: str  # from the project's root
    line_number: int
    text: str  # the line as written, without its indentation
    repeat: int  # 1 for the first line of the file written so, 2 for the second...
    column: int
    original: str
    replacement: str
    occurrence: int  # 1 for the first `original` of the line, 2 for the second...
    kind: str

    def name(self):
        occurrence = f"#{self.occurrence}" if self.occurrence > 1 else ""
        repeat = f"#{self.repeat}" if self.repeat > 1 else ""
        return (f"{self.path}:{self.line_number}: '{self.original}'{occurrence} -> '{self.replacement}' "
                f"in{repeat}: {self.text}")

    def key(self):
        return (self.path, self.text, self.repeat, self.original, self.occurrence, self.replacement)

    def apply(self, source):
        lines = source.splitlines(keepends=True)
        line = lines[self.line_number - 1]
        assert line[self.column:self.column + len(self.original)] == self.original, self.name()
        lines[self.line_number - 1] = line[:self.column] + self.replacement + line[self.column + len(self.original):]
        return "".join(lines)


NAMED = re.compile(r"^(?P<path>\S+?):\d+: '(?P<original>.*?)'(?:#(?P<occurrence>\d+))? -> "
                   r"'(?P<replacement>.*?)' in(?:#(?P<repeat>\d+))?: (?P<text>.*)$")


def named_key(line):
    """The key of a mutant as name() writes it (the line number is not part of it), or None."""
    match = NAMED.match(line)
    if not match:
        return None
    return (match["path"], match["text"].strip(), int(match["repeat"] or 1), match["original"],
            int(match["occurrence"] or 1), match["replacement"])


def masked(lines):
    """Each line with comments, string and character literals blanked, and None for the lines no mutant
    may touch: preprocessor lines and static assertions, which test the code rather than run in it."""
    result, in_comment, assertion_depth = [], False, 0
    for line in lines:
        out, i = [], 0
        while i < len(line):
            if in_comment:
                end = line.find("*/", i)
                stop = len(line) if end < 0 else end + 2
                out.append(" " * (stop - i))
                in_comment, i = end < 0, stop
            elif line.startswith("//", i):
                out.append(" " * (len(line) - i))
                i = len(line)
            elif line.startswith("/*", i):
                in_comment = True
            elif line[i] in "\"'":
                quote, j = line[i], i + 1
                while j < len(line) and line[j] != quote:
                    j += 2 if line[j] == "\\" else 1
                out.append(quote + " " * (min(j, len(line)) - i - 1) + (quote if j < len(line) else ""))
                i = j + 1
            else:
                out.append(line[i])
                i += 1
        code = "".join(out)
        if assertion_depth == 0 and "static_assert" in code:
            # An assertion may run over several lines: until its parentheses close.
            assertion_depth = max(code.count("(") - code.count(")"), 0)
            result.append(None)
            continue
        if assertion_depth > 0:
            assertion_depth += code.count("(") - code.count(")")
            result.append(None)
            continue
        result.append(None if code.lstrip().startswith("#") else code)
    return result


def bumped(number, step):
    value = int(number, 16) if number.lower().startswith("0x") else int(number)
    if value + step < 0:
        return None
    return f"0x{value + step:X}" if number.lower().startswith("0x") else str(value + step)


def line_mutations(code, line, result_type):
    """(column, original, replacement, kind) for every mutation of one line, found in its masked `code`;
    `result_type` is that of the function it stands in (None outside one)."""
    found = []
    for match in BINARY.finditer(code):
        operator = match.group(1)
        kind = "logical" if operator in LOGICAL else "comparison"
        for replacement in {**COMPARISONS, **LOGICAL}[operator]:
            found.append((match.start(), operator, replacement, kind))
    for match in NEGATION.finditer(code):
        found.append((match.start(), "!", "", "logical"))
    for match in NUMBER.finditer(code):
        number, suffix = match.group(1), match.group(2)
        for step in (1, -1):
            replacement = bumped(number, step)
            if replacement is not None:
                found.append((match.start(), number + suffix, replacement + suffix, "constant"))
    for match in BOOLEAN_RETURN.finditer(code):
        word = match.group(1)
        found.append((match.start(1), word, "false" if word == "true" else "true", "boolean return"))
    match = RETURN.search(code)
    if match and result_type == "bool":
        expression = line[match.start(1):match.end(1)]
        found.append((match.start(1), expression, f"!({expression})", "boolean return"))
    elif match and result_type is not None:
        found.append((match.start(1), line[match.start(1):match.end(1)], "0", "integer return"))
    return found


def core_files(root):
    return sorted(path for folder in CORE_FOLDERS for path in (root / folder).glob("*.cpp"))


def all_mutants(root):
    mutants = []
    for path in core_files(root):
        relative = path.relative_to(root).as_posix()
        lines = path.read_text().splitlines()
        seen_texts, result_type = {}, None
        for number, (line, code) in enumerate(zip(lines, masked(lines)), start=1):
            text = line.strip()
            seen_texts[text] = seen_texts.get(text, 0) + 1
            if code is None:
                continue
            if code[:1].strip():
                definition = DEFINITION.match(code)
                result_type = definition.group(1) if definition else None
            occurrences = {}
            for column, original, replacement, kind in sorted(line_mutations(code, line, result_type)):
                slot = (original, column)
                occurrences.setdefault(original, [])
                if slot not in occurrences[original]:
                    occurrences[original].append(slot)
                occurrence = occurrences[original].index(slot) + 1
                mutants.append(Mutant(relative, number, text, seen_texts[text], column, original, replacement,
                                      occurrence, kind))
    return mutants


def sampled(mutants, seed, count):
    def rank(mutant):
        return hashlib.sha256(f"{seed}\0{mutant.key()}".encode()).hexdigest()
    return sorted(sorted(mutants, key=rank)[:count], key=lambda mutant: (mutant.path, mutant.line_number))


def entries(path):
    """[(key, line)] of the mutants a file names, one a line; '#' comments and indented notes skipped."""
    found = []
    for line in path.read_text().splitlines():
        if not line.strip() or line.startswith(("#", " ")):
            continue
        key = named_key(line)
        if key is None:
            raise SystemExit(f"{path}: not a mutant: {line}")
        found.append((key, line))
    return found


def named(mutants, path):
    """The mutants a file names; stops with the lines that name none."""
    by_key = {mutant.key(): mutant for mutant in mutants}
    stale = [line for key, line in entries(path) if key not in by_key]
    if stale:
        raise SystemExit(f"{path}: these mutants no longer exist in the sources:\n  " + "\n  ".join(stale))
    return [by_key[key] for key, _ in entries(path)]


def stale_harmless(mutants):
    keys = {mutant.key() for mutant in mutants}
    return [line for key, line in entries(HARMLESS) if key not in keys] if HARMLESS.is_file() else []


class Workspace:
    """A copy of the sources and its own host build, which a mutant changes and builds."""

    def __init__(self, build_dir, jobs, time_limit):
        self.copy = build_dir / "source"
        self.build = self.copy / "build" / "host"
        self.jobs = jobs
        self.time_limit = time_limit

    def sync(self):
        listed = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"], cwd=ROOT,
                                capture_output=True, check=True).stdout.decode().split("\0")
        files = {name for name in listed if name and (ROOT / name).is_file()}
        for name in sorted(files):
            source, target = ROOT / name, self.copy / name
            # Only what changed is written, so that the build stays incremental from one run to the next.
            if not target.is_file() or target.read_bytes() != source.read_bytes():
                target.parent.mkdir(parents=True, exist_ok=True)
                shutil.copyfile(source, target)
                shutil.copymode(source, target)
        for path in sorted(self.copy.rglob("*"), reverse=True):
            relative = path.relative_to(self.copy)
            if relative.parts[0] == "build" or relative.as_posix() in files:
                continue
            if path.is_dir():
                if not any(path.iterdir()):
                    path.rmdir()
            else:
                path.unlink()

    def configure(self):
        if (self.build / "CMakeCache.txt").is_file():
            return
        # Debug information only costs time here.
        subprocess.run(["cmake", "--preset", "host", "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG"],
                       cwd=self.copy, check=True, stdout=subprocess.DEVNULL)

    def built(self):
        result = subprocess.run(["cmake", "--build", str(self.build), "--parallel", str(self.jobs)],
                                cwd=self.copy, capture_output=True, text=True, check=False)
        return result.returncode == 0, result.stdout + result.stderr

    def test(self):
        """(passed, what failed first)."""
        result = subprocess.run(
            ["ctest", "--test-dir", str(self.build), "-L", "^(unit|tool)$", "-E", r"^structure\.", "--timeout",
             str(self.time_limit), "--stop-on-failure", "-j", str(self.jobs)], cwd=self.copy,
            capture_output=True, text=True, check=False)
        failed = re.findall(r"Test\s+#\d+: (\S+) \.*\s*(\*\*\*\w+|Exception: \w+|\w+ \*\*\*)", result.stdout)
        what = ", ".join(f"{name} {status.strip('* ').lower()}" for name, status in failed[:2])
        last = result.stdout.strip().splitlines()[-1:]
        return result.returncode == 0, what or (last[0] if last else "no output")

    def run(self, mutant):
        """The mutant's outcome: 'caught', 'survived' or 'not built', and a note."""
        path = self.copy / mutant.path
        original = path.read_text()
        path.write_text(mutant.apply(original))
        try:
            ok, log = self.built()
            if not ok:
                errors = [line for line in log.splitlines() if "error" in line]
                return "not built", errors[0].strip()[:120] if errors else "build failed"
            passed, what = self.test()
            return ("survived", "") if passed else ("caught", what)
        finally:
            path.write_text(original)


def run_mutants(workspace, mutants, harmless):
    started = time.monotonic()
    print(f"Preparing {workspace.build} ...", flush=True)
    workspace.sync()
    workspace.configure()
    ok, log = workspace.built()
    if not ok:
        raise SystemExit(f"the unchanged sources do not build:\n{log[-3000:]}")
    passed, what = workspace.test()
    if not passed:
        raise SystemExit(f"the unchanged sources fail their tests ({what}): no mutant could be judged")
    print(f"Unchanged sources built and tested in {time.monotonic() - started:.0f} s; {len(mutants)} mutants",
          flush=True)
    counts = {"caught": 0, "survived": 0, "harmless": 0, "not built": 0}
    survivors = []
    for index, mutant in enumerate(mutants, start=1):
        outcome, note = workspace.run(mutant)
        if outcome == "survived" and mutant.key() in harmless:
            outcome = "harmless"
        if outcome == "caught" and mutant.key() in harmless:
            note += "; listed as harmless, yet caught"
        counts[outcome] += 1
        if outcome == "survived":
            survivors.append(mutant)
        print(f"{index:3} {outcome:9} {mutant.name()}" + (f"  ({note})" if note else ""), flush=True)
    built = len(mutants) - counts["not built"]
    can_change = built - counts["harmless"]
    print(f"\nScore: {counts['caught']} of {built} built mutants caught ({percent(counts['caught'], built)}); "
          f"{counts['harmless']} survivors judged harmless ({HARMLESS.relative_to(ROOT)}), so "
          f"{counts['caught']} of {can_change} that can change behaviour ({percent(counts['caught'], can_change)}); "
          f"{counts['survived']} survived; {counts['not built']} did not build; "
          f"{(time.monotonic() - started) / 60:.1f} minutes")
    return counts, survivors


def percent(part, whole):
    return f"{100 * part / whole:.1f} %" if whole else "-"


def main(arguments):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED)
    parser.add_argument("--count", type=int, default=DEFAULT_COUNT)
    parser.add_argument("--sample", type=Path, help="run the mutants this file names; all must be caught")
    parser.add_argument("--check", type=Path, help="only check that this file's mutants still exist")
    parser.add_argument("--list", action="store_true", help="list every mutant without building")
    parser.add_argument("--build-dir", type=Path, default=ROOT / "build" / "mutation")
    parser.add_argument("--time-limit", type=int, default=120)
    parser.add_argument("--jobs", type=int, default=2)
    options = parser.parse_args(arguments)
    mutants = all_mutants(ROOT)
    harmless = {key for key, _ in entries(HARMLESS)} if HARMLESS.is_file() else set()
    if options.list:
        for mutant in mutants:
            print(f"{mutant.kind:14} {mutant.name()}")
        kinds = sorted({mutant.kind for mutant in mutants})
        print(f"{len(mutants)} mutants: " + ", ".join(
            f"{sum(mutant.kind == kind for mutant in mutants)} {kind}" for kind in kinds))
        return 0
    if options.check:
        found = named(mutants, options.check)
        print(f"{len(found)} mutants of {options.check.name} exist among the {len(mutants)} of the core")
        for line in stale_harmless(mutants):
            print(f"note: {HARMLESS.name} names a mutant that no longer exists: {line}")
        return 0
    chosen = named(mutants, options.sample) if options.sample else sampled(mutants, options.seed, options.count)
    if not options.sample:
        print(f"Seed {options.seed}, {len(chosen)} of the core's {len(mutants)} mutants")
        for line in stale_harmless(mutants):
            print(f"note: {HARMLESS.name} names a mutant that no longer exists: {line}")
    workspace = Workspace(options.build_dir.resolve(), options.jobs, options.time_limit)
    counts, _ = run_mutants(workspace, chosen, set() if options.sample else harmless)
    if options.sample and counts["caught"] != len(chosen):
        print("FAIL: a mutant of the fixed sample was not caught: a test lost its grip, or the sample went stale")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
