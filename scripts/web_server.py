#!/usr/bin/env python3
"""Serves the browser build on this machine, each file precompressed where
the build wrote FILE.br or FILE.gz and the browser accepts it, with the
Content-Encoding, type and Vary headers that go with it.

Usage: web_server.py DIR [PORT]   (PORT 0 picks a free one; prints the address)
Also imported by the browser tests (serve()).
"""
import email.utils
import functools
import http.server
import os
import sys
import threading

TYPES = {".wasm": "application/wasm", ".js": "text/javascript", ".html": "text/html; charset=utf-8",
         ".json": "application/json", ".webmanifest": "application/manifest+json", ".png": "image/png"}
# Preferred first.
ENCODINGS = (("br", ".br"), ("gzip", ".gz"))


def accepted(header):
    """Encodings the Accept-Encoding header allows (q=0 refuses one)."""
    allowed = set()
    for part in (header or "").split(","):
        fields = [f.strip() for f in part.split(";")]
        name = fields[0].lower()
        q = 1.0
        for f in fields[1:]:
            if f.startswith("q="):
                try:
                    q = float(f[2:])
                except ValueError:
                    q = 0.0
        if name and q > 0:
            allowed.add(name)
    return allowed


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map, **TYPES)
    quiet = True

    def log_message(self, *args):
        if not self.quiet:
            super().log_message(*args)

    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isfile(path) and not path.endswith((".br", ".gz")):
            allowed = accepted(self.headers.get("Accept-Encoding"))
            for name, suffix in ENCODINGS:
                if name in allowed and os.path.isfile(path + suffix):
                    return self.send_encoded(path, path + suffix, name)
        return super().send_head()

    def send_encoded(self, path, encoded, encoding):
        modified = int(os.path.getmtime(path))
        since = self.headers.get("If-Modified-Since")
        if since:
            try:
                unchanged = email.utils.parsedate_to_datetime(since).timestamp() >= modified
            except (TypeError, ValueError, OverflowError):
                unchanged = False
            if unchanged:
                self.send_response(304)
                self.send_header("Vary", "Accept-Encoding")
                self.end_headers()
                return None
        f = open(encoded, "rb")
        try:
            size = os.fstat(f.fileno()).st_size
            self.send_response(200)
            self.send_header("Content-Type", self.guess_type(path))
            self.send_header("Content-Encoding", encoding)
            self.send_header("Content-Length", str(size))
            self.send_header("Vary", "Accept-Encoding")
            self.send_header("Last-Modified", self.date_time_string(modified))
            self.end_headers()
            return f
        except BaseException:
            f.close()
            raise

    def end_headers(self):
        # Every visit asks again (the service worker keeps the offline copy).
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()


def serve(directory, port=0, quiet=True):
    handler = functools.partial(type("BoundHandler", (Handler,), {"quiet": quiet}), directory=directory)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    server = serve(sys.argv[1], int(sys.argv[2]) if len(sys.argv) == 3 else 0, quiet=False)
    print(f"VELMORA: open http://127.0.0.1:{server.server_address[1]}/velmora.html (Ctrl+C stops the server)",
          flush=True)
    try:
        threading.Event().wait()
    except KeyboardInterrupt:
        server.shutdown()


if __name__ == "__main__":
    main()
