#!/usr/bin/env bash
# Builds everything (host tools and tests, the Windows program and its 64-bit test build) and runs
# every test, the end-to-end tests under Wine included. QUELM_WINE_ARCH=win32|win64|both forces the
# Wine path; unset, every path this host can run is taken.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh all
for preset in win32 win64 host; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
python3 tests/e2e/wine/wine_arch.py selected
ctest --preset host "$@"
