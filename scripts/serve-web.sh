#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Serves the web page's site on this machine for a try: builds it first when it is not
# there (the web preset), then serves build/web/site at http://127.0.0.1:PORT/ until
# Ctrl+C, with the page's Content-Security-Policy as a header. A service worker needs
# localhost or https, so use that address.
# Usage: serve-web.sh [PORT]   (default 8080)
set -euo pipefail
cd "$(dirname "$0")/.."
port=${1:-8080}
if [ ! -f build/web/site/index.html ]; then
  cmake --workflow --preset web
fi
echo "Quemador1 en http://127.0.0.1:$port/ (Ctrl+C para parar)"
exec /usr/bin/python3 -c '
import sys
sys.path.insert(0, "scripts")
from site_server import Handler
import functools, http.server
http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])),
    functools.partial(Handler, directory="build/web/site")).serve_forever()' "$port"
