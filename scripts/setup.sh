#!/usr/bin/env bash
# Installs what the build needs on Debian: "host" for the simulated machine and its tools,
# "all" adds the Windows cross compiler, Wine and a virtual X display for the end-to-end tests.
set -euo pipefail

what="${1:-all}"
packages=(cmake ninja-build g++ libgtest-dev libcli11-dev nlohmann-json3-dev python3)
if [ "$what" = all ]; then
  packages+=(g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 xvfb xauth)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

needs_i386=false
for package in "${missing[@]}"; do
  [[ "$package" == *:i386 ]] && needs_i386=true
done

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them as root with:" >&2
  $needs_i386 && echo "  dpkg --add-architecture i386" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi

if $needs_i386 && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q "${missing[@]}"
