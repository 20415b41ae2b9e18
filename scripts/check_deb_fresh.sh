#!/usr/bin/env bash
# Installs a velmora .deb into a fresh Debian 12 (debootstrap, minbase) and
# plays it there: the package's dependencies must bring everything the game
# needs. Starts `velmora` from the player's home under a private Xvfb,
# waits for the VELMORA window, presses Escape and expects exit status 0.
# Slow (downloads a base system) and needs root, so it is not part of CI.
#
#   scripts/check_deb_fresh.sh build/release/velmora_*.deb [CHROOT_DIR]
set -euo pipefail
. "$(dirname "$0")/x_window.sh"
deb=$(readlink -f "$1")
root=${2:-/var/tmp/velmora-deb12}
[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap and chroot)" >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "apt-get install debootstrap" >&2; exit 1; }
if [ ! -x "$root/usr/bin/apt-get" ]; then
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/root/"
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
mkdir -p "$root/tmp/.X11-unix"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
cleanup() {
  kill "$xvfb" 2>/dev/null || true
  umount "$root/tmp/.X11-unix" "$root/dev" "$root/proc" 2>/dev/null || true
}
trap cleanup EXIT

chroot "$root" apt-get update -qq
chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y "/root/$(basename "$deb")"
mkdir -p "$root/home/player"
timeout 120 chroot "$root" sh -c "cd /home/player && DISPLAY=$display SDL_AUDIODRIVER=dummy velmora" &
game=$!
window=$(wait_for_velmora_window "$display" "$game") || { echo "FAIL: no VELMORA window" >&2; exit 1; }
echo "VELMORA window $window is up"
press_in_velmora_window "$display" "$window" || { echo "FAIL: Escape could not be pressed" >&2; exit 1; }
status=0
wait "$game" || status=$?
echo "velmora exited with $status"
[ "$status" -eq 0 ]
