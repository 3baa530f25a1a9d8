#!/usr/bin/env bash
# Captures the example disk's message boxes from QUELM.EXE under Wine on a virtual display and writes
# them to docs/images as the pictures of docs/disk-authoring.md: Windows 98 with the card not yet
# registered and without the card, the USB notice of Windows 95 with OK and Cancel, and NT 4.0's notice.
# Wine draws them in its own style, whichever Windows version it reports.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh all
cmake --preset win32 >/dev/null
cmake --build --preset win32
python3 tests/e2e/wine/capture_boxes.py --windows-dir build/win32 --out docs/images "$@"
