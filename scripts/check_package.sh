#!/usr/bin/env bash
# Makes the Debian package from a built tree, checks it and plays it:
#   1. cpack -G DEB in the build folder;
#   2. lintian: any error fails (warnings and notes are printed);
#   3. every dependency it declares is installed here, and its files are
#      unpacked into a scratch root;
#   4. the launcher in that root is started from / under a private Xvfb:
#      the VELMORA window must appear, and Escape must end it with status 0.
#
#   scripts/check_package.sh [BUILD_DIR]      (default build/release, already built)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts=$PWD/scripts
. "$scripts/x_window.sh"
build=$(readlink -f "${1:-build/release}")
[ -x "$build/bin/velmora" ] || { echo "check_package: no built game in $build/bin (build the release preset)" >&2; exit 1; }

(cd "$build" && rm -f velmora_*.deb && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
deb=$(ls "$build"/velmora_*.deb)
echo "check_package: made $(basename "$deb") ($(stat -c %s "$deb") bytes)"

lint=$(lintian --no-tag-display-limit --info "$deb" 2>&1) || true
[ -z "$lint" ] || printf '%s\n' "$lint"
count() { grep -c "^$1: " <<<"$lint" || true; }
echo "check_package: lintian: $(count E) errors, $(count W) warnings, $(count I) notes, $(count P) pedantic"
[ "$(count E)" -eq 0 ] || { echo "check_package: lintian reports errors" >&2; exit 1; }

# Each dependency group (a | b) must be met by an installed package.
missing=()
IFS=',' read -ra groups <<<"$(dpkg-deb -f "$deb" Depends)"
for group in "${groups[@]}"; do
  met=
  IFS='|' read -ra choices <<<"$group"
  for choice in "${choices[@]}"; do
    name=$(awk '{print $1}' <<<"$choice")
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed" && met=1
  done
  [ -n "$met" ] || missing+=("$(xargs <<<"$group")")
done
[ ${#missing[@]} -eq 0 ] || { echo "check_package: dependencies not installed: ${missing[*]}" >&2; exit 1; }
echo "check_package: every declared dependency is installed ($(dpkg-deb -f "$deb" Depends))"

root=$(mktemp -d /tmp/velmora-package.XXXXXX)
xvfb=
game=
cleanup() {
  [ -z "$game" ] || kill "$game" 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$root"
# Debian puts games' launchers in /usr/games; a plain install in /usr/bin.
launcher=
for candidate in "$root/usr/games/velmora" "$root/usr/bin/velmora"; do
  [ -x "$candidate" ] && { launcher=$candidate; break; }
done
[ -n "$launcher" ] || { echo "check_package: the package has no usr/games/velmora or usr/bin/velmora" >&2; exit 1; }

display=:$((200 + RANDOM % 300))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
(cd / && DISPLAY=$display SDL_AUDIODRIVER=dummy exec timeout 120 "$launcher") &
game=$!
window=$(wait_for_velmora_window "$display" "$game") ||
  { echo "check_package: the installed launcher, started from /, showed no VELMORA window" >&2; exit 1; }
echo "check_package: the installed launcher started from / shows window $window"
press_in_velmora_window "$display" "$window" ||
  { echo "check_package: Escape could not be pressed in the VELMORA window" >&2; exit 1; }
status=0
wait "$game" || status=$?
game=
echo "check_package: velmora exited with status $status after Escape"
[ "$status" -eq 0 ]
