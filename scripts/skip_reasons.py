#!/usr/bin/env python3
"""Lists the tests of the last ctest run that skipped, each with its reason.

ctest marks a skipped test but keeps its output to itself; the reason (what
is missing on this machine) is in the run's log.
Usage: scripts/skip_reasons.py BUILD_DIR
"""
import os
import re
import sys


def skipped(log_text):
    """(test name, reason) for each skipped test of a LastTest.log."""
    found = []
    for block in re.split(r"\n(?=\d+/\d+ Testing: )", log_text):
        m = re.search(r"^\d+/\d+ Testing: (.+)$", block, re.M)
        if not m:
            continue
        lines = block.splitlines()
        reasons = []
        for i, line in enumerate(lines):
            if line.startswith("SKIPPED: "):
                reasons.append(line[len("SKIPPED: "):])
            elif line.endswith(": Skipped") and i + 1 < len(lines) and not lines[i + 1].startswith("["):
                reasons.append(lines[i + 1].strip())
            elif line.endswith(": Skipped"):
                reasons.append("(no reason given)")
        if reasons or "[  SKIPPED ]" in block:
            found.append((m.group(1).strip(), "; ".join(reasons) or "(no reason given)"))
    return found


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    log = os.path.join(sys.argv[1], "Testing", "Temporary", "LastTest.log")
    if not os.path.exists(log):
        return 0
    with open(log, encoding="utf-8", errors="replace") as f:
        found = skipped(f.read())
    for name, reason in found:
        print(f"skipped {name}: {reason}")
    if found:
        print(f"{len(found)} test(s) skipped; VELMORA_REQUIRE_ALL=1 makes each a failure")
    return 0


if __name__ == "__main__":
    sys.exit(main())
