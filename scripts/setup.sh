#!/usr/bin/env bash
# Installs the Debian packages Velmora needs to build, test and play.
# Run as root it installs what is missing; otherwise it prints the command.
# `scripts/setup.sh web` adds the browser build's toolchain (emscripten,
# brotli for the precompressed files, binaryen), what the browser tests drive
# (Chromium, its driver, python3-selenium; Firefox ESR over WebDriver BiDi
# with python3-websockets) and node for the page's own script tests;
# `scripts/setup.sh ci` adds those and what .ci/run's other steps use
# (lintian for the package, the X utilities that find and drive its window).
set -euo pipefail
packages=(cmake g++ clang libclang-rt-14-dev make pkg-config libsdl2-dev libx11-dev libgtest-dev libgmock-dev
          libbenchmark-dev libpixman-1-dev libstb-dev xvfb xauth libxtst6 python3 libspng-dev libjpeg62-turbo-dev
          libturbojpeg0-dev desktop-file-utils appstream dpkg-dev file)
case "${1:-}" in
  "") ;;
  web|ci) packages+=(emscripten brotli binaryen nodejs chromium chromium-driver python3-selenium firefox-esr
                     python3-websockets) ;;&
  web) ;;
  ci) packages+=(lintian x11-utils) ;;
  *) echo "usage: scripts/setup.sh [web|ci]" >&2; exit 2 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then exit 0; fi
if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Missing packages. Run:"
  echo "  sudo apt-get install -y ${missing[*]}"
  exit 1
fi
