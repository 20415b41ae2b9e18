#!/usr/bin/env python3
"""The browser build's sound paths and frame keeping, in headless Chromium.

  1. The first key starts the sound through the AudioWorklet: the worklet
     plays the mixer's blocks (frames played advance with the clock and the
     peak is the title cue's, not silence).
  2. With ?audio=script-processor the ScriptProcessorNode fallback pulls and
     plays the same sound.
  3. Every tick's frame is counted as shown, but a frame equal to the one
     the canvas holds is not uploaded again: on the title card, drawn the
     same tick after tick, the uploads stop while the frames go on; the
     board after Space and after a step right are new pictures and reach
     the canvas (browser_test.py compares such frames pixel for pixel).
  4. A pause inside a tick (the missed sequence's five-second Sleep, reached
     by walking into the stranger) hands the thread back to the browser and
     the game goes on after it, back on the title card: the calls the
     browser build instruments for waiting cover that path too.
Prints the share of a core that Chromium uses on the title card next to a
blank page (a figure to watch, not asserted: tools/bench_web/bench_web.py is
the measurement).
Exits 77 (CTest's skip) saying why when the web build, Chromium, its driver
or python3-selenium is missing; with VELMORA_BROWSER_TEST_REQUIRED=1 that is
a failure instead.

Usage: web_idle_test.py --web-dir DIR
"""
import argparse
import os
import shutil
import sys
import tempfile
import time

SEED_TIME = 1700000000
SAMPLE_RATE = 22050
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "bench_web"))
import bench_web  # noqa: E402  (serving, Chromium's flags, CPU per process)
# Skips and failures as every browser test reports them (a required run
# turns a skip into a failure).
from browser_test import fail, skip  # noqa: E402


def state(driver):
    return driver.execute_script("return window.Module && Module.velmora ? Module.velmora : null") or {}


def wait(what, predicate, seconds=30):
    return bench_web.poll(predicate, seconds) or fail(f"timed out after {seconds} s waiting for {what}")


def press(driver, key):
    from selenium.webdriver.common.action_chains import ActionChains
    ActionChains(driver).key_down(key).key_up(key).perform()


def sound_plays(driver, base, path):
    """Loads the page, gives it a key, and checks that `path` plays the title cue."""
    query = "" if path == "worklet" else "&audio=script-processor"
    driver.get(f"{base}/velmora.html?time={SEED_TIME}{query}")
    wait("the title card", lambda: state(driver).get("frames", 0) >= 1)
    if state(driver).get("audioFrames", 0) != 0:
        fail("sound was pulled before any key or click allowed it")
    press(driver, "a")  # a key the game ignores: only the sound starts
    wait(f"the {path} path", lambda: state(driver).get("audioPath"))
    if state(driver)["audioPath"] != path:
        fail(f"sound plays through {state(driver)['audioPath']}, not {path}")
    counter = "audioPlayed" if path == "worklet" else "audioFrames"
    first = wait("sound to flow", lambda: state(driver).get(counter, 0))
    start = time.monotonic()
    time.sleep(2)
    st = state(driver)
    advanced = st[counter] - first
    seconds = time.monotonic() - start
    # Generous: a loaded machine may starve the output now and then, but a
    # path that stopped or only plays its first blocks falls far short.
    # The page plays at the mixer's rate, the cues' own.
    if st.get("audioRate") != SAMPLE_RATE:
        fail(f"{path}: Web Audio runs at {st.get('audioRate')} Hz, not the mixer's {SAMPLE_RATE}")
    if advanced < 0.4 * seconds * SAMPLE_RATE:
        fail(f"{path}: only {advanced} frames played in {seconds:.1f} s")
    if st["audioPeak"] < 1000:
        fail(f"{path}: the title cue is silent (peak {st['audioPeak']})")
    print(f"{path}: {advanced} frames in {seconds:.1f} s ({advanced / seconds:.0f} a second), "
          f"peak {st['audioPeak']}, {st.get('audioStarved', 0)} frames of silence for want of a block")


