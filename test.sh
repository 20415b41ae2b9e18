#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
preset=${VELMORA_TEST_PRESET:-release}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
