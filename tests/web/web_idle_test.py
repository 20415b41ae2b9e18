#!/usr/bin/env python3
"""The browser build's sound paths and frame keeping, in headless Chromium.

  1. The first key starts the sound: the mixer's blocks play on the
     context's clock (frames played advance with it, none starved on a
     quiet page, and the peak is the title cue's, not silence). The same
     key starts the watch for gamepads: before it the page has no
     gamepad listener, after it one for pads coming and going.
  2. Block joins: the page's own queue (host/web/web_audio.js) feeding an
     OfflineAudioContext renders every frame of its blocks once, exactly,
     across every join (no gap, overlap or smoothing: no click).
  3. A hidden page stops mixing and playing; shown again, it plays on.
  4. Every tick's frame is counted as shown, but a frame equal to the one
     the canvas holds is not uploaded again: on the title card, drawn the
     same tick after tick, the uploads stop while the frames go on; the
     board after Space and after a step right are new pictures and reach
     the canvas (browser_test.py compares such frames pixel for pixel).
  5. A pause inside a tick (the missed sequence's five-second Sleep, reached
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


def window_listens_for(driver):
    """The event types the page's window has listeners for, as Chromium's debugger sees them."""
    window = driver.execute_cdp_cmd("Runtime.evaluate", {"expression": "window"})["result"]["objectId"]
    found = driver.execute_cdp_cmd("DOMDebugger.getEventListeners", {"objectId": window})["listeners"]
    driver.execute_cdp_cmd("Runtime.releaseObject", {"objectId": window})
    return {entry["type"] for entry in found}


def sound_plays(driver, base):
    """Loads the page, gives it a key, and checks that the title cue plays and
    that the page watches for gamepads from that key on, not before."""
    driver.get(f"{base}/velmora.html?time={SEED_TIME}")
    wait("the title card", lambda: state(driver).get("frames", 0) >= 1)
    if state(driver).get("audioFrames", 0) != 0:
        fail("sound was mixed before any key or click allowed it")
    pads = {"gamepadconnected", "gamepaddisconnected"}
    if window_listens_for(driver) & pads:
        fail("the page listens for gamepads before any key or click (the browser then polls for them)")
    press(driver, "a")  # a key the game ignores: only the sound starts
    if not pads <= window_listens_for(driver):
        fail(f"after a key the page does not listen for gamepads (it listens for {sorted(window_listens_for(driver))})")
    wait("the sound to start", lambda: state(driver).get("audioPath"))
    if state(driver)["audioPath"] != "buffers" or state(driver).get("audioState") != "running":
        fail(f"sound plays through {state(driver)['audioPath']} ({state(driver).get('audioState')})")
    first = wait("sound to flow", lambda: state(driver).get("audioPlayed", 0))
    start = time.monotonic()
    time.sleep(2)
    st = state(driver)
    advanced = st["audioPlayed"] - first
    seconds = time.monotonic() - start
    # Generous: a loaded machine may starve the output now and then, but
    # sound that stopped or only plays its first blocks falls far short.
    # The page plays at the mixer's rate, the cues' own.
    if st.get("audioRate") != SAMPLE_RATE:
        fail(f"Web Audio runs at {st.get('audioRate')} Hz, not the mixer's {SAMPLE_RATE}")
    if advanced < 0.4 * seconds * SAMPLE_RATE:
        fail(f"only {advanced} frames played in {seconds:.1f} s")
    if st["audioPeak"] < 1000:
        fail(f"the title cue is silent (peak {st['audioPeak']})")
    print(f"sound: {advanced} frames in {seconds:.1f} s ({advanced / seconds:.0f} a second), "
          f"peak {st['audioPeak']}, {st.get('audioStarved', 0)} frames of silence for want of a block")


# Runs the page's sound queue against an OfflineAudioContext: the program is
# a stand-in whose frame n is a distinct value, the queue is asked to keep
# the whole render ahead, and the render must hold every frame exactly.
JOINS_SCRIPT = """
const [source, rate, blockFrames, blocks, done] = arguments;
const heap = new Float32Array(2 * blockFrames + 16);
let mixed = 0;
const value = (n, side) => side * ((n % 4093) - 2046) / 2048;
const Module = {
  _velmora_web_mix(frames) {
    for (let i = 0; i < frames; ++i) {
      heap[4 + i] = value(mixed + i, 1);
      heap[4 + frames + i] = value(mixed + i, -1);
    }
    mixed += frames;
    return 16;
  },
  _velmora_web_mix_peak() { return 1; },
  _velmora_web_audio_hold() {},
};
const st = {audioFrames: 0, audioPeak: 0};
const VW = {state: () => st, status() {}};
const library = {};
const VA = new Function('mergeInto', 'LibraryManager', 'VW', 'Module', 'HEAPF32', 'setTimeout',
                        source + '; return LibraryManager.library.$VA;')(
    (lib, entries) => Object.assign(lib, entries), {library}, VW, Module, heap, () => 1);
