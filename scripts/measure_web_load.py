#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The web page's first visit, measured in headless Chromium at 360×640: every file
fetched before the page's first result (its 'primer-resultado' mark) with its size and
its size gzipped (level 6, as a server sends it), and with --pdf the time from pressing
Informe PDF to the PDF's bytes ('informe-listo'), the first of the visit and the next.
Usage: /usr/bin/python3 scripts/measure_web_load.py SITE_DIR [--pdf]"""

import gzip
import os
import sys
import time
from urllib.parse import urlparse

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "web"))
sys.path.insert(0, here)
from harness import chromium  # noqa: E402
from site_server import serve  # noqa: E402

site = sys.argv[1]
server, url = serve(site)
driver = chromium(360, 640, os.path.join(os.path.dirname(os.path.abspath(site)), "measure-downloads"))
driver.get(url)
for _ in range(200):
    if driver.execute_script("return 'listo' in document.body.dataset"):
        break
    time.sleep(0.1)
names = driver.execute_script("""
  const t = performance.getEntriesByName('primer-resultado')[0].startTime;
  return ['/', ...performance.getEntriesByType('resource').filter((e) => e.startTime < t).map((e) => e.name)];""")
total, total_gz = 0, 0
for name in names:
    path = urlparse(name).path.lstrip("/") or "index.html"
    with open(os.path.join(site, path), "rb") as f:
        data = f.read()
    packed = len(gzip.compress(data, 6))
    total, total_gz = total + len(data), total_gz + packed
    print(f"{path:40} {len(data):>9} {packed:>9}")
print(f"{'before the first result':40} {total:>9} {total_gz:>9}")
if "--pdf" in sys.argv:
    driver.execute_script("for (const [id, v] of [['o2', '3'], ['temp', '180']]) {"
                          " const e = document.getElementById(id); e.value = v;"
                          " e.dispatchEvent(new Event('input', {bubbles: true})); }")
    for which in ("first", "next"):
        ms = driver.execute_async_script("""
          const done = arguments[arguments.length - 1];
          performance.clearMarks('informe-listo');
          const t0 = performance.now();
          document.getElementById('informe-pdf').click();
          const wait = () => { const m = performance.getEntriesByName('informe-listo')[0];
            if (m) done(m.startTime - t0); else setTimeout(wait, 5); };
          wait();""")
        print(f"Informe PDF, the {which} of the visit: {ms:.0f} ms")
        time.sleep(1)
driver.quit()
server.shutdown()
