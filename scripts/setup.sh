#!/usr/bin/env bash
# Installs what the build needs on Debian: "host" for the simulated machine and its tools, "example" adds
# the i386 cross compiler that builds QUELM.EXE and the stand-in installer for the example disk, "all"
# adds both Windows cross compilers, Wine and a virtual X display for the end-to-end tests. 32-bit Wine is
# installed only where the kernel runs 32-bit programs; elsewhere the tests take 64-bit Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

what="${1:-all}"
# genisoimage, xorriso and mtools master the disk images the tests run, as authors burn them.
host_packages=(cmake ninja-build g++ libgtest-dev libcli11-dev nlohmann-json3-dev python3 clang-format valgrind pciutils
               clang-14 libclang-rt-14-dev clang-tidy cppcheck genisoimage xorriso mtools)
# The example disk's QUELM.EXE and stand-in installer need only the i386 cross compiler.
example_packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686)
# fonts-wine, which wine only recommends, holds Marlett and Tahoma for the guide's pictures of the boxes.
windows_packages=("${example_packages[@]}" g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 fonts-wine xvfb
                  xauth)

missing_of() {
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$package"
    fi
  done
}

install() {
  [ $# -eq 0 ] && return 0
  local needs_i386=false package
  for package in "$@"; do
    [[ "$package" == *:i386 ]] && needs_i386=true
  done
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages: $*" >&2
    echo "Install them as root with:" >&2
    $needs_i386 && echo "  dpkg --add-architecture i386" >&2
    echo "  apt-get update && apt-get install -y $*" >&2
    exit 1
  fi
  if $needs_i386 && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q "$@"
}

# The host packages first: deciding about 32-bit Wine needs python3.
mapfile -t missing < <(missing_of "${host_packages[@]}")
install "${missing[@]}"
if [ "$what" = example ]; then
  mapfile -t missing < <(missing_of "${example_packages[@]}")
  install "${missing[@]}"
fi
[ "$what" = all ] || exit 0

packages=("${windows_packages[@]}")
if python3 tests/e2e/wine/wine_arch.py runs-i386; then
  packages+=(wine32:i386)
fi
mapfile -t missing < <(missing_of "${packages[@]}")
install "${missing[@]}"
