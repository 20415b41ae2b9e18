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
  - includes SDL or X11 outside host/sdl, or emscripten's headers outside
    host/web;
  - declares into another layer's namespace (a self-made declaration of
    host::ShouldFail in gfx/ passes every include rule but is the same
    upward arrow); the table below names the owners of the layers' own
    namespaces, and any other belongs to the layer that declares into it
    in the most files;
  - in tools/ (process entries of their own, like entry/): includes SDL,
    X11 or the browser outside the benchmarks that measure SDL itself and
    the browser build's tick;
  - in tools/headless_device/ (the headless host with a window and a
    software device, shared by tools and the tests of every layer): includes
    anything above platform/;
  - in tests/: includes a layer above the one its folder tests (tests/gfx
    may reach gfx/ and everything below, not devices/); SDL and X11 only in
    the host's tests and in the tests that drive the whole program;
  - names a Windows constant in host/ (VK_, DIK_, MB_, ID...): the host
    speaks its own key codes and dialog fields, the platform maps them.
The build enforces the include rules too (each library sees only its own
folders); this check also names the fault and covers files no target builds.
Usage: scripts/check_layers.py [REPOSITORY_ROOT]
"""
import os
import re
import sys

# Bottom up; a layer may include its own folder and any layer below it.
# tools/ sits on top: its programs put the layers together as entry/ does.
LAYERS = ["host", "platform", "gfx", "devices", "game", "app", "entry", "tools"]
RANK = {name: i for i, name in enumerate(LAYERS)}
# Namespaces a layer owns whoever else declares into them.
NAMESPACE_OWNERS = {"host": "host", "platform": "platform", "d3d9": "platform", "d3d9sw": "platform",
                    "dsound": "platform", "gfx": "gfx", "entry": "entry", "replay": "tools",
                    "assetgen": "tools", "image_tool": "tools"}
# Names any folder may use for its own inner parts.
SHARED_NAMESPACES = {"detail", "std"}
# The layer each folder of tests/ tests: it may reach that layer and those
# below. The application runs only under the program runner, so its tests
# start it through entry/. Folders not listed (end-to-end, fuzzing,
# installation) test the whole program and may reach everything.
TEST_LAYER = {"host": "host", "win32": "platform", "d3d9": "platform", "dinput": "platform", "dsound": "platform",
              "gfx": "gfx", "sound": "devices", "game": "game", "app": "entry", "entry": "entry",
              "assets": "entry", "tools": "tools"}
# Outside host/sdl, SDL and X11 are for the benchmark that compares the
# device with SDL's own renderer, the host's tests and the tests that
# drive the program through a real X server.
SDL_ELSEWHERE = ("tools/bench_device/",)
# Outside host/web, emscripten is for the benchmark that times the play tick
# in the browser.
WEB_ELSEWHERE = ("tools/bench_web/",)
# Set-up shared by tools and by the tests of every layer: it puts only host/
# and platform/ together, so any test may use it.
SHARED_FIXTURE = "tools/headless_device/"
HOST_ONLY_SYSTEM = re.compile(r"^(SDL2?/|SDL[_.]|X11/)")
WEB_ONLY_SYSTEM = re.compile(r"^emscripten[/.]")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
WINDOWS_NAME = re.compile(r"\b(VK|DIK|MB)_[A-Z0-9_]+\b|\bID(OK|CANCEL|YES|NO|ABORT|RETRY|IGNORE)\b")
# A declaration, not an alias (namespace fs = std::filesystem).
NAMESPACE = re.compile(r"^\s*namespace\s+([A-Za-z_][A-Za-z0-9_]*)\s*(?:\{|::|$)")
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c", ".inc")


def area_of(path):
    """Layer and part of a repository-relative path: ('host', 'sdl'),
    ('platform', 'include'), ('gfx', ''), or (None, '') outside the layers."""
    parts = path.split("/")
    if parts[0] == "tests":
        return "tests", parts[1] if len(parts) > 2 else ""
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


def test_include_fault(part, to_layer):
    tested = TEST_LAYER.get(part)
    if tested is not None and to_layer != "tests" and RANK[to_layer] > RANK[tested]:
        return f"{to_layer}/ is above {tested}/, the layer tests/{part} tests"
    return None


def include_fault(source, target):
    layer, part = area_of(source)
    to_layer, to_part = area_of(target)
    if to_layer is None:
        return None
    if layer == "tests":
        if target.startswith(SHARED_FIXTURE):
            return None
        return test_include_fault(part, to_layer)
    if source.startswith(SHARED_FIXTURE) and to_layer != "tools" and RANK[to_layer] > RANK["platform"]:
        return f"{to_layer}/ is above platform/: {SHARED_FIXTURE} is shared with the tests of every layer"
    if to_layer == "tests":
        return None if layer == "tools" else f"tests/ is above {layer}/"
    if RANK[to_layer] > RANK[layer]:
        return f"{to_layer}/ is above {layer}/"
    entries = ("entry", "tools")
    if to_layer == "host" and layer != "host":
        if to_part and layer not in entries:
            return f"a host implementation (host/{to_part}) is for entry/ only"
        if layer not in ("platform",) + entries:
            return "host/ is reached from above platform/"
    if to_layer == "host" and layer == "host" and to_part and to_part != part:
        return f"host/{part or 'host.h'} reaches into host/{to_part}"
    if to_layer == "platform" and layer not in ("platform",) + entries and to_part != "include":
        return "an inner platform header; the layers above see only platform/include"
    return None


def sdl_allowed(path, layer, part):
    if layer == "host":
        return part == "sdl"
    if layer == "tests":
        return TEST_LAYER.get(part, "host") == "host"
    return path.startswith(SDL_ELSEWHERE)


def check_file(root, path, owners, faults):
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
            if HOST_ONLY_SYSTEM.match(name) and not sdl_allowed(path, layer, part):
                faults.append(f"{where}: includes <{name}>: SDL and X11 belong to host/sdl")
                continue
            if WEB_ONLY_SYSTEM.match(name) and not (layer == "host" and part == "web") and \
                    not path.startswith(WEB_ELSEWHERE):
                faults.append(f"{where}: includes <{name}>: the browser belongs to host/web")
                continue
            target = resolve(root, os.path.dirname(path), bracket, name)
            if target is not None:
                why = include_fault(path, target)
                if why:
                    faults.append(f"{where}: includes {name}: {why}")
            continue
        if layer == "host":
            code = text.split("//", 1)[0]
            w = WINDOWS_NAME.search(code)
            if w:
                faults.append(f"{where}: names {w.group(0)}: the host speaks its own codes, the platform maps them")
        m = NAMESPACE.match(text)
        if m:
            owner = owners.get(m.group(1))
            if owner is not None and owner != layer:
                faults.append(f"{where}: declares into namespace {m.group(1)}, which belongs to {owner}/")


def sources(root):
    """Repository-relative source paths, layer by layer from the bottom, then tests/."""
    for top in LAYERS + ["tests"]:
        for directory, dirs, files in os.walk(os.path.join(root, top)):
            dirs.sort()
            for name in sorted(files):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(directory, name), root)


def namespace_owners(root, paths):
    """Each namespace to its owner: from the table, or else the layer that
    declares into it in the most files (the lower one on a tie)."""
    counts = {}
    for path in paths:
        layer, _ = area_of(path)
        if layer not in RANK:
            continue
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            names = {m.group(1) for m in map(NAMESPACE.match, f) if m}
        for name in names - SHARED_NAMESPACES:
            counts.setdefault(name, {}).setdefault(layer, 0)
            counts[name][layer] += 1
    owners = {name: max(by_layer, key=lambda l: (by_layer[l], -RANK[l])) for name, by_layer in counts.items()}
    owners.update(NAMESPACE_OWNERS)
    return owners


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    faults = []
    paths = list(sources(root))
    owners = namespace_owners(root, paths)
    for path in paths:
        check_file(root, path, owners, faults)
    checked = len(paths)
    for fault in faults:
        print(fault)
    if faults:
        print(f"check_layers: {len(faults)} upward arrow(s) in {checked} files", file=sys.stderr)
        return 1
    print(f"check_layers: {checked} files, every arrow points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
