#!/usr/bin/env bash
# The layer check passes on the repository and names each kind of upward
# arrow planted in a small tree of its own.
set -uo pipefail
script="$1/scripts/check_layers.py"
fail=0

python3 "$script" "$1" >/dev/null || { echo "FAIL: the repository itself does not pass"; fail=1; }

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/{host/sdl,host/headless,platform/include,platform/win32,gfx,devices,game,app,entry}
touch "$tree"/host/host.h "$tree"/host/sdl/sdl_host.h "$tree"/host/headless/headless_host.h \
      "$tree"/platform/include/windows.h "$tree"/platform/win32/win32_internal.h "$tree"/gfx/gfx.h \
      "$tree"/devices/graphics.h "$tree"/game/game_state.h "$tree"/app/win_main.h
good() { printf '%s\n' "$2" >>"$tree/$1"; }
good gfx/ok.cpp '#include <windows.h>'
good gfx/ok.cpp '#include "gfx/gfx.h"'
good game/ok.cpp '#include "devices/graphics.h"'
good game/ok.cpp '#include "gfx/gfx.h"'
good platform/win32/ok.cpp '#include "host/host.h"'
good entry/ok.cpp '#include "host/sdl/sdl_host.h"'
good entry/ok.cpp '#include "app/win_main.h"'
good gfx/ok.cpp '/* #include "host/host.h" in a comment is no include */'
if ! out=$(python3 "$script" "$tree"); then echo "FAIL: a clean tree is refused: $out"; fail=1; fi

expect() {  # FILE LINE PATTERN: the planted line is reported with PATTERN
  printf '%s\n' "$2" >"$tree/$1"
  out=$(python3 "$script" "$tree" 2>/dev/null)
  if [ $? -eq 0 ] || ! grep -q "^$1:1: .*$3" <<<"$out"; then echo "FAIL: $1: '$2' not reported ($out)"; fail=1; fi
  rm "$tree/$1"
}
expect gfx/bad.cpp '#include "game/game_state.h"' 'game/ is above gfx/'
expect devices/bad.cpp '#include "app/win_main.h"' 'app/ is above devices/'
expect gfx/bad.cpp '#include "host/host.h"' 'host/ is reached from above platform/'
expect gfx/bad.cpp '#include "../host/host.h"' 'host/ is reached from above platform/'
expect game/bad.cpp '#include <host/host.h>' 'host/ is reached from above platform/'
expect platform/win32/bad.cpp '#include "host/headless/headless_host.h"' 'for entry/ only'
expect host/sdl/bad.cpp '#include "host/headless/headless_host.h"' 'reaches into host/headless'
expect host/bad.cpp '#include <windows.h>' 'platform/ is above host/'
expect gfx/bad.cpp '#include "platform/win32/win32_internal.h"' 'inner platform header'
expect app/bad.cpp '#include <SDL.h>' 'SDL and X11 belong to host/sdl'
expect platform/win32/bad.cpp '#include <X11/Xlib.h>' 'SDL and X11 belong to host/sdl'
expect gfx/bad.cpp 'namespace host {' 'namespace host, which belongs to host/'
expect devices/bad.cpp 'namespace gfx {' 'namespace gfx, which belongs to gfx/'
exit $fail
