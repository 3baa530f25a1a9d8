#!/usr/bin/env bash
# Builds quelm-sim and QUELM.EXE with its stand-in installer program, assembles the example disk as it
# would be burnt (build/win32/example-disk), and shows what it does: on Windows 98 with its card, on
# Windows 95 OSR2 when the user cancels, on NT 4.0, on every version at once, and what lint makes of it;
# then a faulty copy of it, and the mistakes lint finds there.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh example
for preset in host win32; do
  cmake --preset "$preset" >/dev/null
done
cmake --build --preset host --target quelm-sim
cmake --build --preset win32 --target example-disk

disk=build/win32/example-disk
machine=examples/machine
echo "== The example disk: $(cd "$disk" && ls | tr '\n' ' ')"
echo
echo "== Windows 98 with the card in the AGP slot =="
build/host/quelm-sim run "$disk" --os W98 --pci 01:00.0=1A2B:3C4D \
  --registry "$machine/win98-card.reg" --installer-exit 0 "$@"
echo
echo "== Windows 95 OSR2 without the USB supplement, the user cancels =="
build/host/quelm-sim run "$disk" --os W95B --pci 01:00.0=1A2B:3C4D \
  --registry "$machine/win98-card.reg" --answer CANCEL "$@"
echo
echo "== Windows NT 4.0 =="
build/host/quelm-sim run "$disk" --os NT40 --pci 01:00.0=1A2B:3C4D "$@"
echo
echo "== The same disk on every Windows version =="
build/host/quelm-sim run "$disk" --all-os --pci 01:00.0=1A2B:3C4D --registry "$machine/win98-card.reg"
echo
echo "== Checking the disk for the mistakes the launcher passes over in silence =="
build/host/quelm-sim lint "$disk"
echo
echo "== A faulty copy (examples/faulty-disk) on Windows 98: the UTF-8 mark hides every script =="
build/host/quelm-sim run examples/faulty-disk --os W98 --pci 01:00.0=1A2B:3C4D
echo
echo "== What lint finds on the faulty copy =="
build/host/quelm-sim lint examples/faulty-disk || echo "(lint's status $?: findings, as expected)"
