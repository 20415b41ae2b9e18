# Sourced by the package checks: find the game's window on an X display and
# press a key in it.
#
# The program may make its window twice (it makes it again without OpenGL
# when OpenGL turns out to be a software rasteriser), so a window counts only
# once it is shown and the same one is found on two polls in a row, and a
# key press whose window went away is tried again on the window found then.

# velmora_window DISPLAY: the id of the VELMORA window, or nothing.
velmora_window() {
  DISPLAY=$1 xwininfo -root -tree 2>/dev/null | awk '/"VELMORA"/ {print $1; exit}'
}

# wait_for_velmora_window DISPLAY PID: prints the settled window's id; fails
# when PID ends or about 30 s pass without one.
wait_for_velmora_window() {
  local display=$1 pid=$2 seen= now
  for _ in $(seq 150); do
    sleep 0.2
    kill -0 "$pid" 2>/dev/null || return 1
    now=$(velmora_window "$display")
    if [ -n "$now" ] && [ "$now" = "$seen" ] &&
       DISPLAY=$display xwininfo -id "$now" 2>/dev/null | grep -q 'IsViewable'; then
      echo "$now"
      return 0
    fi
    seen=$now
  done
  return 1
}

# press_in_velmora_window DISPLAY WINDOW [KEYSYM]: focuses the window and
# presses the key (Escape by default), up to three times on the window of
# the moment if the X server says the window is gone.
press_in_velmora_window() {
  local display=$1 window=$2 keysym=${3:-0xFF1B}
  for _ in 1 2 3; do
    "${VELMORA_PYTHON:-python3}" "$(dirname "${BASH_SOURCE[0]}")/press_key.py" "$display" "$window" "$keysym" && return 0
    sleep 0.5
    window=$(velmora_window "$display")
    [ -n "$window" ] || return 1
  done
  return 1
}
