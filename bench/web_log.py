#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The page's log view on a synthetic log of ROWS readings (bench/csv_throughput.sh's
generator: natural gas, O2 1-10 %, matching CO2, 250-600 °F) against the native program
on the same file: the page's time from the file chosen to its results shown (the worker
reading it in slices, the module, the summary, the chart), the native quemador1-calc
--csv --grafico wall time on one thread (the page reads with one), best of ROUNDS each; the longest gap of a 50 ms timer on the
page meanwhile; and the peak resident memory of the browser's processes over the run,
beside the same for a log a tenth as long. The logs are made in a temporary folder,
removed at the end (a billion bytes is about 60 million rows).
Usage: /usr/bin/python3 bench/web_log.py [SITE_DIR] [QUEMADOR1_CALC] [ROWS] [ROUNDS]
(default build/web/site, build/bench/cli/quemador1-calc, 1000000, 5)"""

import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.support.ui import Select, WebDriverWait  # noqa: E402
from site_server import serve  # noqa: E402

site = sys.argv[1] if len(sys.argv) > 1 else "build/web/site"
calc = sys.argv[2] if len(sys.argv) > 2 else "build/bench/cli/quemador1-calc"
rows = int(sys.argv[3]) if len(sys.argv) > 3 else 1000000
rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 5
work = tempfile.mkdtemp()


def make_log(n):
    path = os.path.join(work, f"registro-{n}.csv")
    subprocess.run(["mawk", "-v", f"rows={n}", 'BEGIN { srand(1); print "O2,CO2,Temperatura";'
                    ' for (i = 0; i < rows; i++) { o2 = 1 + 9 * rand(); co2 = 11.8 * (20.9 - o2) / 20.9 + (rand() - 0.5);'
                    ' printf "%.2f,%.2f,%.1f\\n", o2, co2, 250 + 350 * rand() } }'],
                   stdout=open(path, "w"), check=True)
    return path


def browser_rss(pid):
    """The resident memory of a process and all its descendants, in MiB."""
    total = 0
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                fields = open(f"/proc/{entry}/stat").read().rsplit(")", 1)[1].split()
                children.setdefault(int(fields[1]), []).append(int(entry))
            except OSError:
                pass
    stack = [pid]
    while stack:
        p = stack.pop()
        try:
            for line in open(f"/proc/{p}/status"):
                if line.startswith("VmRSS:"):
                    total += int(line.split()[1])
        except OSError:
            pass
        stack += children.get(p, [])
    return total / 1024


server, url = serve(os.path.abspath(site))
options = webdriver.ChromeOptions()
for argument in ("--headless=new", "--no-sandbox", "--window-size=1280,800", f"--user-data-dir={tempfile.mkdtemp()}"):
    options.add_argument(argument)
options.binary_location = "/usr/bin/chromium"
service = Service("/usr/bin/chromedriver")
driver = webdriver.Chrome(service=service, options=options)
browser_pid = service.process.pid


def page_run(path):
    """One run in the page: its time in ms, the longest timer gap, the peak memory."""
    driver.get(url + "#registro")
    driver.refresh()
    WebDriverWait(driver, 30).until(lambda d: d.execute_script("return 'listo' in document.body.dataset"))
    Select(driver.find_element("id", "registro-combustible")).select_by_value("gas")
    driver.execute_script("""
        window.ticks = []; let last = performance.now();
        window.ticker = setInterval(() => { const now = performance.now(); ticks.push(now - last); last = now; }, 50);""")
    peak = [browser_rss(browser_pid)]
    done = threading.Event()

    def sample():
        while not done.is_set():
            peak[0] = max(peak[0], browser_rss(browser_pid))
            time.sleep(0.1)
    threading.Thread(target=sample, daemon=True).start()
    driver.find_element("id", "registro-archivo").send_keys(path)
    WebDriverWait(driver, max(300, rows / 50000)).until(
        lambda d: d.execute_script("return !!document.body.dataset.registro"))
    done.set()
    gap = driver.execute_script("clearInterval(ticker); return Math.max(...ticks)")
    return int(driver.execute_script("return document.body.dataset.registroMs")), gap, peak[0]


def native_run(path):
    svg = os.path.join(work, "grafico.svg")
    start = time.perf_counter()
    subprocess.run([calc, "-c", "gas", "--csv", path, "--grafico", svg, "--hilos", "1"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return (time.perf_counter() - start) * 1000


big = make_log(rows)
small = make_log(rows // 10)
print(f"log: {rows} rows, {os.path.getsize(big) / 1e6:.1f} MB")
page_times, native_times, gaps, peaks = [], [], [], []
for _ in range(rounds):
    native_times.append(native_run(big))
    ms, gap, peak = page_run(big)
    page_times.append(ms)
    gaps.append(gap)
    peaks.append(peak)
_, _, small_peak = page_run(small)
driver.quit()
server.shutdown()
shutil.rmtree(work)
best_page, best_native = min(page_times), min(native_times)
print(f"page, file chosen to results shown: best {best_page} ms (all: {page_times})")
print(f"quemador1-calc --csv --grafico --hilos 1, wall: best {best_native:.0f} ms")
print(f"the page takes {best_page / best_native:.2f}x the native time on one thread (goal: within 2x)")
print(f"longest gap of a 50 ms timer on the page: {max(gaps):.0f} ms")
print(f"browser's peak resident memory: {max(peaks):.0f} MiB with {rows} rows, "
      f"{small_peak:.0f} MiB with {rows // 10}")
