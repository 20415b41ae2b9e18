#!/usr/bin/env python3
"""The page around the browser build, in headless Chromium, checked against
the headless host.

  1. Download: the bytes on the wire before the first frame (resource
     timing) stay under the budget; the five cues the page made are the
     shipped WAV files, byte for byte (SHA-256); with the network throttled
     to 20 Mbit/s the time to the first frame is printed (not asserted).
  2. Phones (Chromium's emulation, touch): at 390 x 844 with ratios 2 and 3
     and at 844 x 390 the whole canvas is inside the viewport and fills at
     least 85 % of its width or height; the d-pad and START are shown. On
     the phone a double tap starts, a tap right of the walker steps it, the
     d-pad's Right held for one tick and then Down and Right held together
     by two fingers move it, each frame equal to the headless host's for the
     same presses and keys at the same ticks.
  3. "Play again" after Escape starts the program afresh: the title card
     again, equal to the headless host's.
  4. Offline: once the service worker has the build, a reload with the
     server stopped plays the title card.
Exits 77 (skip) saying why when the web build, Chromium, its driver or
python3-selenium is missing; VELMORA_REQUIRE_ALL=1 (or
VELMORA_BROWSER_TEST_REQUIRED=1) makes that a failure.

Usage: page_test.py --web-dir DIR --replay VELMORA_REPLAY --assets DIR --work DIR
"""
import argparse
import hashlib
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser_test as bt  # noqa: E402  (the shared page helpers)

BUDGET = 1_000_000
CUES = ("bgm.wav", "get.wav", "clear.wav", "over.wav", "start.wav")
PHONES = ((390, 844, 3), (390, 844, 2), (844, 390, 3))
MIN_FILL = 0.85

if os.environ.get("VELMORA_REQUIRE_ALL") == "1":
    os.environ["VELMORA_BROWSER_TEST_REQUIRED"] = "1"

# Resource timing of everything the page fetched before `before` (ms since
# the navigation started), the page itself included.
WIRE = """
const before = arguments[0];
const all = performance.getEntriesByType('navigation').concat(performance.getEntriesByType('resource'));
return all.filter(e => e.startTime <= before)
          .map(e => ({name: e.name.split('/').pop().split('?')[0], wire: e.transferSize, body: e.decodedBodySize}));
"""

CUE_DIGESTS = """
const done = arguments[arguments.length - 1];
Promise.all(arguments[0].map(name => crypto.subtle.digest('SHA-256', Module.FS.readFile('/' + name))
    .then(d => [name, Array.from(new Uint8Array(d)).map(b => b.toString(16).padStart(2, '0')).join('')])))
  .then(pairs => done(Object.fromEntries(pairs)), e => done({error: String(e)}));
"""

LAYOUT = """
const r = document.getElementById('canvas').getBoundingClientRect();
const controls = document.getElementById('controls');
const pad = document.getElementById('dpad').getBoundingClientRect();
return {left: r.left, top: r.top, width: r.width, height: r.height, vw: window.innerWidth, vh: window.innerHeight,
        dpr: window.devicePixelRatio, touch: document.body.classList.contains('touch'),
        controls: !controls.hidden && pad.width > 0,
        padOverlaps: pad.right > r.left && pad.left < r.right && pad.bottom > r.top && pad.top < r.bottom,
        scaling: document.getElementById('canvas').getAttribute('data-scaling'),
        hint: document.getElementById('status').textContent};
"""


def first_frame_ms(page):
    """Polls until the first frame; returns the page's clock then (ms since navigation)."""
    return page.wait("the first frame", lambda: page.driver.execute_script(
        "return Module.velmora && Module.velmora.frames >= 1 ? performance.now() : 0"), seconds=60)


def new_driver(args, mobile=None):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    for flag in bt.CHROMIUM_FLAGS:
        options.add_argument(flag)
    profile = tempfile.mkdtemp(prefix="velmora-chromium-")
    options.add_argument(f"--user-data-dir={profile}")
    options.binary_location = args.chromium
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    if mobile:
        width, height, ratio = mobile
        options.add_experimental_option("mobileEmulation", {
            "deviceMetrics": {"width": width, "height": height, "pixelRatio": ratio, "touch": True},
            "userAgent": "Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 (KHTML, like Gecko) "
                         "Chrome/120.0 Mobile Safari/537.36"})
    driver = webdriver.Chrome(service=Service(args.driver), options=options)
    driver.velmora_profile = profile
    return driver


def close(driver):
    if driver is None:
        return
    driver.quit()
    shutil.rmtree(driver.velmora_profile, ignore_errors=True)


