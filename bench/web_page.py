#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The web page's figures: the site's size gzipped, what the first visit loads before
its first result, the time from navigation to the first result in headless Chromium
with a cold cache (a fresh profile each round, the reading already typed), the time
from a keystroke to updated results, and from a keystroke to the report's PDF handed
to the browser (the first PDF of a visit loads pdf-lib; the next does not).
Usage: /usr/bin/python3 bench/web_page.py [SITE_DIR] [ROUNDS]   (default build/web/site, 10)"""

import gzip
import os
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402
from site_server import serve  # noqa: E402

site = sys.argv[1] if len(sys.argv) > 1 else "build/web/site"
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 10

total_raw = total_gz = 0
for folder, _, names in os.walk(site):
    for name in names:
        data = open(os.path.join(folder, name), "rb").read()
        packed = len(gzip.compress(data, 9))
        total_raw += len(data)
        total_gz += packed
        if name.endswith(".wasm"):
            print(f"{name}: {len(data) / 1024:.1f} KiB, gzipped {packed / 1024:.1f} KiB")
print(f"whole site, kept offline: {total_raw / 1024:.1f} KiB, gzipped {total_gz / 1024:.1f} KiB")

server, url = serve(site)
reading = ('{"combustible":"gas","o2":"3","co2":"9","temp":"180","unidad":"C","aire":"20",'
           '"objetivo-o2":"2","objetivo-temp":"","co":"","caldera":"","nota":""}')


def browser():
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--window-size=360,640",
                     f"--user-data-dir={tempfile.mkdtemp()}"):
        options.add_argument(argument)
    options.add_experimental_option("prefs", {"download.default_directory": tempfile.mkdtemp()})
    options.binary_location = "/usr/bin/chromium"
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


# A keystroke in the flue-gas box, then Informe PDF: the milliseconds until the page says
# the file has gone to the browser.
TO_PDF = """
const done = arguments[arguments.length - 1];
const said = document.getElementById('informe-salida');
said.textContent = '';
const box = document.getElementById('temp');
box.value = String(arguments[0]);
const start = performance.now();
box.dispatchEvent(new Event('input', { bubbles: true }));
new MutationObserver((changes, observer) => {
  if (!said.textContent.startsWith('Informe ')) return;
  observer.disconnect();
  done([performance.now() - start, said.textContent]);
}).observe(said, { childList: true, characterData: true, subtree: true });
document.getElementById('informe-pdf').click();"""


def first_load(driver):
    """The site's files the page fetched before its first result, gzipped, in bytes."""
    names = driver.execute_script(
        "return [location.href, ...performance.getEntriesByType('resource').map((e) => e.name)]")
    files = {name.split("?")[0].removeprefix(url) or "index.html" for name in names if name.startswith(url)}
    return sum(len(gzip.compress(open(os.path.join(site, f), "rb").read(), 9)) for f in files)


firsts = []
keystrokes = []
first_pdfs = []
next_pdfs = []
loaded = None
for _ in range(rounds):
    driver = browser()
    # The reading typed on an earlier visit; the help page loads none of the files
    # the reading page needs, so their cache stays cold.
    driver.get(url + "ayuda.html")
    driver.execute_script("localStorage.setItem('quemador1.lectura', arguments[0])", reading)
    driver.get(url)
    WebDriverWait(driver, 15).until(lambda d: d.execute_script("return 'listo' in document.body.dataset"))
    assert driver.find_element("id", "eficiencia-neta").text.strip() == "92,69"
    firsts.append(driver.execute_script(
        "return performance.getEntriesByName('primer-resultado')[0].startTime"))
    loaded = loaded or first_load(driver)
    # A keystroke: the input event's handler, the module's answer on the page, and the
    # layout it causes.
    keystrokes += driver.execute_script("""
        const box = document.getElementById('temp'), times = [];
        for (let i = 0; i < 200; i++) {
          box.value = String(150 + i % 60);
          const start = performance.now();
          box.dispatchEvent(new Event('input', { bubbles: true }));
          document.body.offsetHeight;
          times.push(performance.now() - start);
        }
        return times;""")
    driver.set_script_timeout(30)
    for times, temperature in ((first_pdfs, 181), (next_pdfs, 182)):
        elapsed, said = driver.execute_async_script(TO_PDF, temperature)
        assert said.startswith("Informe descargado"), said
        times.append(elapsed)
    driver.quit()
server.shutdown()

print(f"the first visit's files, gzipped: {loaded / 1024:.1f} KiB (goal: at most 250 KB)")
print(f"navigation to first result, cold cache: median {statistics.median(firsts):.0f} ms "
      f"(least {min(firsts):.0f}, most {max(firsts):.0f}, {rounds} rounds; goal: at most 300 ms)")
print(f"keystroke to updated results: median {statistics.median(keystrokes):.2f} ms, "
      f"99th percentile {statistics.quantiles(keystrokes, n=100)[98]:.2f} ms, "
      f"most {max(keystrokes):.2f} ms ({len(keystrokes)} keystrokes; goal: under 16 ms)")
print(f"keystroke to the report's PDF: first of a visit median {statistics.median(first_pdfs):.0f} ms "
      f"(most {max(first_pdfs):.0f}); then median {statistics.median(next_pdfs):.0f} ms (most {max(next_pdfs):.0f})")
