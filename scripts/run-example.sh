#!/usr/bin/env bash
# Builds quelm-sim and shows what the example disk does on a Windows 98 machine that has its card.
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
