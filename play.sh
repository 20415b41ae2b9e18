#!/usr/bin/env bash
# Builds what a player needs (the player preset) and starts the game.
# The first run installs the packages it needs (scripts/setup.sh player) and
# builds for a few minutes; later runs rebuild only what changed and print
# nothing from the build. Arguments go to the game.
set -euo pipefail
cd "$(dirname "$0")"
build=build/player
if [ ! -f "$build/CMakeCache.txt" ]; then
  ./scripts/setup.sh player
  echo "play.sh: building the game (the first time takes a few minutes; log: $build/build.log)"
  scripts/configure.sh player >/dev/null
fi
if ! cmake --build --preset player >"$build/build.log" 2>&1; then
  cat "$build/build.log"
  echo "play.sh: the build failed (above; also in $build/build.log)" >&2
  exit 1
fi
# The launcher the build writes beside bin/: it starts the program among
# its WAV files, and without sound (saying so) on a machine without audio.
exec "$build/velmora" "$@"
