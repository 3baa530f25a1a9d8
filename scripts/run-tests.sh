#!/usr/bin/env bash
# Builds everything (host tools and tests, the Windows program and its 64-bit test build, quelm-sim.exe,
# the release archive) and runs every test: the unit and tool tests again under the address and
# undefined-behaviour sanitizers, the fuzz targets for about a minute, the fixed sample of mutants that
# the unit and tool tests must catch (tests/mutation), the releases into dist/ (scripts/release.sh),
# then all tests of the host build, the end-to-end tests under Wine and the release checks included. Arguments go to that last ctest run alone (scripts/run-tests.sh -L unit),
# which then runs without the sanitizer, fuzz and release passes.
# QUELM_WINE_ARCH=win32|win64|both forces the Wine path; unset, every path this host can run is taken.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh all
for preset in win32 win64 tool-win64 host; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
cmake --build --preset win32 --target package

if [ $# -eq 0 ]; then
  for preset in host-sanitize fuzz; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
  done
  # A handful of planted faults, each of which a test must catch, in a build of their own (build/mutation).
  python3 tests/mutation/mutation_test.py --sample tests/mutation/sample.txt
  # The releases, which the last tests check and build a second time to compare.
  scripts/release.sh
fi

python3 tests/e2e/wine/wine_arch.py selected
ctest --preset host "$@"
