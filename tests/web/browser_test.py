#!/usr/bin/env python3
"""The browser build played in headless Chromium, checked against the headless host.

Serves the web build from 127.0.0.1, loads velmora.html?time=T in headless
Chromium through Selenium, and:
  1. waits for the title card and compares the canvas, pixel for pixel, with
     the frame velmora-replay presents at the same tick for the same seed;
  2. presses Space, holds Right for one tick, and compares the canvas after
     the move with the headless frame of the same tick, given the same keys
     at the same ticks; the headless trace must show the walker one cell to
     the right;
  3. checks that sound reached Web Audio after the first key;
  4. presses Escape and waits for the page to say the program has ended;
  5. loads the page again with the hardware device made to fail
     (fault=IDirect3D9.CreateDevice.HAL): the program's message box must be
     an in-page dialog with the headless host's text, and after OK the game
     runs on; a double click on the canvas starts it and a click right of the
     walker steps it, each frame equal to the headless host's for the same
     presses at the same ticks and client coordinates.
Exits 77 (CTest's skip) saying why when the web build, Chromium, its driver
or python3-selenium is missing; with VELMORA_BROWSER_TEST_REQUIRED=1 or
VELMORA_REQUIRE_ALL=1 that is a failure instead. A web build older than
the sources it is made from is refused (it would test yesterday's game).
The cell size and the tick period are read from the game's header, so the
expectations follow the game.

Usage: browser_test.py --web-dir DIR --replay VELMORA_REPLAY --work DIR
"""
import argparse
import base64
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

SKIP = 77
SEED_TIME = 1700000000
WIDTH, HEIGHT = 800, 640
SOURCE_DIR = os.path.realpath(os.path.join(os.path.dirname(__file__), "..", ".."))
# What the web build is made from (the desktop and headless hosts are not).
WEB_SOURCES = ("CMakeLists.txt", "cmake", "host", "platform", "gfx", "devices", "game", "app", "entry", "assets")
NOT_WEB_SOURCES = (os.path.join("host", "sdl"), os.path.join("host", "headless"))


def game_constant(name):
    """An integer constant of game/game_state.h."""
    with open(os.path.join(SOURCE_DIR, "game", "game_state.h")) as f:
        for line in f:
            m = re.match(rf"\s*constexpr\s+\w+\s+{name}\s*=\s*(\d+)\s*;", line)
            if m:
                return int(m.group(1))
    raise SystemExit(f"FAILED: game/game_state.h has no {name}")


CELL = game_constant("kCellSize")
TICK_MS = game_constant("kGameTimerPeriodMs")
WEB_FILES = ("velmora.html", "velmora.js", "velmora.wasm", "page.js")
CHROMIUM_FLAGS = ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                  "--disable-component-update", "--no-first-run", "--disable-sync", "--disable-quic",
                  "--window-size=900,900")


def skip(reason):
    # Where the test is required (CI's browser step), a skip is a failure.
    if "1" in (os.environ.get("VELMORA_BROWSER_TEST_REQUIRED"), os.environ.get("VELMORA_REQUIRE_ALL")):
        fail(f"required but cannot run: {reason}")
    print(f"SKIPPED: {reason}")
    sys.exit(SKIP)


def fail(reason):
    print(f"FAILED: {reason}")
    sys.exit(1)


def under_system_python():
    """Runs this script again under the system's Python, once: Debian's
    python3-selenium and python3-websockets belong to it, and another
    python3 earlier on PATH cannot see them. Returns only where it cannot."""
    system = "/usr/bin/python3"
    if os.path.realpath(sys.executable) != os.path.realpath(system) and os.path.exists(system) and \
            not os.environ.get("VELMORA_BROWSER_TEST_REEXEC"):
        os.environ["VELMORA_BROWSER_TEST_REEXEC"] = "1"
        os.execv(system, [system] + sys.argv)


def import_selenium():
    try:
        import selenium  # noqa: F401
        return
    except ImportError:
        pass
    under_system_python()
    skip("python3-selenium is not installed (scripts/setup.sh web installs it)")


def print_console(driver):
    """What the page said on its console explains most failures."""
    for entry in driver.get_log("browser"):
        print(f"browser console: {entry['level']}: {entry['message']}")


