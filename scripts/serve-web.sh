#!/usr/bin/env bash
# Serves the browser build (build/web, made by `cmake --preset web &&
# cmake --build --preset web`) on this machine only, and says where to look.
# Files go out precompressed (brotli or gzip, as the browser accepts).
# Usage: scripts/serve-web.sh [PORT]   (default 8080)
set -euo pipefail
cd "$(dirname "$0")/.."
port=${1:-8080}
dir=build/web
if [ ! -f "$dir/velmora.html" ]; then
  echo "No browser build in $dir. Make it first:"
  echo "  scripts/setup.sh web && cmake --preset web && cmake --build --preset web"
  exit 1
fi
exec python3 scripts/web_server.py "$dir" "$port"
