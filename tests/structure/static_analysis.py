#!/usr/bin/env python3
"""Static analysis of the project's own code: clang-tidy with .clang-tidy, cppcheck with
tests/structure/cppcheck-suppressions.txt. Any finding fails.

    static_analysis.py clang-tidy CLANG_TIDY BUILD_DIR FILE...   files compiled in BUILD_DIR
    static_analysis.py cppcheck CPPCHECK ROOT                      src/ and tools/
"""
import concurrent.futures
import functools
import json
import os
import shlex
import subprocess
import sys
import tempfile
from pathlib import Path

JOBS = max(1, min(4, os.cpu_count() or 1))
# Options GCC takes that clang, under clang-tidy, refuses: they shape the Windows image's code and
# layout, not what the analysis reads.
GCC_ONLY = {"-fno-tree-loop-distribute-patterns", "-malign-data=abi", "-mpreferred-stack-boundary=2"}


@functools.lru_cache(maxsize=None)
def cxx_library_headers(compiler):
    """The C++ library's header folders of a mingw-w64 cross compiler, as it searches them. Clang looks
    for them under the GCC version's folder, which Debian names "12-win32", a name it cannot read."""
    if "mingw32" not in Path(compiler).name:
        return ()
    result = subprocess.run([compiler, "-E", "-x", "c++", "-", "-v"], input="", capture_output=True, text=True,
                            check=False)
    return tuple(line.strip() for line in result.stderr.splitlines() if line.startswith(" /") and "/c++" in line)


def clang_database(build_dir, folder):
    """BUILD_DIR's compile commands without the options only GCC knows, in `folder`."""
    entries = json.loads((Path(build_dir) / "compile_commands.json").read_text())
    for entry in entries:
        words = entry.pop("arguments", None) or shlex.split(entry.pop("command"))
        headers = [word for folder_name in cxx_library_headers(words[0]) for word in ("-isystem", folder_name)]
        entry["arguments"] = [words[0], *headers, *(word for word in words[1:] if word not in GCC_ONLY)]
    (Path(folder) / "compile_commands.json").write_text(json.dumps(entries))
    return folder


def run_clang_tidy(clang_tidy, build_dir, files):
    with tempfile.TemporaryDirectory() as folder:
        return run_clang_tidy_with(clang_tidy, clang_database(build_dir, folder), files)


def run_clang_tidy_with(clang_tidy, database, files):
    def one(file):
        result = subprocess.run([clang_tidy, "-p", str(database), "--quiet", file], capture_output=True, text=True,
                                check=False)
        findings = [line for line in result.stdout.splitlines() if ": error: " in line or ": warning: " in line]
        if result.returncode != 0 and not findings:
            findings = [f"{file}: clang-tidy failed: {result.stderr.strip()[-500:]}"]
        return findings

    with concurrent.futures.ThreadPoolExecutor(JOBS) as pool:
        findings = [finding for found in pool.map(one, files) for finding in found]
    return sorted(set(findings)), len(files)


def run_cppcheck(cppcheck, root):
    suppressions = root / "tests" / "structure" / "cppcheck-suppressions.txt"
    result = subprocess.run(
        [cppcheck, "--quiet", "--enable=warning,style,performance,portability", "--std=c++20", "--inline-suppr",
         f"--suppressions-list={suppressions}", "-I", "src", "-I", "tools/quelm-sim", "--library=windows",
         "--template={file}:{line}: {severity}: {message} [{id}]", f"-j{JOBS}", "src", "tools"],
        capture_output=True, text=True, cwd=root, check=False)
    findings = [line for line in result.stderr.splitlines() if line.strip()]
    files = sum(1 for folder in ("src", "tools") for path in (root / folder).rglob("*") if path.suffix in (".cpp", ".h"))
    return findings, files


def main(arguments):
    try:
        if len(arguments) >= 4 and arguments[0] == "clang-tidy":
            findings, files = run_clang_tidy(arguments[1], Path(arguments[2]), arguments[3:])
        elif len(arguments) == 3 and arguments[0] == "cppcheck":
            findings, files = run_cppcheck(arguments[1], Path(arguments[2]).resolve())
        else:
            print(__doc__.strip())
            return 2
    except OSError as error:
        print(f"FAIL: cannot run {arguments[1]} ({error.strerror}); install it (scripts/setup.sh does)")
        return 1
    for finding in findings:
        print(f"FAIL: {finding}")
    print(f"{arguments[0]}: {files} files, {len(findings)} findings")
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
