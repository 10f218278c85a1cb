#!/usr/bin/env bash
# Installs, with apt-get, what the machine lacks of one of two sets:
#   scripts/deps.sh run    what building and running the monitor needs: the
#                          cross compiler, CMake and Ninja, Wine, Xvfb and the
#                          screenshot tools (the run command's set)
#   scripts/deps.sh test   the run set and everything the tests, benchmarks and
#                          tools use (the default)
# Safe to run again: it installs only what is missing.
set -euo pipefail
set_name=${1:-test}

run_packages=(
  cmake ninja-build g++-mingw-w64-x86-64
  wine wine64 fonts-wine xvfb xauth xdotool imagemagick
)
test_packages=(
  g++ python3 g++-mingw-w64-i686 mingw-w64-tools
  googletest libgtest-dev libbenchmark-dev gnuplot-nox
  clang llvm libclang-rt-14-dev cppcheck
  clang-tools-14  # clang-cl: the MSVC-style compiler of the device build's configure check
  procps util-linux zip unzip htop
  chromium chromium-driver python3-selenium prometheus
)

case "$set_name" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: scripts/deps.sh [run|test]" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Tests only: Wine's 32-bit half, for the device's branch built 32-bit. Only
# where the kernel runs 32-bit programs: once wine32 is installed, Debian's
# `wine` starts every program through its 32-bit loader, so on a kernel that
# refuses 32-bit programs every Wine run would fail.
if [ "$set_name" = test ] &&
   ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' &&
   bash "$(dirname "${BASH_SOURCE[0]}")/can-run-32bit.sh" >/dev/null; then
  echo "Installing: wine32:i386"
  export DEBIAN_FRONTEND=noninteractive
  dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null
fi
