#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a short while from its
# seeds (tests/fuzz/regressions/NAME and tests/fuzz/corpus/NAME), two at a
# time, and fails on any finding: the finding's input is printed (base64)
# into the log and kept beside the build.
#
#   scripts/fuzz_smoke.sh [BUILD_DIR] [SECONDS_EACH] [MAX_RUNS_EACH]
#
# Longer runs by hand: build/fuzz/bin/NAME -max_total_time=600 \
#   new-inputs/ tests/fuzz/regressions/NAME tests/fuzz/corpus/NAME
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/fuzz}
seconds=${2:-30}
runs=${3:-2000000}
out=$build/fuzz-smoke
rm -rf "$out"
mkdir -p "$out"

targets=()
for bin in "$build"/bin/*; do
  name=$(basename "$bin")
  case "$name" in *_regress) continue ;; esac
  [ -x "$bin" ] && [ -d "tests/fuzz/regressions/$name" -o -d "tests/fuzz/corpus/$name" ] && targets+=("$name")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz smoke: no fuzz targets in $build/bin (cmake --preset fuzz && cmake --build --preset fuzz)" >&2
  exit 1
fi

run_one() {
  local name=$1 work="$out/$1"
  mkdir -p "$work/new"
  local seeds=()
  for d in "tests/fuzz/regressions/$name" "tests/fuzz/corpus/$name"; do [ -d "$d" ] && seeds+=("$d"); done
  # New inputs go to the first folder, so the seed folders stay as committed.
  "$build/bin/$name" -max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/" "$work/new" "${seeds[@]}" >"$work/log" 2>&1
  echo $? >"$work/status"
}

export -f run_one
export build out seconds runs
printf '%s\n' "${targets[@]}" | xargs -P 2 -I{} bash -c 'run_one {}'

failed=0
total=0
for name in "${targets[@]}"; do
  work="$out/$name"
  status=$(cat "$work/status" 2>/dev/null || echo 1)
  execs=$(awk '/stat::number_of_executed_units/ {print $2}' "$work/log")
  total=$((total + ${execs:-0}))
  if [ "$status" -eq 0 ]; then
    printf 'fuzz smoke: %-22s %9s executions, no finding\n' "$name" "${execs:-?}"
    continue
  fi
  failed=$((failed + 1))
  echo "fuzz smoke: $name FAILED (exit $status); its log:"
  grep -v '^#[0-9]' "$work/log" | tail -60
  for input in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* "$work"/slow-unit-*; do
    [ -f "$input" ] || continue
    echo "fuzz smoke: $name finding $(basename "$input") ($(stat -c %s "$input") bytes), base64:"
    base64 "$input"
    echo "fuzz smoke: keep it as a regression: base64 -d > tests/fuzz/regressions/$name/NAME"
  done
done
echo "fuzz smoke: ${#targets[@]} targets, $total executions, $failed with findings"
[ "$failed" -eq 0 ]
