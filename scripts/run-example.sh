#!/usr/bin/env bash
# Builds quelm-sim and shows what the example disk does: on Windows 98 with its card, on Windows 95
# OSR2 when the user cancels, on NT 4.0, on every version at once, and what lint makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh host
cmake --preset host >/dev/null
cmake --build --preset host --target quelm-sim

machine=examples/machine
echo "== Windows 98 with the card in the AGP slot =="
build/host/quelm-sim run examples/disk --os W98 --pci 01:00.0=1A2B:3C4D \
  --registry "$machine/win98-card.reg" --installer-exit 0 "$@"
echo
echo "== Windows 95 OSR2 without the USB supplement, the user cancels =="
build/host/quelm-sim run examples/disk --os W95B --pci 01:00.0=1A2B:3C4D \
  --registry "$machine/win98-card.reg" --answer CANCEL "$@"
echo
echo "== Windows NT 4.0 =="
build/host/quelm-sim run examples/disk --os NT40 --pci 01:00.0=1A2B:3C4D "$@"
echo
echo "== The same disk on every Windows version =="
build/host/quelm-sim run examples/disk --all-os --pci 01:00.0=1A2B:3C4D --registry "$machine/win98-card.reg"
echo
echo "== Checking the disk for the mistakes the launcher passes over in silence =="
build/host/quelm-sim lint examples/disk
