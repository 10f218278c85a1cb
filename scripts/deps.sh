#!/usr/bin/env bash
# Installs, with apt-get, whatever the build, the tests or the run command need
# and the machine lacks. Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ python3
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools
  googletest libgtest-dev libbenchmark-dev
  wine wine64 fonts-wine xvfb xauth xdotool imagemagick gnuplot-nox
  clang llvm libclang-rt-14-dev cppcheck
  procps util-linux zip unzip htop
  chromium chromium-driver python3-selenium prometheus
)

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
