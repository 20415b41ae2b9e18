#!/usr/bin/env python3
"""What the browser build costs, measured in headless Chromium.

cpu   The share of a core that all of Chromium's processes use while the
      page shows the title card and while a round is played, next to a blank
      page holding an 800 x 640 canvas, each for the same number of seconds
      in the same browser run. Several builds (before and after a change) can
      be given: each is measured right after its own blank page. Prints, per
      page, the CPU per Chromium process type, the frames that reached the
      canvas and the audio frames Web Audio pulled (with their rate and the
      seconds of sound they make), so a cheaper page that drops frames or
      sound shows as such. --threads splits each process's share by thread
      (the browser's "Gamepad polling" thread, the renderer's audio thread).
pads  Chromium's gamepad polling (the browser process's "Gamepad polling"
      thread) for a blank page that listens for pads, that listened and
      stopped, in a hidden tab and behind another window, and for the game
      before any key, after one, and after one behind another window.
      Headless windows never lose focus: --windowed runs Chromium on an X
      display (xvfb-run) so that the window behind is a window without focus.
tick  Runs velmora-tick-bench.html (the web preset builds it with
      `--target velmora-tick-bench`): play ticks of the game in the browser,
      and prints their median next to the native BM_Tick/play of bench_game
      when --bench-game names it (several builds, before and after a change,
      run one after another in the same browser), with the frames the canvas took and their
      size. --profile adds where the page's thread spent its time, by
      function (the benchmark's WebAssembly keeps its function names).

Usage:
  bench_web.py cpu --web-dir DIR[=LABEL] [--web-dir DIR2[=LABEL2]] [--seconds 20] [--profile] [--threads]
                   [--audio-floor HINT[@RATE][/QUANTUM][,...]]
  bench_web.py pads --web-dir DIR[=LABEL] [--web-dir DIR2[=LABEL2]] [--seconds 10] [--rounds 2] [--windowed]
  bench_web.py tick --web-dir DIR[=LABEL] [--web-dir DIR2[=LABEL2]] [--bench-game PATH] [--ticks 2000]
                    [--profile [--top N]]
"""
import argparse
import functools
import http.server
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

SEED_TIME = 1700000000
CHROMIUM_FLAGS = ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                  "--disable-component-update", "--no-first-run", "--disable-sync", "--disable-quic",
                  "--window-size=1024,900", "--autoplay-policy=no-user-gesture-required")
BLANK_PAGE = b"""<!doctype html><html><head><meta charset="utf-8"><title>blank</title></head>
<body style="margin:0;background:#000"><canvas id="canvas" width="800" height="640"></canvas></body></html>"""
# The same page playing silence through Web Audio (the autoplay flag above
# lets it start without a gesture): the floor any page with sound pays. The
# address chooses the context's latency hint (`?latency=0.1` or a category
# such as `playback`), rate (`?rate=22050`, the game's, or `default`, the
# device's) and render quantum (`?quantum=1024`, Chromium's renderSizeHint).
BLANK_AUDIO_PAGE = BLANK_PAGE.replace(b"</body>", b"""<script>
var q = new URLSearchParams(location.search);
var hint = q.get('latency') || 'interactive';
var options = {latencyHint: isNaN(Number(hint)) ? hint : Number(hint)};
if (q.get('rate') !== 'default') options.sampleRate = Number(q.get('rate') || 22050);
if (q.get('quantum')) options.renderSizeHint = Number(q.get('quantum'));
var ctx = new AudioContext(options);
var source = ctx.createConstantSource();
source.offset.value = 0;
source.connect(ctx.destination);
source.start();
</script></body>""")
# The same page watching for gamepads as a game might: `?pads=listen` adds
# a `gamepadconnected` listener, `get` also calls navigator.getGamepads(),
# `remove` takes the listener away again after 0.3 s.
BLANK_PADS_PAGE = BLANK_PAGE.replace(b"</body>", b"""<script>
var mode = new URLSearchParams(location.search).get('pads') || '';
function nothing() {}
window.addEventListener('gamepadconnected', nothing);
if (mode.indexOf('get') >= 0) navigator.getGamepads();
if (mode.indexOf('remove') >= 0) setTimeout(function() { window.removeEventListener('gamepadconnected', nothing); }, 300);
</script></body>""")
CLK_TCK = os.sysconf("SC_CLK_TCK")


