#!/usr/bin/env bash
# Sets up, builds the release preset and starts the game in its own folder.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
bin=build/release/bin
if [ ! -x "$bin/velmora" ]; then
  echo "Velmora did not build: there is no build/release/bin/velmora to start."
  exit 1
fi

# True when this machine has some audio output SDL could open: a sound
# server's socket or an ALSA playback device.
has_audio_output() {
  local run="${XDG_RUNTIME_DIR:-/run/user/$(id -u)}"
  [ -n "${PULSE_SERVER:-}" ] && return 0
  [ -S "$run/pulse/native" ] || [ -S "$run/pipewire-0" ] && return 0
  compgen -G "/dev/snd/pcmC*D*p" >/dev/null && return 0
  return 1
}

# The program itself ends with -1 when it finds no sound device; the
# launcher plays without sound instead on a machine that has none at all.
if [ -z "${SDL_AUDIODRIVER:-}" ] && ! has_audio_output; then
  echo "play.sh: no audio output on this machine; playing without sound (SDL_AUDIODRIVER=dummy)."
  export SDL_AUDIODRIVER=dummy
fi
cd "$bin"
exec ./velmora "$@"
