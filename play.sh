#!/usr/bin/env bash
# Sets up, builds the release preset and starts the game in its own folder.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
bin=build/release/bin
if [ ! -x "$bin/velmora" ]; then
  echo "Velmora builds, but there is no game to play yet."
  exit 0
fi
cd "$bin"
exec ./velmora "$@"