def use_system_python():
    try:
        import selenium  # noqa: F401
        return
    except ImportError:
        pass
    # Debian's python3-selenium belongs to the system's Python.
    system = "/usr/bin/python3"
    if os.path.realpath(sys.executable) != os.path.realpath(system) and os.path.exists(system) and \
            not os.environ.get("VELMORA_BENCH_WEB_REEXEC"):
        os.environ["VELMORA_BENCH_WEB_REEXEC"] = "1"
        os.execv(system, [system] + sys.argv)
    sys.exit("python3-selenium is not installed (scripts/setup.sh web installs it)")


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        page = {"/blank.html": BLANK_PAGE, "/blank-audio.html": BLANK_AUDIO_PAGE,
                "/blank-pads.html": BLANK_PADS_PAGE}.get(self.path.split("?")[0])
        if page is None:
            super().do_GET()
            return
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(page)))
        self.end_headers()
        self.wfile.write(page)


def serve(directory):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=directory))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, f"http://127.0.0.1:{server.server_address[1]}"


def descendants(root):
    """Every process below `root`, by /proc's parent links."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            children.setdefault(int(fields[1]), []).append(int(entry))
        except OSError:
            continue
    found, todo = [], [root]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def process_kind(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            args = [a for a in f.read().split(b"\0") if a]
    except OSError:
        return None
    # Chromium's child processes rewrite their command line as one string.
    if len(args) == 1:
        args = args[0].split(b" ")
    if not args or b"chrom" not in os.path.basename(args[0]):
        return None
    if os.path.basename(args[0]) == b"chromedriver":
        return None
    for a in args:
        if a.startswith(b"--type="):
            kind = a[7:].decode()
            for b in args:
                if b.startswith(b"--utility-sub-type="):
                    return kind + ":" + b.split(b".")[-1].decode()
            return kind
    return "browser"


def stat_fields(path):
    """The fields of a /proc stat file after the command name, and that name; None when it is gone."""
    try:
        with open(path) as f:
            data = f.read()
    except OSError:
        return None
    return data.rsplit(")", 1)[1].split(), data[data.find("(") + 1:data.rfind(")")]


def cpu_seconds(root, by_thread=False):
    """CPU seconds (user + system) of each Chromium process under `root`, by pid, with its kind; or,
    `by_thread`, of each of their threads, by thread id, with the kind and the thread's name."""
    out = {}
    for pid in descendants(root):
        kind = process_kind(pid)
        if kind is None:
            continue
        try:
            tasks = os.listdir(f"/proc/{pid}/task") if by_thread else [None]
        except OSError:
            continue
        for task in tasks:
            stat = stat_fields(f"/proc/{pid}/stat" if task is None else f"/proc/{pid}/task/{task}/stat")
            if stat is None:
                continue
            fields, name = stat
            key = kind if task is None else f"{kind}/{name}"
            out[pid if task is None else int(task)] = (key, (int(fields[11]) + int(fields[12])) / CLK_TCK)
    return out


def measure(root, seconds, by_thread=False):
    """Share of one core (per cent) used by Chromium over `seconds`, in total and per process kind
    (per process kind and thread name, `by_thread`)."""
    before = cpu_seconds(root, by_thread)
    start = time.monotonic()
    time.sleep(seconds)
    after = cpu_seconds(root, by_thread)
    wall = time.monotonic() - start
    kinds = {}
    for pid, (kind, spent) in after.items():
        used = spent - before.get(pid, (kind, 0.0))[1]
        kinds[kind] = kinds.get(kind, 0.0) + used
    total = sum(kinds.values())
    return 100.0 * total / wall, {k: 100.0 * v / wall for k, v in sorted(kinds.items())}


def page_state(driver):
    return driver.execute_script("return window.Module && Module.velmora ? Module.velmora : null")


