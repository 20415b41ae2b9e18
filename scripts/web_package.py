#!/usr/bin/env python3
"""Completes the browser build's folder after the program is linked.

Copies the page's own files (scripts, web app manifest, icons) beside
velmora.html, writes files.json (every file the page is served with: the
one list the service worker caches and a release zips), writes the service
worker with that list and a version drawn from the files' bytes (a new
build is a new worker, so a second visit updates its offline copy), and
writes each compressible file precompressed as FILE.gz and FILE.br for
scripts/web_server.py to send with the matching Content-Encoding.

Usage: web_package.py --source REPOSITORY_ROOT --out BUILD_WEB_DIR
"""
import argparse
import gzip
import hashlib
import json
import os
import shutil
import subprocess
import sys

PAGE_FILES = ("virtual_keys.js", "controls.js", "page.js", "velmora.webmanifest")
PROGRAM_FILES = ("velmora.html", "velmora.js", "velmora.wasm")
ICONS = ("icon-32.png", "icon-128.png", "icon-256.png")
COMPRESSIBLE = (".html", ".js", ".wasm", ".json", ".webmanifest")
LIST = "files.json"
WORKER = "sw.js"


def write_if_changed(path, data):
    """Leaves an unchanged file untouched, so its time stays and nothing downstream reruns."""
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    with open(path, "wb") as f:
        f.write(data)


def fresh(path, derived):
    return os.path.isfile(derived) and os.path.getmtime(derived) >= os.path.getmtime(path)


def compress(path):
    if fresh(path, path + ".gz") and fresh(path, path + ".br"):
        return
    with open(path, "rb") as f:
        data = f.read()
    # No name or time in the header: the same input gives the same bytes.
    write_if_changed(path + ".gz", gzip.compress(data, compresslevel=9, mtime=0))
    brotli = shutil.which("brotli")
    if brotli is None:
        print(f"web_package: brotli is not installed; {os.path.basename(path)} is served gzip-compressed only "
              "(scripts/setup.sh web installs it)", file=sys.stderr)
        return
    out = subprocess.run([brotli, "-q", "11", "-c", path], check=True, capture_output=True).stdout
    write_if_changed(path + ".br", out)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--source", required=True)
    ap.add_argument("--out", required=True)
    args = ap.parse_args()
    web = os.path.join(args.source, "host", "web")
    assets = os.path.join(args.source, "assets")

    for name in PAGE_FILES:
        with open(os.path.join(web, name), "rb") as f:
            write_if_changed(os.path.join(args.out, name), f.read())
    for name in ICONS:
        with open(os.path.join(assets, name), "rb") as f:
            write_if_changed(os.path.join(args.out, name), f.read())

    served = list(PROGRAM_FILES) + list(PAGE_FILES) + list(ICONS)
    missing = [n for n in served if not os.path.isfile(os.path.join(args.out, n))]
    if missing:
        sys.exit(f"web_package: missing from {args.out}: {', '.join(missing)}")
    digest = hashlib.sha256()
    for name in served:
        with open(os.path.join(args.out, name), "rb") as f:
            digest.update(name.encode() + b"\0" + f.read())
    version = digest.hexdigest()[:16]

    with open(os.path.join(web, WORKER + ".in"), encoding="utf-8") as f:
        worker = f.read()
    worker = worker.replace("@VERSION@", version).replace("@FILES@", json.dumps(served))
    write_if_changed(os.path.join(args.out, WORKER), worker.encode("utf-8"))
    everything = served + [WORKER, LIST]
    listing = {"version": version, "files": everything}
    write_if_changed(os.path.join(args.out, LIST), (json.dumps(listing, indent=1) + "\n").encode("utf-8"))

    for name in everything:
        if name.endswith(COMPRESSIBLE):
            compress(os.path.join(args.out, name))


if __name__ == "__main__":
    main()