const length = (blocks + 4) * blockFrames;
const ctx = new OfflineAudioContext(2, length, rate);
// An offline context runs only when rendered: the queue sees it as running
// and is asked to fill the whole render at once, from frame 256 on (joins
// off any power of two).
Object.defineProperty(ctx, 'state', {get: () => 'running'});
VA.marginSeconds = blocks * blockFrames / rate;
const a = {rate, channels: 2, blockFrames, ctx, hidden: false, timer: 0, queue: [], nextFrame: 256, played: 0, starved: 0};
// The queue refers to its own object by its library name.
globalThis.VA = VA;
VA.audio = a;
VA.feed(a);
const first = a.queue[0].start;
const count = a.queue.length;
ctx.startRendering().then((rendered) => {
  const left = rendered.getChannelData(0), right = rendered.getChannelData(1);
  let wrong = 0, firstWrong = -1;
  for (let f = 0; f < mixed && first + f < length; ++f) {
    if (left[first + f] !== value(f, 1) || right[first + f] !== value(f, -1)) {
      if (firstWrong < 0) firstWrong = f;
      ++wrong;
    }
  }
  let before = 0;
  for (let f = 0; f < first; ++f) if (left[f] !== 0 || right[f] !== 0) ++before;
  done({blocks: count, first, mixed, checked: Math.min(mixed, length - first), wrong, firstWrong, before});
}, (e) => done({error: String(e)}));
"""


def joins_seamless(driver, base):
    with open(os.path.join(HERE, "..", "..", "host", "web", "web_audio.js")) as f:
        source = f.read()
    driver.get(f"{base}/blank.html")
    block = 4096
    r = driver.execute_async_script(JOINS_SCRIPT, source, SAMPLE_RATE, block, 12)
    if "error" in r:
        fail(f"the offline render of the sound queue failed: {r['error']}")
    if r["blocks"] < 10:
        fail(f"the queue scheduled only {r['blocks']} blocks ahead")
    if r["wrong"] or r["before"]:
        fail(f"{r['wrong']} of {r['checked']} frames differ from the blocks (first at frame {r['firstWrong']}, "
             f"block {r['firstWrong'] // block}), {r['before']} before the first block")
    print(f"block joins: {r['blocks']} blocks of {block} frames rendered offline, "
          f"{r['checked']} frames exact across {r['blocks'] - 1} joins")


def hidden_page(driver, base):
    """A hidden page mixes and plays nothing; shown again, it plays on."""
    driver.get(f"{base}/velmora.html?time={SEED_TIME}")
    wait("the title card", lambda: state(driver).get("frames", 0) >= 1)
    press(driver, "a")
    wait("sound to flow", lambda: state(driver).get("audioPlayed", 0))
    # Headless Chromium keeps its one page visible: the page is told it is not.
    show = """document.__velmoraVisibility = arguments[0];
              if (!Object.getOwnPropertyDescriptor(document, 'visibilityState'))
                Object.defineProperty(document, 'visibilityState', {get: () => document.__velmoraVisibility});
              document.dispatchEvent(new Event('visibilitychange'));"""
    driver.execute_script(show, "hidden")
    if state(driver).get("audioState") != "suspended":
        fail(f"a hidden page's output is {state(driver).get('audioState')}, not suspended")
    held = state(driver)
    frames = held["frames"]
    time.sleep(1.5)
    st = state(driver)
    if st["audioFrames"] != held["audioFrames"] or st["audioPlayed"] != held["audioPlayed"]:
        fail(f"a hidden page went on mixing ({held['audioFrames']} -> {st['audioFrames']}) "
             f"or playing ({held['audioPlayed']} -> {st['audioPlayed']})")
    if st["frames"] < frames + 2:
        fail(f"the game stopped while the page was hidden ({frames} -> {st['frames']} frames)")
    driver.execute_script(show, "visible")
    wait("sound after the page is shown", lambda: state(driver)["audioPlayed"] > held["audioPlayed"] + SAMPLE_RATE // 2,
         seconds=10)
    st = state(driver)
    if st.get("audioState") != "running":
        fail(f"the shown page's output is {st.get('audioState')}")
    print(f"hidden page: {held['audioFrames']} frames mixed before and after 1.5 s hidden; "
          f"shown, {st['audioPlayed'] - held['audioPlayed']} more played")


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
    needed = ("velmora.html", "velmora.js", "velmora.wasm", "page.js")
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
        sound_plays(driver, base)
        joins_seamless(driver, base)
        hidden_page(driver, base)
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