def poll(predicate, seconds):
    """The predicate's first true value within `seconds`, or None."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    return None


def wait_for(what, predicate, seconds=60):
    return poll(predicate, seconds) or sys.exit(f"timed out waiting for {what}")


HELPERS = ("__memcpy", "memcpy", "memset", "memmove", "_emscripten_memcpy_big", "dlmalloc", "dlfree")


def start_profile(driver):
    driver.execute_cdp_cmd("Profiler.enable", {})
    driver.execute_cdp_cmd("Profiler.setSamplingInterval", {"interval": 200})
    driver.execute_cdp_cmd("Profiler.start", {})


def print_profile(driver, label, top=14):
    """Self time of the page's main thread by function, from Chromium's sampling profiler."""
    profile = driver.execute_cdp_cmd("Profiler.stop", {})["profile"]
    driver.execute_cdp_cmd("Profiler.disable", {})
    names = {n["id"]: n["callFrame"]["functionName"] or "(" + (n["callFrame"]["url"] or "anonymous").split("/")[-1] + ")"
             for n in profile["nodes"]}
    deltas = profile.get("timeDeltas", [])
    self_us = {}
    for sample, delta in zip(profile["samples"][1:], deltas[1:]):
        name = names.get(sample, "?")
        self_us[name] = self_us.get(name, 0) + delta
    wall = (profile["endTime"] - profile["startTime"]) or 1
    busy = sum(v for k, v in self_us.items() if k not in ("(idle)", "(program)", "(garbage collector)"))
    print(f"  main thread of {label}: JavaScript and WebAssembly {100.0 * busy / wall:.2f} %, "
          f"(program) {100.0 * self_us.get('(program)', 0) / wall:.2f} %, "
          f"GC {100.0 * self_us.get('(garbage collector)', 0) / wall:.2f} %")
    # Library helpers (copies, fills, allocation) say little on their own:
    # their time is also given by the function that called them.
    parent = {child: n["id"] for n in profile["nodes"] for child in n.get("children", [])}
    by_caller = {}
    for sample, delta in zip(profile["samples"][1:], deltas[1:]):
        if names.get(sample) in HELPERS and sample in parent:
            key = (names[sample], names.get(parent[sample], "?"))
            by_caller[key] = by_caller.get(key, 0) + delta
    for name, us in sorted(self_us.items(), key=lambda kv: -kv[1])[:top]:
        if name != "(idle)":
            print(f"    {100.0 * us / wall:6.3f} %  {name}")
            callers = sorted(((c, v) for (h, c), v in by_caller.items() if h == name), key=lambda kv: -kv[1])
            for caller, v in callers[:4]:
                print(f"               {100.0 * v / wall:6.3f} %  from {caller}")


def run_page(driver, root, url, seconds, label, profile, prepare=None, by_thread=False):
    """Loads `url`, lets `prepare` bring it to the state to measure, measures it."""
    driver.get(url)
    if prepare:
        prepare()
    time.sleep(2)  # let loading and the first frames settle
    state0 = page_state(driver)
    if profile:
        start_profile(driver)
    share, kinds = measure(root, seconds, by_thread)
    if profile:
        print_profile(driver, label)
    state1 = page_state(driver)
    frames = audio = None
    rate = 0
    if state0 and state1:
        frames = state1["frames"] - state0["frames"]
        audio = state1["audioFrames"] - state0["audioFrames"]
        # Builds that did not report their rate mixed at 44100 Hz.
        rate = state1.get("audioRate") or (44100 if audio else 0)
    return {"label": label, "share": share, "kinds": kinds, "frames": frames, "audio": audio, "rate": rate,
            "seconds": seconds}


def floor_spec(spec):
    """(latency hint, rate, render quantum or None) of HINT[@RATE][/QUANTUM]."""
    spec, _, quantum = spec.partition("/")
    hint, _, rate = spec.partition("@")
    return hint, rate or "22050", quantum or None


def builds_from(specs, page, missing):
    """(directory, label) of each DIR[=LABEL]; `missing` names the fault when a build lacks `page`."""
    builds = []
    for spec in specs:
        directory, _, label = spec.partition("=")
        if not os.path.isfile(os.path.join(directory, page)):
            sys.exit(f"no {page} in {directory}: {missing}")
        builds.append((directory, label or directory))
    return builds


def start_chromium(webdriver, Service, windowed=False):
    """Headless Chromium under chromedriver with a fresh profile: (driver, its service, the profile's folder).
    `windowed`: Chromium with windows on the X display instead (headless windows never lose focus)."""
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium or not os.path.exists("/usr/bin/chromedriver"):
        sys.exit("Chromium and its driver are needed (scripts/setup.sh web installs them)")
    profile_dir = tempfile.mkdtemp(prefix="velmora-bench-web-")
    options = webdriver.ChromeOptions()
    for flag in CHROMIUM_FLAGS:
        if not (windowed and flag == "--headless"):
            options.add_argument(flag)
    if windowed:
        if not os.environ.get("DISPLAY"):
            sys.exit("--windowed needs an X display (xvfb-run -a -s '-screen 0 1280x1024x24' ...)")
        options.add_argument("--ozone-platform=x11")
    options.add_argument(f"--user-data-dir={profile_dir}")
    options.binary_location = chromium
    service = Service("/usr/bin/chromedriver")
    return webdriver.Chrome(service=service, options=options), service, profile_dir


def cpu_command(args):
    use_system_python()
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys

    builds = builds_from(args.web_dir, "velmora.html", "not a browser build")
    driver, service, profile_dir = start_chromium(webdriver, Service)
    root = service.process.pid
    rows = []
    servers = []
    try:
        # The browser's own start-up (its first renderers, caches) is over
        # before anything is measured.
        driver.get("about:blank")
        time.sleep(5)
        for directory, label in builds:
            server, base = serve(directory)
            servers.append(server)
            rows.append(run_page(driver, root, f"{base}/blank.html", args.seconds, "blank page with a canvas",
                                 args.profile, by_thread=args.threads))
            for spec in args.audio_floor:
                hint, rate, quantum = floor_spec(spec)
                query = f"latency={hint}&rate={rate}" + (f"&quantum={quantum}" if quantum else "")
                rows.append(run_page(driver, root, f"{base}/blank-audio.html?{query}", args.seconds,
                                     f"blank page playing silence, {spec}", args.profile, by_thread=args.threads))
                ctx = driver.execute_script("return [ctx.sampleRate, ctx.baseLatency, ctx.outputLatency, "
                                            "ctx.renderQuantumSize || 128]")
                rows[-1]["label"] += f" ({ctx[0]} Hz, base {1000 * ctx[1]:.0f} ms, out {1000 * ctx[2]:.0f} ms, " \
                                     f"quantum {ctx[3]})"

            def title():
                wait_for("the title card", lambda: (page_state(driver) or {}).get("frames", 0) >= 1)

            url = f"{base}/velmora.html?time={SEED_TIME}"
            rows.append(run_page(driver, root, url, args.seconds, f"{label}: title card", args.profile, title,
                                 args.threads))

            def play():
                title()
                shown = page_state(driver)["frames"]
                ActionChains(driver).key_down(Keys.SPACE).key_up(Keys.SPACE).perform()
                wait_for("the first play frame", lambda: page_state(driver)["frames"] > shown + 1)

            rows.append(run_page(driver, root, url, args.seconds, f"{label}: playing", args.profile, play,
                                 args.threads))
            driver.get("about:blank")
            time.sleep(1)
    finally:
        driver.quit()
        for server in servers:
            server.shutdown()
        shutil.rmtree(profile_dir, ignore_errors=True)

    print(f"\nCPU of all Chromium processes, per cent of one core over {args.seconds:g} s each, in this order:")
    print(f"{'page':40} {'CPU %':>6} {'above blank':>11} {'frames':>6} {'audio frames':>16} {'sound s':>7}  by process")
    blank = None
    for row in rows:
        if row["label"] == "blank page with a canvas":
            blank = row["share"]
        above = "" if row["label"] == "blank page with a canvas" else f"{row['share'] - blank:+.2f}"
        kinds = ", ".join(f"{k} {v:.2f}" for k, v in row["kinds"].items() if v >= 0.005)
        frames = "" if row["frames"] is None else str(row["frames"])
        audio = "" if row["audio"] is None else str(row["audio"])
        sound = ""
        if row["rate"]:
            audio += f" @{row['rate'] / 1000:g}k"
            sound = f"{row['audio'] / row['rate']:.1f}"
        print(f"{row['label']:40} {row['share']:6.2f} {above:>11} {frames:>6} {audio:>16} {sound:>7}  {kinds}")


def pads_command(args):
    use_system_python()
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains

    builds = builds_from(args.web_dir, "velmora.html", "not a browser build")
    driver, service, profile_dir = start_chromium(webdriver, Service, args.windowed)
    root = service.process.pid
    servers = [serve(directory) for directory, _ in builds]
    base = servers[0][1]

    def key():
        wait_for("the title card", lambda: (page_state(driver) or {}).get("frames", 0) >= 1)
        ActionChains(driver).send_keys("a").perform()  # a key the game ignores

    # (label, address, before measuring, where the page is while measured)
    cases = [("blank page", f"{base}/blank.html", None, "front"),
             ("blank page listening for pads", f"{base}/blank-pads.html?pads=listen", None, "front"),
             ("  listener removed", f"{base}/blank-pads.html?pads=listen-remove", None, "front"),
             ("  getGamepads(), listener removed", f"{base}/blank-pads.html?pads=get-remove", None, "front"),
             ("  listening, in a hidden tab", f"{base}/blank-pads.html?pads=listen", None, "tab"),
             ("  listening, behind another window", f"{base}/blank-pads.html?pads=listen", None, "window")]
    for (_, label), (_, address) in zip(builds, servers):
        game = f"{address}/velmora.html?time={SEED_TIME}"
        cases += [(f"{label}: title card, no key yet", game, None, "front"),
                  (f"{label}: after a key", game, key, "front"),
                  (f"{label}: after a key, behind another window", game, key, "window")]
    results = {}
    try:
        driver.get("about:blank")
        time.sleep(5)
        for _ in range(args.rounds):
            for label, url, prepare, where in cases:
                driver.get(url)
                if prepare:
                    prepare()
                time.sleep(1.5)
                mine = driver.current_window_handle
                if where != "front":
                    driver.switch_to.new_window(where)
                    driver.get("about:blank")
                    time.sleep(1)
                _, kinds = measure(root, args.seconds, by_thread=True)
                if where != "front":
                    driver.close()
                    driver.switch_to.window(mine)
                polling = sum(v for k, v in kinds.items() if k.endswith("/Gamepad polling"))
                browser = sum(v for k, v in kinds.items() if k.startswith("browser/"))
                results.setdefault(label, []).append((polling, browser, sum(kinds.values())))
    finally:
        driver.quit()
        for server, _ in servers:
            server.shutdown()
        shutil.rmtree(profile_dir, ignore_errors=True)
    print(f"\nPer cent of one core over {args.seconds:g} s, each round in turn:")
    print(f"{'page':44} {'gamepad polling':>24} {'browser process':>24} {'all Chromium':>24}")
    for label, _, _, _ in cases:
        cols = [" / ".join(f"{r[i]:.2f}" for r in results[label]) for i in range(3)]
        print(f"{label:44} {cols[0]:>24} {cols[1]:>24} {cols[2]:>24}")


def native_tick_median(bench_game):
    done = subprocess.run([bench_game, "--benchmark_filter=BM_Tick/play", "--benchmark_repetitions=5",
                           "--benchmark_format=json"], capture_output=True, text=True, check=True)
    report = json.loads(done.stdout)
    for b in report["benchmarks"]:
        if b.get("aggregate_name") == "median":
            scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}[b["time_unit"]]
            return b["real_time"] * scale
    sys.exit("bench_game printed no median")


def run_tick_page(driver, base, args):
    """Loads the tick benchmark from `base` and returns its result (and the profile, if asked for)."""
    if args.profile:
        # The profiler is attached before the page loads, so the ticks
        # (which hold the thread from start to end) are all in it.
        driver.get("about:blank")
        start_profile(driver)
    driver.get(f"{base}/velmora-tick-bench.html?ticks={args.ticks}")
    result = wait_for("the tick benchmark", lambda: driver.execute_script(
        "return window.Module && Module.benchResult ? Module.benchResult : null"), seconds=600)
    if args.profile:
        print_profile(driver, "the tick benchmark (start-up, warm-up and timed ticks)", top=args.top)
    if "error" in result:
        sys.exit(f"the tick benchmark failed: {result['error']}")
    return result


def tick_command(args):
    use_system_python()
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    builds = builds_from(args.web_dir, "velmora-tick-bench.html",
                         "cmake --build --preset web --target velmora-tick-bench")
    driver, _, profile_dir = start_chromium(webdriver, Service)
    results = []
    try:
        # Each build in turn, in the same browser run.
        for directory, label in builds:
            server, base = serve(directory)
            try:
                results.append((label, run_tick_page(driver, base, args)))
            finally:
                server.shutdown()
    finally:
        driver.quit()
        shutil.rmtree(profile_dir, ignore_errors=True)
    native = native_tick_median(args.bench_game) if args.bench_game else None
    for label, result in results:
        print(f"{label}: {result['ticks']} play ticks in batches of {result['batch']}; "
              f"median {result['medianUs']:.1f} us a tick (of which presenting to the canvas "
              f"{result['presentUs']:.1f} us), min {result['minUs']:.1f} us, max {result['maxUs']:.1f} us")
        if result.get("frames"):
            uploads = result.get("uploads", 0)
            pixels = result.get("uploadedPixels", 0)
            print(f"  canvas: {result['frames']} frames shown, {uploads} uploaded"
                  + (f", {pixels / uploads:,.0f} pixels an upload on average" if uploads else ""))
        if native:
            print(f"  browser / native = {result['medianUs'] / native:.2f}x "
                  f"(without presenting {(result['medianUs'] - result['presentUs']) / native:.2f}x)")
    if native:
        print(f"native BM_Tick/play median {native:.1f} us")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = ap.add_subparsers(dest="command", required=True)
    cpu = sub.add_parser("cpu")
    cpu.add_argument("--web-dir", action="append", required=True, help="a browser build, DIR or DIR=LABEL")
    cpu.add_argument("--seconds", type=float, default=20.0)
    cpu.add_argument("--profile", action="store_true", help="also print the main thread's time by function")
    cpu.add_argument("--threads", action="store_true",
                     help="split each process's CPU by thread name (Chromium names its threads)")
    cpu.add_argument("--audio-floor", type=lambda v: v.split(","), default=[], metavar="HINT[@RATE][/QUANTUM],...",
                     help="also measure a blank page playing silence at each latency hint (seconds or a "
                          "category), rate (22050 unless given; `default`: the device's) and render quantum "
                          "(Chromium's renderSizeHint): 0.1,0.2@default,0.1/1024,playback")
    pads = sub.add_parser("pads")
    pads.add_argument("--web-dir", action="append", required=True,
                      help="a browser build, DIR or DIR=LABEL (several: each in turn)")
    pads.add_argument("--windowed", action="store_true",
                      help="Chromium with windows on $DISPLAY (run under xvfb-run), so a window can lose focus")
    pads.add_argument("--seconds", type=float, default=10.0)
    pads.add_argument("--rounds", type=int, default=2)
    tick = sub.add_parser("tick")
    tick.add_argument("--web-dir", action="append", required=True,
                      help="a browser build holding velmora-tick-bench, DIR or DIR=LABEL (several: side by side)")
    tick.add_argument("--bench-game")
    tick.add_argument("--ticks", type=int, default=2000)
    tick.add_argument("--profile", action="store_true",
                      help="also print the main thread's time by function (the timing is then not the figure)")
    tick.add_argument("--top", type=int, default=14, help="functions --profile lists")
    args = ap.parse_args()
    {"cpu": cpu_command, "pads": pads_command, "tick": tick_command}[args.command](args)


if __name__ == "__main__":
    main()