def download_session(args, url):
    driver = new_driver(args)
    try:
        page = bt.Page(driver)
        driver.get(url)
        first = first_frame_ms(page)
        entries = driver.execute_script(WIRE, first)
        wire = sum(e["wire"] for e in entries)
        body = sum(e["body"] for e in entries)
        for e in entries:
            print(f"  before the first frame: {e['name'] or '(page)'}: {e['wire']} bytes on the wire, {e['body']} bytes")
        print(f"download: {wire} bytes on the wire before the first frame ({body} bytes unpacked), "
              f"first frame after {first:.0f} ms on localhost")
        if not entries or any(e["wire"] <= 0 for e in entries):
            bt.fail(f"resource timing has no sizes: {entries}")
        if wire > BUDGET:
            bt.fail(f"{wire} bytes on the wire before the first frame, over the budget of {BUDGET}")

        digests = driver.execute_async_script(CUE_DIGESTS, list(CUES))
        for name in CUES:
            with open(os.path.join(args.assets, name), "rb") as f:
                shipped = hashlib.sha256(f.read()).hexdigest()
            if digests.get(name) != shipped:
                bt.fail(f"the page's {name} has SHA-256 {digests.get(name)}, the shipped file {shipped}")
        print(f"cues made in the page equal the shipped files (SHA-256 of {', '.join(CUES)})")

        # The same load at 20 Mbit/s, nothing cached.
        driver.execute_cdp_cmd("Network.enable", {})
        driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
        driver.execute_cdp_cmd("Network.emulateNetworkConditions", {
            "offline": False, "latency": 20, "downloadThroughput": 20_000_000 / 8,
            "uploadThroughput": 20_000_000 / 8})
        driver.execute_script("navigator.serviceWorker && navigator.serviceWorker.getRegistrations()"
                              ".then(rs => rs.forEach(r => r.unregister()))")
        driver.get(url + "&throttled=1")
        slow = first_frame_ms(page)
        print(f"download: first frame after {slow:.0f} ms at 20 Mbit/s (20 ms latency)")
    finally:
        close(driver)


def check_layout(driver, label, shots, name):
    page = bt.Page(driver)
    # The layout follows the window's resize; give it a moment to settle.
    page.wait(f"{label}: the canvas laid out", lambda: driver.execute_script(LAYOUT)["width"] > 0)
    time.sleep(0.3)
    lay = driver.execute_script(LAYOUT)
    eps = 0.5
    inside = (lay["left"] >= -eps and lay["top"] >= -eps and lay["left"] + lay["width"] <= lay["vw"] + eps
              and lay["top"] + lay["height"] <= lay["vh"] + eps)
    fill = max(lay["width"] / lay["vw"], lay["height"] / lay["vh"])
    print(f"{label}: canvas {lay['width']:.1f} x {lay['height']:.1f} CSS px at ({lay['left']:.1f}, {lay['top']:.1f}) "
          f"in {lay['vw']} x {lay['vh']} at ratio {lay['dpr']}, {lay['scaling']}, fills {fill:.0%}")
    if not inside:
        bt.fail(f"{label}: the canvas is not wholly inside the viewport: {lay}")
    if fill < MIN_FILL:
        bt.fail(f"{label}: the canvas fills {fill:.0%} of the viewport, under {MIN_FILL:.0%}: {lay}")
    if abs(lay["width"] * 640 - lay["height"] * 800) > 1:
        bt.fail(f"{label}: the canvas is not 5:4: {lay}")
    if not lay["touch"] or not lay["controls"] or lay["padOverlaps"]:
        bt.fail(f"{label}: the touch controls should be shown, beside the board: {lay}")
    if "tap" not in lay["hint"].lower():
        bt.fail(f"{label}: the hint speaks of {lay['hint']!r}, not of taps")
    driver.save_screenshot(os.path.join(shots, name))
    return lay


def tap_css(driver, x, y, double=False):
    """One finger's tap (or two) at a point of the viewport, in CSS pixels."""
    from selenium.webdriver.common.actions import interaction
    from selenium.webdriver.common.actions.action_builder import ActionBuilder
    from selenium.webdriver.common.actions.pointer_input import PointerInput
    finger = PointerInput(interaction.POINTER_TOUCH, "finger")
    chain = ActionBuilder(driver, mouse=finger, duration=0)
    chain.pointer_action.move_to_location(int(x), int(y)).pointer_down().pointer_up()
    if double:
        chain.pointer_action.pause(0.08).pointer_down().pointer_up()
    chain.perform()


def hold_buttons(driver, codes, down):
    """Fingers on the controls' buttons for `codes`, one finger each, or
    all of them lifted (DevTools' touch input: the fingers stay down
    between calls)."""
    points = []
    for i, code in enumerate(codes):
        box = driver.execute_script(
            "const r = document.querySelector(`#controls [data-code='${arguments[0]}']`).getBoundingClientRect();"
            "return [r.left + r.width / 2, r.top + r.height / 2];", code)
        points.append({"x": box[0], "y": box[1], "id": i + 1})
    driver.execute_cdp_cmd("Input.dispatchTouchEvent",
                           {"type": "touchStart" if down else "touchEnd", "touchPoints": points if down else []})


