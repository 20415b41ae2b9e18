#!/usr/bin/env bash
# The layer check passes on the repository and names each kind of upward
# arrow planted in a small tree of its own.
# Usage: check_layers_test.sh REPOSITORY [PYTHON]
set -uo pipefail
script="$1/scripts/check_layers.py"
python="${2:-python3}"
fail=0

"$python" "$script" "$1" >/dev/null || { echo "FAIL: the repository itself does not pass"; fail=1; }

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/{host/sdl,host/headless,host/web,platform/include,platform/win32,platform/d3d9,gfx,devices,game,app,entry} \
         "$tree"/{tools/replay,tools/bench_device,tools/bench_web,tools/headless_device,tests/gfx,tests/host,tests/e2e,tests/d3d9}
touch "$tree"/host/host.h "$tree"/host/sdl/sdl_host.h "$tree"/host/headless/headless_host.h \
      "$tree"/platform/include/windows.h "$tree"/platform/win32/win32_internal.h "$tree"/gfx/gfx.h \
      "$tree"/devices/graphics.h "$tree"/game/game_state.h "$tree"/app/win_main.h \
      "$tree"/tools/headless_device/headless_device.h
good() { printf '%s\n' "$2" >>"$tree/$1"; }
good gfx/ok.cpp '#include <windows.h>'
good gfx/ok.cpp '#include "gfx/gfx.h"'
good game/ok.cpp '#include "devices/graphics.h"'
good game/ok.cpp '#include "gfx/gfx.h"'
good platform/win32/ok.cpp '#include "host/host.h"'
good entry/ok.cpp '#include "host/sdl/sdl_host.h"'
good entry/ok.cpp '#include "app/win_main.h"'
good host/web/ok.cpp '#include <emscripten/html5.h>'
good gfx/ok.cpp '/* #include "host/host.h" in a comment is no include */'
good gfx/ok.cpp 'namespace fs = std::filesystem;'
good platform/d3d9/ok.cpp 'namespace d3d9sw {'
good tools/replay/ok.cpp '#include "host/headless/headless_host.h"'
good tools/replay/ok.cpp '#include "app/win_main.h"'
good tools/replay/ok.cpp 'namespace replay {'
good tools/bench_device/ok.cpp 'namespace benchdevice {'
good tools/replay/more.cpp 'namespace benchdevice {'
good tools/bench_device/ok.cpp '#include <SDL.h>'
good tools/bench_web/ok.cpp '#include <emscripten.h>'
good tools/headless_device/ok.cpp '#include "host/headless/headless_host.h"'
good tests/gfx/ok.cpp '#include "tools/headless_device/headless_device.h"'
good tests/gfx/ok.cpp '#include "gfx/gfx.h"'
good tests/gfx/ok.cpp '#include "host/headless/headless_host.h"'
good tests/d3d9/ok.cpp '#include "platform/win32/win32_internal.h"'
good tests/host/ok.cpp '#include <SDL.h>'
good tests/e2e/ok.cpp '#include <X11/Xlib.h>'
good tests/e2e/ok.cpp '#include "app/win_main.h"'
if ! out=$("$python" "$script" "$tree"); then echo "FAIL: a clean tree is refused: $out"; fail=1; fi

expect() {  # FILE LINE PATTERN: the planted line is reported with PATTERN
  printf '%s\n' "$2" >"$tree/$1"
  out=$("$python" "$script" "$tree" 2>/dev/null)
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
expect platform/win32/bad.cpp '#include <emscripten.h>' 'the browser belongs to host/web'
expect entry/bad.cpp '#include <emscripten/html5.h>' 'the browser belongs to host/web'
expect gfx/bad.cpp 'namespace host {' 'namespace host, which belongs to host/'
expect devices/bad.cpp 'namespace gfx {' 'namespace gfx, which belongs to gfx/'
expect host/sdl/bad.cpp 'int k = VK_LEFT;' 'names VK_LEFT'
expect host/headless/bad.cpp 'keys[DIK_SPACE] = 0x80;' 'names DIK_SPACE'
expect host/bad.cpp 'if (flags & MB_YESNO) return IDYES;' 'names MB_YESNO'
expect gfx/bad.cpp 'namespace d3d9sw {' 'namespace d3d9sw, which belongs to platform/'
expect game/bad.cpp 'namespace dsound {' 'namespace dsound, which belongs to platform/'
expect app/bad.cpp 'namespace replay {' 'namespace replay, which belongs to tools/'
expect game/bad.cpp 'namespace benchdevice {' 'namespace benchdevice, which belongs to tools/'
expect tools/replay/bad.cpp 'namespace host {' 'namespace host, which belongs to host/'
expect tools/replay/bad.cpp '#include <emscripten.h>' 'the browser belongs to host/web'
expect tools/headless_device/bad.cpp '#include "gfx/gfx.h"' 'gfx/ is above platform/'
expect tools/replay/bad.cpp '#include <SDL.h>' 'SDL and X11 belong to host/sdl'
expect entry/bad.cpp '#include "tools/replay/ok.cpp"' 'tools/ is above entry/'
expect tests/gfx/bad.cpp '#include "devices/graphics.h"' 'devices/ is above gfx/, the layer tests/gfx tests'
expect tests/d3d9/bad.cpp '#include "gfx/gfx.h"' 'gfx/ is above platform/, the layer tests/d3d9 tests'
expect tests/gfx/bad.cpp '#include <SDL.h>' 'SDL and X11 belong to host/sdl'
expect tests/e2e/bad.cpp 'namespace gfx {' 'namespace gfx, which belongs to gfx/'
exit $fail
