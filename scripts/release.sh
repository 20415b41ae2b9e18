#!/usr/bin/env bash
# Writes a release into one folder:
#   velmora_VERSION-1_ARCH.deb             the Debian package (cpack)
#   velmora-VERSION-linux-x86_64.tar.gz    a relocatable tree: unpack anywhere,
#                                          run velmora/bin/velmora
#   velmora-VERSION-web.zip                the browser build's served files
#   SHA256SUMS                             sha256sum -c checks the three
#
#   scripts/release.sh [--out DIR] [--build DIR] [--web DIR] [--no-build] [--no-web]
#
# By default it builds the player and web presets first and writes into
# build/release-artefacts. --build and --web name other build folders (the
# test suite packs its own build this way); --no-build packs them as they
# are; --no-web leaves the zip out.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/release-artefacts
build=build/player
web=build/web
do_build=1
with_web=1
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --web) web=$2; shift 2 ;;
    --no-build) do_build=0; shift ;;
    --no-web) with_web=0; shift ;;
    *) echo "usage: scripts/release.sh [--out DIR] [--build DIR] [--web DIR] [--no-build] [--no-web]" >&2; exit 2 ;;
  esac
done

if [ "$do_build" = 1 ]; then
  scripts/configure.sh player >/dev/null
  cmake --build --preset player
  if [ "$with_web" = 1 ]; then
    scripts/configure.sh web >/dev/null
    cmake --build --preset web
  fi
fi
build=$(readlink -f "$build")
[ -f "$build/CMakeCache.txt" ] || { echo "release.sh: $build is not a build folder" >&2; exit 1; }
[ -x "$build/bin/velmora" ] || { echo "release.sh: $build has no bin/velmora; build it first" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "release.sh: no project version in $build/CMakeCache.txt" >&2; exit 1; }

mkdir -p "$out"
out=$(readlink -f "$out")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Every archive lists its files in one order, owned by root, with one time.
stamp=$(git log -1 --format=%ct 2>/dev/null || echo 0)

# The Debian package.
(cd "$build" && cpack -G DEB -B "$scratch/deb" >"$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log"; echo "release.sh: cpack failed" >&2; exit 1; }
rm -f "$out"/velmora_*.deb
cp "$scratch"/deb/velmora_*.deb "$out/"

# The relocatable tree: the launcher finds everything from its own place.
tree="$scratch/tree/velmora"
cmake --install "$build" --prefix "$tree" --strip >"$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log"; echo "release.sh: cmake --install failed" >&2; exit 1; }
program="$tree/libexec/velmora/velmora"
{
  echo "Velmora $version for Linux on x86-64"
  echo
  echo "Unpack anywhere and run velmora/bin/velmora (a shell script that starts"
  echo "the program among its sound files; the tree may be moved as a whole)."
  echo "The manual: man velmora/share/man/man6/velmora.6"
  echo
  echo "The program needs these shared libraries, which a desktop Linux"
  echo "usually has (on Debian 12 and Ubuntu, the package in brackets):"
  objdump -p "$program" | awk '/NEEDED/ {print $2}' | while read -r lib; do
    # awk reads to the end: leaving early would end ldconfig by SIGPIPE,
    # which pipefail reports as a failure.
    path=$(ldconfig -p | awk -v l="$lib" '$1 == l && /x86-64/ && !found {print $NF; found = 1}')
    package=$( [ -n "$path" ] && dpkg -S "$path" 2>/dev/null | head -1 | cut -d: -f1 || true)
    echo "  $lib${package:+ ($package)}"
  done
} >"$tree/README.txt"
tarball="velmora-$version-linux-x86_64.tar.gz"
tar -C "$scratch/tree" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$stamp" -cf - velmora |
  gzip -9n >"$out/$tarball"

# The browser build: the files its page is served with. The build lists
# them in files.json where it writes one; otherwise the page and what it
# loads are the velmora.* files beside it. Precompressed copies go too.
rm -f "$out"/velmora-*-web.zip
if [ "$with_web" = 1 ]; then
  [ -f "$web/velmora.html" ] || { echo "release.sh: $web has no velmora.html; build the web preset (or --no-web)" >&2; exit 1; }
  "${VELMORA_PYTHON:-python3}" - "$web" "$out/velmora-$version-web.zip" "$stamp" <<'PY'
import json, os, sys, time, zipfile
web, target, stamp = sys.argv[1], sys.argv[2], int(sys.argv[3])
listing = os.path.join(web, "files.json")
if os.path.exists(listing):
    with open(listing, encoding="utf-8") as f:
        names = json.load(f)["files"]
else:
    names = [n for n in os.listdir(web)
             if n.startswith("velmora.") and n.endswith((".html", ".js", ".wasm", ".data"))]
served = []
for name in names:
    if os.path.isabs(name) or ".." in name.split("/"):
        sys.exit(f"release.sh: files.json names {name!r}, outside the build folder")
    if not os.path.isfile(os.path.join(web, name)):
        sys.exit(f"release.sh: {name} is listed but missing in {web}")
    served.append(name)
    served += [name + z for z in (".gz", ".br") if os.path.isfile(os.path.join(web, name + z))]
when = time.gmtime(max(stamp, 315532800))[:6]  # zip cannot hold times before 1980
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as z:
    for name in sorted(set(served)):
        info = zipfile.ZipInfo("velmora/" + name, when)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        with open(os.path.join(web, name), "rb") as f:
            z.writestr(info, f.read())
PY
fi

(cd "$out" && rm -f SHA256SUMS && sha256sum -- velmora_*.deb velmora-*.tar.gz $(ls velmora-*-web.zip 2>/dev/null) >SHA256SUMS)
echo "release.sh: wrote into $out:"
(cd "$out" && ls -l --time-style=+ velmora_*.deb velmora-* SHA256SUMS | awk '{print "  " $NF " (" $5 " bytes)"}')
