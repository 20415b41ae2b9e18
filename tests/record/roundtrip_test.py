#!/usr/bin/env python3
"""Whole-program round trips of recorded sessions through velmora-replay.

For each golden script: run it headless while recording (--record), then
replay the recording (--session); the trace, every frame's hash,
the dialogs and the exit code must be the same. Then damaged copies of one
recording: cut short (a killed run) it replays up to the cut and stops
saying so; a held key changed makes the program draw another frame, named
by line (exit 3); a newer format version, garbage and a missing end of
line are refused or reported naming the line. Last, a five-minute game is
recorded and its size printed; it must stay well under 1 MB.

Usage: roundtrip_test.py --replay VELMORA_REPLAY --work DIR
"""
import argparse
import os
import shlex
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
GOLDEN = os.path.join(HERE, "..", "golden")
# Script, and the fewest frames its run presents (the one without an audio
# output ends before its first frame: its failed OpenAudio is what is replayed).
SCRIPTS = (("cleared_round", 3), ("clicks_close", 3), ("gem_miss_game_over", 3), ("no_audio_output", 0))
# Not audio.wav: sound is pulled as the recorded clock reads move the
# virtual clock, not at the sleeps of the live run (on a desktop it is a
# real-time thread anyway); it is heard, never fed back to the program.
OUTPUTS = ("trace.jsonl", "frame-hashes.txt", "dialogs.jsonl", "exit-code")


def fail(reason):
    print(f"FAILED: {reason}")
    sys.exit(1)


def run(replay, *args):
    p = subprocess.run([replay, *args], capture_output=True, text=True, timeout=300)
    return p.returncode, p.stdout + p.stderr


def options_of(script):
    opts = []
    with open(script) as f:
        for line in f:
            if line.startswith("# options:"):
                opts += shlex.split(line[len("# options:"):])
    return opts


def read(path):
    with open(path, "rb") as f:
        return f.read()


def same_outputs(a, b, names=OUTPUTS):
    for name in names:
        pa, pb = os.path.join(a, name), os.path.join(b, name)
        if os.path.exists(pa) != os.path.exists(pb) or (os.path.exists(pa) and read(pa) != read(pb)):
            return name
    return None


def record_and_replay(replay, work, name, fewest):
    script = os.path.join(GOLDEN, name + ".replay")
    session = os.path.join(work, name + ".session")
    live, again = os.path.join(work, name + "-live"), os.path.join(work, name + "-replayed")
    rc, out = run(replay, "--out", live, "--frames", "none", "--record", session, *options_of(script), script)
    if rc != 0:
        fail(f"{name}: recording run failed ({rc}): {out}")
    rc, out = run(replay, "--out", again, "--frames", "none", "--session", session)
    if rc != 0:
        fail(f"{name}: replaying the recording failed ({rc}): {out}")
    differs = same_outputs(live, again)
    if differs:
        fail(f"{name}: {differs} of the replay differs from the recorded run")
    frames = len(read(os.path.join(live, "frame-hashes.txt")).splitlines())
    if frames < fewest:
        fail(f"{name}: only {frames} frames: nothing was compared")
    print(f"{name}: recorded {os.path.getsize(session)} bytes; replay equal in trace, {frames} frame hashes, "
          f"dialogs and exit code")
    return session, live


def damaged(replay, work, session, live):
    with open(session) as f:
        lines = f.read().split("\n")
    def replay_text(tag, text):
        path = os.path.join(work, tag + ".session")
        with open(path, "w") as f:
            f.write(text)
        out_dir = os.path.join(work, tag)
        rc, out = run(replay, "--out", out_dir, "--frames", "none", "--session", path)
        return rc, out, out_dir

    # Killed at 60%: replays what it holds, says where it stopped, exit 0, no exit code.
    cut = "\n".join(lines[:int(len(lines) * 0.6)]) + "\n"
    rc, out, out_dir = replay_text("cut", cut)
    if rc != 0 or "the recording stops here, before the program ended" not in out:
        fail(f"a cut recording: exit {rc}: {out}")
    if os.path.exists(os.path.join(out_dir, "exit-code")):
        fail("a cut recording still wrote an exit code")
    short = read(os.path.join(out_dir, "trace.jsonl"))
    if not short or not read(os.path.join(live, "trace.jsonl")).startswith(short):
        fail("a cut recording's trace is not the start of the full one")
    print(f"cut at line {len(cut.splitlines())}: {out.strip()}")

    # The arrow held in a keyboard state read turned into another: the walker
    # steps elsewhere, and the next frame is not the recorded one.
    for i, line in enumerate(lines):
        if line == "k 79":
            changed = lines[:i] + ["k 80"] + lines[i + 1:]
            break
    else:
        fail("the recording holds no keyboard state with Right held to change")
    rc, out, _ = replay_text("changed", "\n".join(changed))
    if rc != 3 or "differs from the recorded one" not in out:
        fail(f"a changed recording: exit {rc}: {out}")
    print(f"Right changed to Left on line {i + 1}: exit {rc}: {out.strip()}")

    for tag, text, want in (("newer", "velmora-session 2\n" + "\n".join(lines[1:]), "line 1: format version 2"),
                            ("garbage", "\x00\x01binary\n", "line 1: not a recorded session"),
                            ("broken", "\n".join(lines[:8] + ["t seven"] + lines[9:]), "line 9: expected")):
        rc, out, _ = replay_text(tag, text)
        if rc != 2 or want not in out:
            fail(f"{tag}: exit {rc}: {out}")
        print(f"{tag}: exit {rc}: {out.strip()}")


def five_minutes(replay, work):
    # Play for five minutes: start, then every few seconds hold an arrow key
    # for a while (the walker moves and turns), a click now and then.
    events = ["at 700 key space down", "at 800 key space up"]
    names = ("left", "down", "right", "up")
    t, n = 1500, 0
    while t < 300000:
        key = names[n % 4]
        events += [f"at {t} key {key} down", f"at {t + 1300} key {key} up"]
        if n % 5 == 4:
            events.append(f"at {t + 2000} click {120 + 60 * (n % 10)} {100 + 40 * (n % 12)}")
        t += 3100 + 170 * (n % 7)
        n += 1
    events.append("at 300000 key escape down")
    script = os.path.join(work, "five_minutes.replay")
    with open(script, "w") as f:
        f.write("\n".join(events) + "\n")
    session = os.path.join(work, "five_minutes.session")
    rc, out = run(replay, "--out", os.path.join(work, "five-live"), "--frames", "none", "--record", session, script)
    if rc != 0:
        fail(f"five minutes: {rc}: {out}")
    size = os.path.getsize(session)
    with open(session) as f:
        head = [next(f).rstrip("\n") for _ in range(12)]
    print(f"a five-minute game: {size} bytes ({size / 1024:.1f} KiB); its first lines:")
    print("\n".join("    " + line for line in head))
    if size > 300000:
        fail(f"a five-minute game takes {size} bytes")
    rc, out = run(replay, "--out", os.path.join(work, "five-replayed"), "--frames", "none", "--session", session)
    if rc != 0 or same_outputs(os.path.join(work, "five-live"), os.path.join(work, "five-replayed")):
        fail(f"five minutes: the replay differs: {rc}: {out}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--replay", required=True)
    ap.add_argument("--work", required=True)
    args = ap.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    kept = None
    for name, fewest in SCRIPTS:
        session, live = record_and_replay(args.replay, args.work, name, fewest)
        if name == "cleared_round":
            kept = (session, live)
    damaged(args.replay, args.work, *kept)
    five_minutes(args.replay, args.work)
    print("PASSED")


if __name__ == "__main__":
    main()
