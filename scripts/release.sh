#!/usr/bin/env bash
# Builds the releases from a clean copy of the committed tree and fills dist/ with them:
#
#   quelm-VERSION-win32.zip                the disk kit: QUELM.EXE, the example disk, the guide, the
#                                          licence and the stand-in installer program
#   quelm-sim-VERSION-windows-x64.zip      quelm-sim.exe, the guide, the licence
#   quelm-sim-VERSION-linux-x86_64.tar.gz  bin/quelm-sim and share/doc/quelm
#   quelm-sim_VERSION_amd64.deb            the same as a Debian package
#   SHA256SUMS                             the checksums of all four
#
# The same commit gives the same bytes wherever and whenever it is built with the same Debian tool
# chain: archive times are SOURCE_DATE_EPOCH (the commit's time unless set, as Debian's reproducible
# builds do), no build path reaches a program, and programs carry no time stamp.
#
#   scripts/release.sh [--out DIR] [--work DIR]
#
# --out names the folder to fill instead of dist/; --work the folder to build in (kept afterwards)
# instead of a temporary one. Changes not yet committed are not part of a release.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

out=$root/dist
work=
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) echo "usage: scripts/release.sh [--out DIR] [--work DIR]" >&2; exit 2 ;;
  esac
done

scripts/setup.sh all
commit=$(git rev-parse HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release.sh: uncommitted changes are left out: the release is built from commit $commit" >&2
fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct "$commit")}
# What the archives hold and in which order must not depend on the builder's language or umask.
export LC_ALL=C TZ=UTC
umask 022

if [ -z "$work" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
source=$work/quelm
rm -rf "$source"
mkdir -p "$source"
git archive --format=tar "$commit" | tar -x -C "$source"

cd "$source"
# The disk kit: QUELM.EXE and vadrun.exe for i386, without the test programs.
cmake --preset win32 -DQUELM_RELEASE=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build --preset win32 --target package
# quelm-sim.exe for 64-bit Windows.
cmake --preset tool-win64 -DQUELM_RELEASE=ON >/dev/null
cmake --build --preset tool-win64 --target package
# quelm-sim for Linux: the tool alone, without the tests and the benchmark.
cmake --preset host -DQUELM_RELEASE=ON -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF >/dev/null
cmake --build --preset host --target quelm-sim
(cd build/host && cpack)

mkdir -p "$out"
rm -f "$out"/quelm-*.zip "$out"/quelm-sim-*.tar.gz "$out"/quelm-sim_*.deb "$out"/SHA256SUMS
cp build/win32/quelm-*-win32.zip build/tool-win64/quelm-sim-*-windows-x64.zip \
   build/host/quelm-sim-*-linux-*.tar.gz build/host/quelm-sim_*.deb "$out"/
cd "$out"
sha256sum quelm-*.zip quelm-sim-*.tar.gz quelm-sim_*.deb > SHA256SUMS
echo "release of commit $commit (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH) in $out:"
ls -l "$out"