def client_of(lay, x, y):
    """The client pixel the host maps a CSS point of the viewport to."""
    return (int((x - lay["left"]) * 800 // lay["width"]), int((y - lay["top"]) * 640 // lay["height"]))


def css_of(lay, cx, cy):
    """A whole CSS point inside client pixel (cx, cy), as a finger lands."""
    for dx in range(-3, 4):
        for dy in range(-3, 4):
            x = round(lay["left"] + (cx + 0.5) * lay["width"] / 800) + dx
            y = round(lay["top"] + (cy + 0.5) * lay["height"] / 640) + dy
            if client_of(lay, x, y) == (cx, cy):
                return x, y
    return round(lay["left"] + (cx + 0.5) * lay["width"] / 800), round(lay["top"] + (cy + 0.5) * lay["height"] / 640)


def phone_session(args, base):
    shots = args.work
    driver = None
    try:
        for i, (width, height, ratio) in enumerate(PHONES):
            close(driver)
            driver = new_driver(args, (width, height, ratio))
            driver.get(base)
            page = bt.Page(driver)
            first_frame_ms(page)
            label = f"phone {width} x {height} at {ratio}"
            name = f"phone-{'portrait' if height > width else 'landscape'}-{ratio}.png"
            lay = check_layout(driver, label, shots, name)
            if i == 0:
                play_by_touch(driver, page, lay, args)
    except SystemExit as stop:
        if stop.code != 0 and driver is not None:
            bt.print_console(driver)
        raise
    finally:
        close(driver)


def play_by_touch(driver, page, lay, args):
    cell = bt.CELL
    # A double tap in the middle starts.
    x, y = css_of(lay, 400, 300)
    start_at = client_of(lay, x, y)
    start_after = page.act("a double tap", lambda: tap_css(driver, x, y, double=True), presses=2)
    page.wait_frames_above(start_after + 1)
    # The d-pad's Right held for one tick: the walker leaves the top left cell.
    right_after = page.act("Right on the d-pad", lambda: hold_buttons(driver, ["ArrowRight"], True))
    page.wait_frames_above(right_after)
    right_up = page.act("Right let go", lambda: hold_buttons(driver, ["ArrowRight"], False))
    page.wait_frames_above(right_up + 1)
    # A tap on the cell below the walker (now in cell 1, 0) steps it down.
    x, y = css_of(lay, cell + cell // 2, cell + cell // 2)
    step_at = client_of(lay, x, y)
    step_after = page.act("a tap", lambda: tap_css(driver, x, y))
    page.wait_frames_above(step_after + 1)
    # Two fingers: Down and Right held together for one tick.
    both_after = page.act("Down and Right on the d-pad", lambda: hold_buttons(driver, ["ArrowDown", "ArrowRight"], True))
    page.wait_frames_above(both_after)
    both_up = page.act("both let go", lambda: hold_buttons(driver, ["ArrowDown", "ArrowRight"], False))
    page.wait_frames_above(both_up + 1)
    tick, rgb = page.canvas()
    driver.save_screenshot(os.path.join(args.work, "phone-played.png"))
    held = [(e["type"], e["code"], e["frames"]) for e in page.state()["input"] if e["type"].startswith("key")]
    print(f"phone: double tap at client {start_at} after tick {start_after}, Right {right_after}-{right_up}, "
          f"tap at {step_at} after {step_after}, Down+Right {both_after}-{both_up}, compared {tick}")
    print(f"phone: keys the controls held: {held}")
    if right_up != right_after + 1 or both_up != both_after + 1:
        bt.fail("a d-pad hold did not last exactly one tick (the machine is too slow?)")
    together = [k for k in held if k[0] == "keydown" and k[2] == both_after]
    if sorted(k[1] for k in together) != ["ArrowDown", "ArrowRight"]:
        bt.fail(f"two fingers on the d-pad were not two keys held: {held}")

    script = [f"at {bt.between(start_after)} dblclick {start_at[0]} {start_at[1]}",
              f"at {bt.between(right_after)} key right down", f"at {bt.between(right_up)} key right up",
              f"at {bt.between(step_after)} click {step_at[0]} {step_at[1]}",
              f"at {bt.between(both_after)} key down down", f"at {bt.between(both_after) + 1} key right down",
              f"at {bt.between(both_up)} key down up", f"at {bt.between(both_up) + 1} key right up"]
    out, trace = bt.run_replay(args.replay, args.work, script, [tick], (tick + 1) * 500)
    bt.check_surrounded(trace, (start_after, step_after, right_after, right_up, both_after, both_up))
    if trace[right_after]["titleShown"] != 0:
        bt.fail("the double tap did not start the game")
    walk = [trace[t]["walker"] for t in (right_after, step_after, both_after, tick)]
    print(f"phone: the walker went {walk[0]} -> (Right) {walk[1]} -> (tap) {walk[2]} -> (Down+Right) {walk[3]}")
    if walk[1] != [walk[0][0] + 1, walk[0][1]] or walk[2] != [walk[1][0], walk[1][1] + 1]:
        bt.fail(f"the d-pad and the tap did not move the walker as keys and clicks do: {walk}")
    bt.compare(f"phone play after taps and the d-pad (tick {tick})", rgb,
               os.path.join(out, "frames", f"tick-{tick}.png"))


def play_again_and_offline_session(args, base, server):
    from selenium.webdriver.common.keys import Keys
    driver = new_driver(args)
    try:
        page = bt.Page(driver)
        driver.get(base)
        first_frame_ms(page)
        page.key(Keys.ESCAPE, True)
        page.key(Keys.ESCAPE, False)
        page.wait("the page to report the end", lambda: page.state()["exitCode"] is not None)
        shown = page.wait("Play again", lambda: driver.execute_script(
            "const b = document.getElementById('play-again'); return !b.hidden && b.getBoundingClientRect().width > 0"))
        status = driver.execute_script("return document.getElementById('status').textContent")
        driver.save_screenshot(os.path.join(args.work, "play-again.png"))
        print(f"after Escape: exit code {page.state()['exitCode']}, page says {status!r}, Play again shown: {shown}")
        if page.state()["exitCode"] != 0 or "exit code 0" not in status:
            bt.fail(f"after Escape the page says {status!r}")
        driver.find_element("id", "play-again").click()
        page.wait("a new run's title card", lambda: page.state()["exitCode"] is None and page.frames() >= 1)
        tick, rgb = page.canvas()
        if not driver.execute_script("return document.getElementById('play-again').hidden"):
            bt.fail("Play again is still shown while the program runs")
        out, _ = bt.run_replay(args.replay, args.work, [], [tick], (tick + 1) * 500)
        bt.compare(f"title card after Play again (tick {tick})", rgb, os.path.join(out, "frames", f"tick-{tick}.png"))

        # Offline: the service worker has to hold the build first.
        page.wait("the service worker to control the page", lambda: driver.execute_script(
            "return !!(navigator.serviceWorker && navigator.serviceWorker.controller)"), seconds=30)
        kept = driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            caches.keys().then(ks => Promise.all(ks.map(k => caches.open(k).then(c => c.keys()))))
              .then(lists => done(lists.flat().map(r => r.url.split('/').pop())), e => done(String(e)));""")
        server.shutdown()
        server.server_close()
        driver.refresh()
        first_frame_ms(page)
        tick, rgb = page.canvas()
        out, _ = bt.run_replay(args.replay, args.work, [], [tick], (tick + 1) * 500)
        bt.compare(f"offline title card, server stopped (tick {tick})", rgb,
                   os.path.join(out, "frames", f"tick-{tick}.png"))
        print(f"offline: the service worker kept {sorted(kept)}")
    except SystemExit as stop:
        if stop.code != 0:
            bt.print_console(driver)
        raise
    finally:
        close(driver)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--web-dir", required=True)
    ap.add_argument("--replay", required=True)
    ap.add_argument("--assets", required=True)
    ap.add_argument("--work", required=True)
    args = ap.parse_args()
    missing = [f for f in bt.WEB_FILES + ("sw.js", "files.json") if not os.path.isfile(os.path.join(args.web_dir, f))]
    if missing:
        bt.skip(f"no web build in {args.web_dir} (missing {', '.join(missing)}); "
                "make it with: cmake --preset web && cmake --build --preset web")
    args.chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    args.driver = shutil.which("chromedriver") or ("/usr/bin/chromedriver" if os.path.exists("/usr/bin/chromedriver")
                                                    else None)
    if not args.chromium:
        bt.skip("Chromium is not installed (scripts/setup.sh web installs it)")
    if not args.driver:
        bt.skip("chromium-driver is not installed (scripts/setup.sh web installs it)")
    bt.import_selenium()
    os.makedirs(args.work, exist_ok=True)

    server = bt.serve(args.web_dir)
    base = f"http://127.0.0.1:{server.server_address[1]}/velmora.html?time={bt.SEED_TIME}"
    try:
        download_session(args, base)
        phone_session(args, base)
        play_again_and_offline_session(args, base, server)
    finally:
        server.shutdown()
    print(f"screenshots in {args.work}")
    print("PASSED")


if __name__ == "__main__":
    main()
