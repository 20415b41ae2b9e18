#!/usr/bin/env python3
"""Focuses an X window and presses one key in it through XTest.

Usage: press_key.py DISPLAY WINDOW_ID [KEYSYM]   (KEYSYM defaults to Escape, 0xFF1B)
"""
import ctypes
import sys


def main():
    if len(sys.argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    x11 = ctypes.CDLL("libX11.so.6")
    xtst = ctypes.CDLL("libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
    x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
    d = x11.XOpenDisplay(sys.argv[1].encode())
    if not d:
        print(f"press_key: cannot open display {sys.argv[1]}", file=sys.stderr)
        return 1
    x11.XSetInputFocus(d, int(sys.argv[2], 16), 2, 0)  # RevertToParent
    key = x11.XKeysymToKeycode(d, int(sys.argv[3], 16) if len(sys.argv) > 3 else 0xFF1B)
    for down in (1, 0):
        xtst.XTestFakeKeyEvent(d, key, down, 0)
        x11.XSync(d, 0)
    x11.XCloseDisplay(d)
    return 0


if __name__ == "__main__":
    sys.exit(main())
