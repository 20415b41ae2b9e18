#!/usr/bin/env bash
# Installs the Debian packages Velmora needs. Run as root it installs what
# is missing; otherwise it prints the command.
#   scripts/setup.sh          everything a developer needs: build, test, package
#   scripts/setup.sh player   only what the player preset builds (./play.sh)
#   scripts/setup.sh web      adds the browser build's toolchain (emscripten,
#                             brotli for the precompressed files, binaryen),
#                             what the browser tests drive (Chromium, its
#                             driver, python3-selenium; Firefox ESR over
#                             WebDriver BiDi with python3-websockets) and node
#                             for the page's own script tests
#   scripts/setup.sh ci       those and what .ci/run's other steps use (the
#                             X utilities that find and drive the window)
set -euo pipefail
player=(cmake g++ ninja-build pkg-config libsdl2-dev libx11-dev libspng-dev libdeflate-dev libjpeg62-turbo-dev libturbojpeg0-dev
        libstb-dev)
developer=("${player[@]}" clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev
           xvfb xauth xfonts-base libxtst6 python3 desktop-file-utils appstream dpkg-dev file lintian zip unzip)
web=(emscripten brotli binaryen nodejs chromium chromium-driver python3-selenium firefox-esr python3-websockets)
case "${1:-}" in
  "") packages=("${developer[@]}") ;;
  player) packages=("${player[@]}") ;;
  web) packages=("${developer[@]}" "${web[@]}") ;;
  ci) packages=("${developer[@]}" "${web[@]}" x11-utils) ;;
  *) echo "usage: scripts/setup.sh [player | web | ci]" >&2; exit 2 ;;
esac
# One query for every package: this runs before each ./play.sh.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null | awk '/install ok installed/ {print $1}')
missing=()
for p in "${packages[@]}"; do
  grep -qx -- "$p" <<<"$installed" || missing+=("$p")
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
