#!/usr/bin/env python3
"""A game recorded in the browser, replayed headless, frame for frame.

Loads velmora.html?record=1&frame-hashes=1 in headless Chromium and plays:
Space starts, arrows held across several ticks, a click, a double click,
Escape. When the program ends the page holds the recording (offered as a
download) and the hash of every frame it presented; velmora-replay
--session replays the recording headless, and its frame hashes must equal
the browser's line for line, with the same exit code.
Exits 77 (CTest's skip) saying why when the web build, Chromium, its driver
or python3-selenium is missing; with VELMORA_REQUIRE_ALL=1 that is a
failure instead.

Usage: recording_test.py --web-dir DIR --replay VELMORA_REPLAY --work DIR
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

import browser_test as bt


def skip(reason):
    if os.environ.get("VELMORA_REQUIRE_ALL") == "1":
        bt.fail(f"required but cannot run: {reason}")
    bt.skip(reason)


def play(driver, base):
    from selenium.webdriver.common.keys import Keys
    page = bt.Page(driver)
    driver.get(base + "?record=1&frame-hashes=1")
    page.wait_frames_above(0)
    page.key(" ", True)
    page.key(" ", False)
    time.sleep(1.2)
    for key, hold in ((Keys.ARROW_RIGHT, 1.3), (Keys.ARROW_DOWN, 1.1)):
        page.key(key, True)  # held across several ticks
        time.sleep(hold)
        page.key(key, False)
        time.sleep(0.4)
    page.press_at(500, 300, double=False)
    time.sleep(0.9)
    page.press_at(300, 200, double=True)
    time.sleep(1.0)
    page.key(Keys.ESCAPE, True)
    page.key(Keys.ESCAPE, False)
    return page.wait("the recording", lambda: (lambda s: s if s.get("recording") else None)(page.state()))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--web-dir", required=True)
    ap.add_argument("--replay", required=True)
    ap.add_argument("--work", required=True)
    args = ap.parse_args()
    missing = [f for f in bt.WEB_FILES if not os.path.isfile(os.path.join(args.web_dir, f))]
    if missing:
        skip(f"no web build in {args.web_dir} (missing {', '.join(missing)}); "
             "make it with: cmake --preset web && cmake --build --preset web")
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    driver_path = shutil.which("chromedriver") or ("/usr/bin/chromedriver" if os.path.exists("/usr/bin/chromedriver") else None)
    if not chromium or not driver_path:
        skip("Chromium or chromium-driver is not installed (scripts/setup.sh web installs them)")
    bt.import_selenium()
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    server = bt.serve(args.web_dir)
    profile = tempfile.mkdtemp(prefix="velmora-chromium-")
    options = webdriver.ChromeOptions()
    for flag in bt.CHROMIUM_FLAGS:
        options.add_argument(flag)
    options.add_argument(f"--user-data-dir={profile}")
    options.binary_location = chromium
    driver = webdriver.Chrome(service=Service(driver_path), options=options)
    try:
        state = play(driver, f"http://127.0.0.1:{server.server_address[1]}/velmora.html")
    finally:
        driver.quit()
        server.shutdown()
        shutil.rmtree(profile, ignore_errors=True)

    session = os.path.join(args.work, "browser.session")
    with open(session, "w") as f:
        f.write(state["recording"])
    live = (state.get("frameHashes") or "").splitlines()
    out = os.path.join(args.work, "replayed")
    p = subprocess.run([args.replay, "--out", out, "--frames", "none", "--session", session],
                       capture_output=True, text=True, timeout=120)
    if p.returncode != 0:
        bt.fail(f"velmora-replay --session failed ({p.returncode}): {p.stdout}{p.stderr}")
    with open(os.path.join(out, "frame-hashes.txt")) as f:
        replayed = f.read().splitlines()
    with open(os.path.join(out, "exit-code")) as f:
        replayed_code = int(f.read())
    text = state["recording"]
    print(f"recorded in Chromium: {len(text)} bytes, {len(text.splitlines())} lines; first lines:")
    print("\n".join("    " + line for line in text.splitlines()[:10]))
    for n, (a, b) in enumerate(zip(live, replayed), 1):
        if a != b:
            bt.fail(f"frame {n}: the browser presented {a!r}, the replay {b!r}")
    if len(live) < 5 or len(live) != len(replayed):
        bt.fail(f"the browser presented {len(live)} frames, the replay {len(replayed)}")
    if replayed_code != state["exitCode"]:
        bt.fail(f"exit code: browser {state['exitCode']}, replay {replayed_code}")
    held = sum(1 for line in text.splitlines() if line.startswith("k ") and line != "k")
    presses = sum(1 for line in text.splitlines() if " md " in line)
    if held < 4 or presses < 3:
        bt.fail(f"the recording holds {held} keyboard states with a key held and {presses} presses")
    print(f"{len(live)} frames presented by the browser equal the replayed ones tick for tick "
          f"(last: {live[-1]}); {held} keyboard reads with a key held, {presses} button presses; "
          f"exit code {replayed_code}")
    print("PASSED")


if __name__ == "__main__":
    main()