def read_png_rgb(path):
    """8-bit RGB or RGBA, non-interlaced PNG (what velmora-replay writes) as rows of RGB bytes."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        fail(f"{path} is not a PNG file")
    pos, idat, header = 8, b"", None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        fail(f"{path}: unexpected PNG format")
    bpp = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * bpp
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line) if bpp == 3 else bytes(v for j, v in enumerate(line) if j % 4 != 3))
        prev = line
    return width, height, b"".join(rows)


def write_png_rgb(path, width, height, rgb):
    """Rows of RGB bytes as a plain PNG, for looking at a canvas that differed."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    stride = width * 3
    raw = b"".join(b"\0" + rgb[y * stride:(y + 1) * stride] for y in range(height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def compare(name, browser_rgb, reference_png):
    width, height, ref = read_png_rgb(reference_png)
    if (width, height) != (WIDTH, HEIGHT):
        fail(f"{name}: reference frame is {width} x {height}")
    if browser_rgb == ref:
        print(f"{name}: canvas equals the headless host's frame ({WIDTH} x {HEIGHT}, every pixel)")
        return
    diff = [i // 3 for i in range(0, len(ref), 3) if browser_rgb[i:i + 3] != ref[i:i + 3]]
    first = diff[0]
    seen = os.path.splitext(reference_png)[0] + "-browser.png"
    write_png_rgb(seen, WIDTH, HEIGHT, bytes(browser_rgb))
    fail(f"{name}: {len(diff)} pixels differ from {reference_png} (the browser's canvas is {seen}); first at "
         f"({first % WIDTH}, {first // WIDTH}): browser {tuple(browser_rgb[3 * first:3 * first + 3])}, "
         f"headless {tuple(ref[3 * first:3 * first + 3])}")


def serve(directory):
    """The build served as scripts/serve-web.sh serves it (precompressed)."""
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
    import web_server
    return web_server.serve(directory)


# Reads the frame count and the canvas in one go: the page cannot present
# in between, since it runs on the same thread as this script.
READ_CANVAS = """
const c = document.getElementById('canvas');
const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
const rgb = new Uint8Array(c.width * c.height * 3);
for (let i = 0, j = 0; i < d.length; i += 4, j += 3) { rgb[j] = d[i]; rgb[j + 1] = d[i + 1]; rgb[j + 2] = d[i + 2]; }
let s = '';
for (let i = 0; i < rgb.length; i += 0x8000) s += String.fromCharCode.apply(null, rgb.subarray(i, i + 0x8000));
return {frames: Module.velmora.frames, width: c.width, height: c.height, rgb: btoa(s)};
"""


class Page:
    def __init__(self, driver):
        self.driver = driver

    def state(self):
        return self.driver.execute_script("return Module.velmora")

    def frames(self):
        return self.state()["frames"]

    def wait(self, what, predicate, seconds=30):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            value = predicate()
            if value:
                return value
            time.sleep(0.02)
        fail(f"timed out after {seconds} s waiting for {what}")

    def wait_frames_above(self, count):
        return self.wait(f"frame {count + 1}", lambda: self.frames() > count and self.frames())

    def canvas(self):
        shot = self.driver.execute_script(READ_CANVAS)
        if (shot["width"], shot["height"]) != (WIDTH, HEIGHT):
            fail(f"canvas is {shot['width']} x {shot['height']}, not {WIDTH} x {HEIGHT}")
        return shot["frames"], base64.b64decode(shot["rgb"])

    def act(self, what, perform, presses=1):
        """Performs an input action; returns how many frames the page had
        shown when its first event reached it (it counts from the next tick).
        With `presses` above one (a double click or tap), the count is taken
        at the last press: the presses may straddle a tick, and the game sees
        the double click only with the last."""
        seen = len(self.state()["input"])
        perform()
        if presses == 1:
            events = self.wait(what + " to reach the page", lambda: self.state()["input"][seen:])
            return events[0]["frames"]
        downs = self.wait(what + " to reach the page",
                          lambda: [e for e in self.state()["input"][seen:] if e["type"] == "mousedown"][presses - 1:])
        return downs[0]["frames"]

    def key(self, name, down):
        from selenium.webdriver.common.action_chains import ActionChains
        chain = ActionChains(self.driver)
        return self.act(f"key {name!r}", (chain.key_down if down else chain.key_up)(name).perform)

    def press_at(self, client_x, client_y, double):
        """A click or double click at a client pixel of the canvas."""
        from selenium.webdriver.common.action_chains import ActionChains
        canvas = self.driver.find_element("id", "canvas")
        box = self.driver.execute_script("const r = arguments[0].getBoundingClientRect();"
                                         "return [r.width, r.height];", canvas)
        if box != [WIDTH, HEIGHT]:
            fail(f"the canvas is shown at {box}, the test presses at one CSS pixel per client pixel")
        # Offsets count from the element's centre.
        chain = ActionChains(self.driver).move_to_element_with_offset(canvas, client_x - WIDTH // 2,
                                                                      client_y - HEIGHT // 2)
        chain = chain.double_click() if double else chain.click()
        return self.act("a press", chain.perform, 2 if double else 1)


def run_replay(replay, work, script_lines, frames, until_ms, faults=()):
    out = os.path.join(work, "headless")
    shutil.rmtree(out, ignore_errors=True)
    script = os.path.join(work, "browser.replay")
    with open(script, "w") as f:
        f.write("# The keys the browser test pressed, at the same ticks.\n" + "".join(l + "\n" for l in script_lines))
    cmd = [replay, "--out", out, "--time", str(SEED_TIME), "--until", str(until_ms),
           "--frames", ",".join(str(n) for n in frames)]
    for fault in faults:
        cmd += ["--fault", fault]
    cmd.append(script)
    done = subprocess.run(cmd, capture_output=True, text=True)
    if done.returncode != 0:
        fail(f"velmora-replay failed ({done.returncode}): {done.stderr.strip()}")
    with open(os.path.join(out, "trace.jsonl")) as f:
        trace = {t["tick"]: t for t in map(json.loads, f)}
    return out, trace


def configure_inputs(web_dir):
    """The source tree's files that make the web build configure again, as
    its Ninja lists them, or None where that cannot be asked."""
    ninja = shutil.which("ninja")
    if not ninja or not os.path.isfile(os.path.join(web_dir, "build.ninja")):
        return None
    p = subprocess.run([ninja, "-C", web_dir, "-t", "query", "build.ninja"], capture_output=True, text=True)
    if p.returncode != 0 or "input: RERUN_CMAKE" not in p.stdout:
        return None
    inputs = set()
    for line in p.stdout.split("outputs:")[0].splitlines():
        path = line.strip().lstrip("|").strip()
        if os.path.isabs(path) and os.path.commonpath([path, SOURCE_DIR]) == SOURCE_DIR:
            inputs.add(os.path.normpath(path))
    return inputs


def is_cmake_file(path):
    return os.path.basename(path) == "CMakeLists.txt" or path.endswith(".cmake")


def newer_source(web_dir):
    """A source file changed after the web build was made, or None."""
    # The program's files are made again on any change of the program.
    built = min(os.path.getmtime(os.path.join(web_dir, f)) for f in WEB_FILES if f.startswith("velmora."))
    # A changed CMake file makes the build configure again, which need not
    # touch the program: it counts against the last configure, and only if
    # the web build reads it (the build's own list, where there is one).
    # (Configuring always writes build.ninja; Ninja would loop otherwise.)
    configured = max([built] + [os.path.getmtime(os.path.join(web_dir, f)) for f in ("build.ninja", "Makefile")
                                if os.path.isfile(os.path.join(web_dir, f))])
    read = configure_inputs(web_dir)
    for top in WEB_SOURCES:
        path = os.path.join(SOURCE_DIR, top)
        walk = [(path, [], [""])] if os.path.isfile(path) else os.walk(path)
        for directory, dirs, files in walk:
            dirs[:] = [d for d in dirs if os.path.relpath(os.path.join(directory, d), SOURCE_DIR) not in NOT_WEB_SOURCES]
            for name in files:
                f = os.path.join(directory, name) if name else directory
                if is_cmake_file(f):
                    if read is not None and os.path.normpath(f) not in read:
                        continue
                    if os.path.getmtime(f) > configured:
                        return os.path.relpath(f, SOURCE_DIR)
                elif os.path.isfile(os.path.join(web_dir, os.path.basename(f))):
                    # A page file the build copies as it is, when it differs.
                    with open(f, "rb") as a, open(os.path.join(web_dir, os.path.basename(f)), "rb") as b:
                        if a.read() != b.read():
                            return os.path.relpath(f, SOURCE_DIR)
                elif os.path.getmtime(f) > built:
                    return os.path.relpath(f, SOURCE_DIR)
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--web-dir", required=True)
    ap.add_argument("--replay", required=True)
    ap.add_argument("--work", required=True)
    args = ap.parse_args()

    missing = [f for f in WEB_FILES if not os.path.isfile(os.path.join(args.web_dir, f))]
    if missing:
        skip(f"no web build in {args.web_dir} (missing {', '.join(missing)}); "
             "make it with: cmake --preset web && cmake --build --preset web")
    stale = newer_source(args.web_dir)
    if stale:
        fail(f"the web build in {args.web_dir} is older than {stale}: rebuild the web preset "
             "(cmake --build --preset web)")
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    driver_path = shutil.which("chromedriver") or ("/usr/bin/chromedriver" if os.path.exists("/usr/bin/chromedriver") else None)
    if not chromium:
        skip("Chromium is not installed (scripts/setup.sh web installs it)")
    if not driver_path:
        skip("chromium-driver is not installed (scripts/setup.sh web installs it)")
    import_selenium()
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    os.makedirs(args.work, exist_ok=True)
    server = serve(args.web_dir)
    profile = tempfile.mkdtemp(prefix="velmora-chromium-")
    options = webdriver.ChromeOptions()
    for flag in CHROMIUM_FLAGS:
        options.add_argument(flag)
    options.add_argument(f"--user-data-dir={profile}")
    options.binary_location = chromium
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(driver_path), options=options)
    base = f"http://127.0.0.1:{server.server_address[1]}/velmora.html?time={SEED_TIME}"
    try:
        keys_session(driver, base, args)
        dialog_and_mouse_session(driver, base, args)
    except SystemExit as stop:
        if stop.code != 0:
            print_console(driver)
        raise
    finally:
        driver.quit()
        server.shutdown()
        shutil.rmtree(profile, ignore_errors=True)
    print("PASSED")


def between(tick):
    """The middle of the gap after headless tick `tick`."""
    return tick * TICK_MS + TICK_MS // 2


def check_surrounded(trace, ticks):
    for tick in ticks:
        if not (trace[tick]["ms"] < between(tick) < trace[tick + 1]["ms"]):
            fail(f"headless ticks {tick} and {tick + 1} at {trace[tick]['ms']} and {trace[tick + 1]['ms']} ms "
                 f"do not surround the input at {between(tick)} ms")


def keys_session(driver, base, args):
    from selenium.webdriver.common.keys import Keys
    url = base
    driver.get(url)
    page = Page(driver)
    print(f"loaded {url}")

    page.wait("the title card", lambda: page.frames() >= 1)
    title_tick, title_rgb = page.canvas()
    driver.save_screenshot(os.path.join(args.work, "title.png"))

    space_after = page.key(Keys.SPACE, True)
    page.key(Keys.SPACE, False)
    first_play = page.wait_frames_above(space_after)
    right_after = page.key(Keys.ARROW_RIGHT, True)
    page.wait_frames_above(right_after)
    release_after = page.key(Keys.ARROW_RIGHT, False)
    page.wait_frames_above(release_after + 1)
    moved_tick, moved_rgb = page.canvas()
    driver.save_screenshot(os.path.join(args.work, "play.png"))
    audio = page.state()
    print(f"ticks: title {title_tick}, Space after {space_after}, first play {first_play}, "
          f"Right held after {right_after} until after {release_after}, compared {moved_tick}")
    if release_after != right_after + 1:
        fail(f"Right was held for {release_after - right_after} ticks, not one (the machine is too slow?)")

    page.key(Keys.ESCAPE, True)
    page.key(Keys.ESCAPE, False)
    page.wait("the page to report the end", lambda: page.state()["exitCode"] is not None)
    status = driver.execute_script("return document.getElementById('status').textContent")
    ended = page.state()["exitCode"]

    # The same keys in the headless host, each in the middle of the same gap
    # between two ticks (the trace says when the ticks were).
    script = [f"at {between(space_after)} key space down", f"at {between(space_after) + 20} key space up",
              f"at {between(right_after)} key right down", f"at {between(release_after)} key right up"]
    out, trace = run_replay(args.replay, args.work, script, [title_tick, moved_tick], (moved_tick + 1) * TICK_MS)
    check_surrounded(trace, (space_after, right_after, release_after))

    compare(f"title card (tick {title_tick})", title_rgb, os.path.join(out, "frames", f"tick-{title_tick}.png"))
    before = trace[right_after]["walker"]
    after = trace[moved_tick]["walker"]
    if [after[0] - before[0], after[1] - before[1]] != [1, 0]:
        fail(f"the walker went from {before} to {after}, not one cell right")
    print(f"walker moved one cell: {before} -> {after}")
    compare(f"play after Right (tick {moved_tick})", moved_rgb, os.path.join(out, "frames", f"tick-{moved_tick}.png"))

    if audio["audioFrames"] <= 0 or audio["audioPeak"] <= 0 or audio.get("audioPlayed", 0) <= 0:
        fail(f"no sound reached Web Audio after the first key ({audio})")
    print(f"sound: {audio['audioFrames']} frames mixed for Web Audio, {audio['audioPlayed']} played, "
          f"peak {audio['audioPeak']}")

    if ended != 0 or "ended" not in status:
        fail(f"after Escape: exit code {ended}, page says {status!r}")
    print(f"after Escape the page says: {status}")


DIALOG = """
const d = document.getElementById('dialog');
return {shown: !d.hidden, caption: d.querySelector('.caption').textContent, text: d.querySelector('.text').textContent,
        buttons: Array.from(d.querySelectorAll('button')).map(b => b.textContent), frames: Module.velmora.frames};
"""


def dialog_and_mouse_session(driver, base, args):
    fault = "IDirect3D9.CreateDevice.HAL"
    driver.get(f"{base}&fault={fault}")
    page = Page(driver)
    dialog = page.wait("the message box", lambda: (lambda d: d if d["shown"] else None)(driver.execute_script(DIALOG)))
    driver.save_screenshot(os.path.join(args.work, "dialog.png"))
    if dialog["frames"] != 0 or dialog["buttons"] != ["OK"]:
        fail(f"the message box should hold the program before its first frame, with one OK button: {dialog}")
    driver.find_element("css selector", "#dialog button").click()
    page.wait("the title card after the message box", lambda: page.frames() >= 1)
    if driver.execute_script(DIALOG)["shown"]:
        fail("the message box is still shown after OK")

    start_after = page.press_at(400, 300, double=True)
    page.wait_frames_above(start_after)
    # The walker starts in the top left cell: a click further right in its row steps it right at once.
    step_after = page.press_at(3 * CELL + CELL // 2, CELL // 2, double=False)
    page.wait_frames_above(step_after)
    stepped_tick, stepped_rgb = page.canvas()
    print(f"ticks: double click after {start_after}, click after {step_after}, compared {stepped_tick}")
    driver.save_screenshot(os.path.join(args.work, "clicked.png"))

    script = [f"at {between(start_after)} dblclick 400 300", f"at {between(step_after)} click {3 * CELL + CELL // 2} {CELL // 2}"]
    out, trace = run_replay(args.replay, args.work, script, [stepped_tick], (stepped_tick + 1) * TICK_MS, [fault])
    check_surrounded(trace, (start_after, step_after))
    with open(os.path.join(out, "dialogs.jsonl")) as f:
        boxes = [json.loads(line) for line in f]
    want_caption = boxes[0]["caption"] if boxes and boxes[0]["caption"] is not None else "Error"
    if len(boxes) != 1 or dialog["text"] != boxes[0]["text"] or dialog["caption"] != want_caption:
        fail(f"the page's message box {dialog} is not the headless host's {boxes}")
    print(f"message box in the page: {dialog['caption']!r}: {dialog['text']!r}")
    if trace[step_after]["titleShown"] != 0:
        fail("the double click did not start the game")
    before, after = trace[step_after]["walker"], trace[stepped_tick]["walker"]
    if [after[0] - before[0], after[1] - before[1]] != [1, 0]:
        fail(f"the click moved the walker from {before} to {after}, not one cell right")
    print(f"double click started the game; click moved the walker {before} -> {after}")
    compare(f"play after the click (tick {stepped_tick})", stepped_rgb,
            os.path.join(out, "frames", f"tick-{stepped_tick}.png"))


if __name__ == "__main__":
    main()
