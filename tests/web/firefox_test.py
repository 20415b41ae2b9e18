#!/usr/bin/env python3
"""A second browser: the browser build's title card in headless Firefox ESR
equals the headless host's frame of the same tick.

Firefox is driven over WebDriver BiDi, which it speaks itself (Debian has no
geckodriver): a websocket to its remote agent opens a session, loads the
page, polls the page's frame count and reads the canvas back.
Exits 77 (skip) saying why when the web build, firefox-esr or
python3-websockets is missing; VELMORA_REQUIRE_ALL=1 (or
VELMORA_BROWSER_TEST_REQUIRED=1) makes that a failure.

Usage: firefox_test.py --web-dir DIR --replay VELMORA_REPLAY --work DIR
"""
import argparse
import asyncio
import base64
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser_test as bt  # noqa: E402

if os.environ.get("VELMORA_REQUIRE_ALL") == "1":
    os.environ["VELMORA_BROWSER_TEST_REQUIRED"] = "1"

# The canvas as browser_test reads it, once the first frame is there, as JSON.
READ = ("(() => { if (!window.Module || !Module.velmora || Module.velmora.frames < 1) return '';"
        " return JSON.stringify((() => {" + bt.READ_CANVAS + "})()); })()")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Bidi:
    def __init__(self, ws):
        self.ws = ws
        self.next_id = 0

    async def call(self, method, params, timeout=60):
        self.next_id += 1
        my_id = self.next_id
        await self.ws.send(json.dumps({"id": my_id, "method": method, "params": params}))
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                bt.fail(f"Firefox did not answer {method} within {timeout} s")
            reply = json.loads(await asyncio.wait_for(self.ws.recv(), left))
            if reply.get("id") != my_id:
                continue  # an event
            if reply.get("type") == "error":
                bt.fail(f"Firefox: {method} failed: {reply}")
            return reply["result"]


async def title_card(port, url):
    import websockets
    deadline = time.monotonic() + 60
    while True:
        try:
            ws = await websockets.connect(f"ws://127.0.0.1:{port}/session", max_size=None)
            break
        except OSError:
            if time.monotonic() > deadline:
                bt.fail("Firefox's remote agent did not start within 60 s")
            await asyncio.sleep(0.2)
    try:
        b = Bidi(ws)
        await b.call("session.new", {"capabilities": {}})
        tree = await b.call("browsingContext.getTree", {})
        context = tree["contexts"][0]["context"]
        await b.call("browsingContext.navigate", {"context": context, "url": url, "wait": "complete"})
        deadline = time.monotonic() + 60
        while True:
            result = await b.call("script.evaluate", {"expression": READ, "target": {"context": context},
                                                      "awaitPromise": False})
            value = result.get("result", {}).get("value", "")
            if value:
                break
            if time.monotonic() > deadline:
                bt.fail("no frame in Firefox within 60 s")
            await asyncio.sleep(0.05)
        shot = await b.call("browsingContext.captureScreenshot", {"context": context})
        return json.loads(value), base64.b64decode(shot["data"])
    finally:
        await ws.close()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--web-dir", required=True)
    ap.add_argument("--replay", required=True)
    ap.add_argument("--work", required=True)
    args = ap.parse_args()
    missing = [f for f in bt.WEB_FILES if not os.path.isfile(os.path.join(args.web_dir, f))]
    if missing:
        bt.skip(f"no web build in {args.web_dir} (missing {', '.join(missing)}); "
                "make it with: cmake --preset web && cmake --build --preset web")
    firefox = shutil.which("firefox-esr") or shutil.which("firefox")
    if not firefox:
        bt.skip("Firefox is not installed (scripts/setup.sh web installs firefox-esr)")
    try:
        import websockets  # noqa: F401
    except ImportError:
        bt.under_system_python()
        bt.skip("python3-websockets is not installed (scripts/setup.sh web installs it)")
    os.makedirs(args.work, exist_ok=True)

    server = bt.serve(args.web_dir)
    profile = tempfile.mkdtemp(prefix="velmora-firefox-")
    port = free_port()
    proc = subprocess.Popen([firefox, "--headless", "--remote-debugging-port", str(port), "--profile", profile,
                             "--no-remote", "about:blank"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    url = f"http://127.0.0.1:{server.server_address[1]}/velmora.html?time={bt.SEED_TIME}"
    try:
        shot, png = asyncio.run(title_card(port, url))
        with open(os.path.join(args.work, "firefox-title.png"), "wb") as f:
            f.write(png)
        if (shot["width"], shot["height"]) != (bt.WIDTH, bt.HEIGHT):
            bt.fail(f"Firefox's canvas is {shot['width']} x {shot['height']}")
        tick = shot["frames"]
        out, _ = bt.run_replay(args.replay, args.work, [], [tick], (tick + 1) * 500)
        bt.compare(f"Firefox title card (tick {tick})", base64.b64decode(shot["rgb"]),
                   os.path.join(out, "frames", f"tick-{tick}.png"))
    finally:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
        server.shutdown()
        shutil.rmtree(profile, ignore_errors=True)
    print("PASSED")


if __name__ == "__main__":
    main()
