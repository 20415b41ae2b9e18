#!/usr/bin/env bash
# Configures a preset's build folder: scripts/configure.sh PRESET [CMAKE ARGS].
# The presets build with Ninja; a folder configured before with another
# generator (they used Makefiles once) gets a fresh cache first, since CMake
# refuses to change a folder's generator in place.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: scripts/configure.sh PRESET [CMAKE ARGS]" >&2; exit 2; }
preset=$1
shift
cache=build/$preset/CMakeCache.txt
if [ -f "$cache" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$cache"; then
  echo "configure.sh: build/$preset was made by another generator; configuring it afresh" >&2
  rm -rf "build/$preset/CMakeCache.txt" "build/$preset/CMakeFiles"
fi
exec cmake --preset "$preset" "$@"