def frames_kept(driver, base):
    driver.get(f"{base}/velmora.html?time={SEED_TIME}")
    wait("two title frames", lambda: state(driver).get("frames", 0) >= 2)
    st = state(driver)
    frames, uploads = st["frames"], st.get("uploads", 0)
    wait("two more ticks", lambda: state(driver)["frames"] >= frames + 2, seconds=10)
    st = state(driver)
    if st.get("uploads", 0) != uploads:
        fail(f"the unchanged title card was uploaded again ({uploads} -> {st.get('uploads')} uploads, "
             f"{frames} -> {st['frames']} frames)")
    print(f"title card: {st['frames']} frames shown, {st['uploads']} uploaded")
    # A new picture is uploaded: the board after Space, then the walker's
    # step (Right held over a tick).
    from selenium.webdriver.common.action_chains import ActionChains
    for what, key in (("Space", "\ue00d"), ("a step right", "\ue014")):
        st = state(driver)
        ActionChains(driver).key_down(key).perform()
        wait(f"the frame after {what}", lambda: state(driver)["frames"] >= st["frames"] + 2, seconds=10)
        ActionChains(driver).key_up(key).perform()
        after = state(driver)
        if after["uploads"] <= st["uploads"]:
            fail(f"the picture after {what} never reached the canvas ({st['uploads']} uploads before, "
                 f"{after['uploads']} after, {after['frames'] - st['frames']} frames)")
        print(f"after {what}: {after['frames'] - st['frames']} frames, {after['uploads'] - st['uploads']} uploaded")


def pause_in_tick(driver, base):
    from selenium.webdriver.common.action_chains import ActionChains
    driver.get(f"{base}/velmora.html?time={SEED_TIME}")
    wait("the title card", lambda: state(driver).get("frames", 0) >= 1)
    press(driver, "\ue00d")  # Space
    frames = wait("the first play frame", lambda: state(driver)["frames"] > 1 and state(driver)["frames"])
    # With this seed the stranger waits in the left column: walking down
    # meets it.
    ActionChains(driver).key_down("\ue015").perform()
    wait("the walk down", lambda: state(driver)["frames"] >= frames + 6, seconds=15)
    ActionChains(driver).key_up("\ue015").perform()
    longest, last, seen = 0.0, time.monotonic(), state(driver)["frames"]
    deadline = time.monotonic() + 25
    while time.monotonic() < deadline and not (longest >= 4.5 and state(driver)["frames"] >= seen + 2):
        st = state(driver)
        now = time.monotonic()
        if st["frames"] != seen:
            longest = max(longest, now - last)
            last, seen = now, st["frames"]
        if st.get("exitCode") is not None:
            fail(f"the program ended ({st['exitCode']}) during the sequence")
        time.sleep(0.05)
    if longest < 4.5:
        fail(f"no five-second pause between frames within 25 s (longest {longest:.1f} s)")
    print(f"missed sequence: a {longest:.1f} s pause in a tick, and the frames went on to {seen}")


def cpu_figure(driver, base, root):
    driver.get(f"{base}/blank.html")
    time.sleep(1)
    blank, _ = bench_web.measure(root, 5)
    driver.get(f"{base}/velmora.html?time={SEED_TIME}")
    wait("the title card", lambda: state(driver).get("frames", 0) >= 1)
    time.sleep(1)
    title, _ = bench_web.measure(root, 5)
    print(f"CPU of Chromium over 5 s: blank page {blank:.2f} %, title card {title:.2f} % "
          f"({title - blank:+.2f} points; a figure, not a check)")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--web-dir", required=True)
    args = ap.parse_args()
    needed = ("velmora.html", "velmora.js", "velmora.wasm", "page.js", "velmora.worklet.js")
    missing = [f for f in needed if not os.path.isfile(os.path.join(args.web_dir, f))]
    if missing:
        skip(f"no web build in {args.web_dir} (missing {', '.join(missing)}); "
             "make it with: cmake --preset web && cmake --build --preset web")
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        skip("Chromium is not installed (scripts/setup.sh web installs it)")
    if not os.path.exists("/usr/bin/chromedriver"):
        skip("chromium-driver is not installed (scripts/setup.sh web installs it)")
    try:
        bench_web.use_system_python()
    except SystemExit:
        skip("python3-selenium is not installed (scripts/setup.sh web installs it)")
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    server, base = bench_web.serve(args.web_dir)
    profile = tempfile.mkdtemp(prefix="velmora-chromium-")
    options = webdriver.ChromeOptions()
    for flag in bench_web.CHROMIUM_FLAGS:
        # The page must wait for a gesture as it would for a person.
        if not flag.startswith("--autoplay-policy"):
            options.add_argument(flag)
    options.add_argument(f"--user-data-dir={profile}")
    options.binary_location = chromium
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    service = Service("/usr/bin/chromedriver")
    driver = webdriver.Chrome(service=service, options=options)
    try:
        sound_plays(driver, base, "worklet")
        sound_plays(driver, base, "script-processor")
        frames_kept(driver, base)
        pause_in_tick(driver, base)
        cpu_figure(driver, base, service.process.pid)
    except SystemExit as stop:
        if stop.code not in (0, None):
            for entry in driver.get_log("browser"):
                print(f"browser console: {entry['level']}: {entry['message']}")
        raise
    finally:
        driver.quit()
        server.shutdown()
        shutil.rmtree(profile, ignore_errors=True)
    print("PASSED")


if __name__ == "__main__":
    main()
