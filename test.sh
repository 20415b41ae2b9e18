#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite. Exits non-zero on any failure.
# Arguments go to ctest (e.g. ./test.sh -R gfx). Tests that skipped are
# listed at the end with their reasons; VELMORA_REQUIRE_ALL=1 makes every
# such skip a failure instead.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
preset=${VELMORA_TEST_PRESET:-release}
scripts/configure.sh "$preset" >/dev/null
cmake --build --preset "$preset"
status=0
ctest --preset "$preset" "$@" || status=$?
python3 scripts/skip_reasons.py "build/$preset"
exit $status
