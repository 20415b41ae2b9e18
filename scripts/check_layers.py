#!/usr/bin/env python3
"""Checks that the layers' arrows point down.

Reads every #include and every namespace declaration in the layers' sources
and fails (exit 1, one line per fault) when one of them:
  - includes a layer above its own;
  - reaches into host/ from above platform/ (only platform/ and the process
    entries in entry/ may know the host interface; only entry/ and a host's
    own folder may know a host implementation);
  - includes a platform library's inner header from gfx/ up to app/ (they
    see only platform/include: windows.h, d3d9.h, ...; the process entries,
    which put host and platform together, may see more);
  - includes SDL or X11 outside host/sdl;
  - declares into another layer's namespace (a self-made declaration of
    host::ShouldFail in gfx/ passes every include rule but is the same
    upward arrow).
The build enforces the include rules too (each library sees only its own
folders); this check also names the fault and covers files no target builds.
Usage: scripts/check_layers.py [REPOSITORY_ROOT]
"""
import os
import re
import sys

# Bottom up; a layer may include its own folder and any layer below it.
LAYERS = ["host", "platform", "gfx", "devices", "game", "app", "entry"]
RANK = {name: i for i, name in enumerate(LAYERS)}
# Namespaces a layer owns; no other layer may declare into them.
NAMESPACE_OWNERS = {"host": "host", "platform": "platform", "d3d9": "platform", "dsound": "platform",
                    "gfx": "gfx", "entry": "entry"}
HOST_ONLY_SYSTEM = re.compile(r"^(SDL2?/|SDL[_.]|X11/)")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
NAMESPACE = re.compile(r"^\s*namespace\s+([A-Za-z_][A-Za-z0-9_]*)")
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c", ".inc")


def area_of(path):
    """Layer and part of a repository-relative path: ('host', 'sdl'),
    ('platform', 'include'), ('gfx', ''), or (None, '') outside the layers."""
    parts = path.split("/")
    if parts[0] not in RANK:
        return None, ""
    if parts[0] in ("host", "platform") and len(parts) > 2:
        return parts[0], parts[1]
    return parts[0], ""


def resolve(root, source_dir, bracket, name):
    """Repository-relative path of an include, or None for a system header."""
    candidates = []
    if bracket == '"':
        candidates.append(os.path.normpath(os.path.join(source_dir, name)))
    candidates.append(os.path.normpath(name))
    candidates.append(os.path.normpath(os.path.join("platform/include", name)))
    for c in candidates:
        if not c.startswith("..") and os.path.isfile(os.path.join(root, c)):
            return c
    return None


def include_fault(source, target):
    layer, part = area_of(source)
    to_layer, to_part = area_of(target)
    if to_layer is None:
        return None
    if RANK[to_layer] > RANK[layer]:
        return f"{to_layer}/ is above {layer}/"
    if to_layer == "host" and layer != "host":
        if to_part and layer != "entry":
            return f"a host implementation (host/{to_part}) is for entry/ only"
        if layer not in ("platform", "entry"):
            return "host/ is reached from above platform/"
    if to_layer == "host" and layer == "host" and to_part and to_part != part:
        return f"host/{part or 'host.h'} reaches into host/{to_part}"
    if to_layer == "platform" and layer not in ("platform", "entry") and to_part != "include":
        return "an inner platform header; the layers above see only platform/include"
    return None


def check_file(root, path, faults):
    layer, part = area_of(path)
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        lines = f.read().splitlines()
    in_comment = False
    for number, line in enumerate(lines, 1):
        # Skip block comments so that text about includes is not read as one.
        text = line
        if in_comment:
            if "*/" not in text:
                continue
            text = text.split("*/", 1)[1]
            in_comment = False
        if "/*" in text and "*/" not in text.split("/*", 1)[1]:
            in_comment = True
            text = text.split("/*", 1)[0]
        where = f"{path}:{number}"
        m = INCLUDE.match(text)
        if m:
            bracket, name = m.groups()
            if HOST_ONLY_SYSTEM.match(name) and not (layer == "host" and part == "sdl"):
                faults.append(f"{where}: includes <{name}>: SDL and X11 belong to host/sdl")
                continue
            target = resolve(root, os.path.dirname(path), bracket, name)
            if target is not None:
                why = include_fault(path, target)
                if why:
                    faults.append(f"{where}: includes {name}: {why}")
            continue
        m = NAMESPACE.match(text)
        if m:
            owner = NAMESPACE_OWNERS.get(m.group(1))
            if owner is not None and owner != layer:
                faults.append(f"{where}: declares into namespace {m.group(1)}, which belongs to {owner}/")


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    faults = []
    checked = 0
    for layer in LAYERS:
        for directory, dirs, files in os.walk(os.path.join(root, layer)):
            dirs.sort()
            for name in sorted(files):
                if name.endswith(SOURCE_SUFFIXES):
                    check_file(root, os.path.relpath(os.path.join(directory, name), root), faults)
                    checked += 1
    for fault in faults:
        print(fault)
    if faults:
        print(f"check_layers: {len(faults)} upward arrow(s) in {checked} files", file=sys.stderr)
        return 1
    print(f"check_layers: {checked} files, every arrow points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
