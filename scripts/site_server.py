# SPDX-License-Identifier: GPL-3.0-or-later
"""The site served on localhost from a thread, with the types a browser wants for a
module, WebAssembly and a manifest, and the page's Content-Security-Policy as a header;
for the page's tests, its benchmarks and scripts/serve-web.sh."""

import functools
import http.server
import threading


# The page's Content-Security-Policy, as its meta gives it, sent as a header too.
POLICY = ("default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self'; "
          "img-src 'self' blob: data:; worker-src 'self'; object-src 'none'; base-uri 'none'; "
          "form-action 'none'")


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".mjs": "text/javascript", ".js": "text/javascript",
                      ".wasm": "application/wasm", ".webmanifest": "application/manifest+json"}

    def end_headers(self):
        self.send_header("Content-Security-Policy", POLICY)
        self.send_header("X-Content-Type-Options", "nosniff")
        super().end_headers()

    def log_message(self, *args):
        pass


def serve(site, port=0):
    """Starts serving the folder; returns the server and its address."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port),
                                             functools.partial(Handler, directory=site))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, f"http://127.0.0.1:{server.server_address[1]}/"
