# SPDX-License-Identifier: GPL-3.0-or-later
"""The site served on localhost from a thread, with the types a browser wants for a
module, WebAssembly and a manifest; for the page's tests, its benchmarks and
scripts/serve-web.sh."""

import functools
import http.server
import threading


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".mjs": "text/javascript", ".js": "text/javascript",
                      ".wasm": "application/wasm", ".webmanifest": "application/manifest+json"}

    def log_message(self, *args):
        pass


def serve(site, port=0):
    """Starts serving the folder; returns the server and its address."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port),
                                             functools.partial(Handler, directory=site))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, f"http://127.0.0.1:{server.server_address[1]}/"
