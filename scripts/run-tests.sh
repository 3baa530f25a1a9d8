#!/usr/bin/env bash
# Builds everything (host tools and tests, the Windows program) and runs every test, the
# end-to-end tests under Wine included.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh all
cmake --preset win32 >/dev/null
cmake --build --preset win32
cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host "$@"
