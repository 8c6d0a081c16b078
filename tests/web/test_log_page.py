#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The page's log view in real headless Chromium, served on localhost: every folder of
tests/data/cli, its options set in the page, gives the bytes quemador1-calc writes, its
summary lines and its --resumen table (or its refusal); the chart's series, points,
axis labels and marked rows through uPlot's API, and its PNG; saved readings charted;
a million-row log read while a timer on the page keeps ticking, and cancelled; axe-core
finds nothing at 360×640 and 1280×800. Screenshots are left in OUT_DIR to be looked at.
Usage: test_log_page.py SITE_DIR QUEMADOR1_CALC CLI_DATA AXE_MIN_JS OUT_DIR"""

import csv
import functools
import glob
import io
import os
import subprocess
import sys
import tempfile
import time

from selenium.webdriver.common.by import By
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from site_server import serve  # noqa: E402
from harness import Tally, chromium, width_and_axe

site, calc_path, data, axe_path, out_dir = map(os.path.abspath, sys.argv[1:6])
os.makedirs(out_dir, exist_ok=True)
tally = Tally()
check = tally.check


server, url = serve(site)
downloads = tempfile.mkdtemp()
driver = chromium(1280, 800, downloads)
wait = WebDriverWait(driver, 60)
el = functools.partial(driver.find_element, By.ID)

# quemador1-calc's options the page has a control for: its id, and how it is set.
SELECTS = {"-c": "registro-combustible", "--combustible": "registro-combustible",
           "--codificacion": "registro-codificacion", "--agrupar": "registro-agrupar"}
BOXES = {"--aire": "registro-aire", "--objetivo-o2": "registro-objetivo-o2",
         "--objetivo-temp": "registro-objetivo-temp"}
FLAGS = {"--celsius": ("registro-unidad", "celsius"), "--fahrenheit": ("registro-unidad", "fahrenheit")}


def open_view():
    """The log view, freshly loaded."""
    driver.get(url + "#registro")
    driver.refresh()
    wait.until(lambda d: d.execute_script("return 'listo' in document.body.dataset"))


def control(element_id):
    """A control of the view, its "Más opciones" opened when it is there."""
    element = el(element_id)
    driver.execute_script("arguments[0].closest('details')?.setAttribute('open', '')", element)
    return element


def set_options(args):
    """Sets the page's controls as the options ask; False for an option it does not offer."""
    i = 0
    while i < len(args):
        option = args[i]
        if option in SELECTS:
            Select(control(SELECTS[option])).select_by_value(args[i + 1])
            i += 2
        elif option in BOXES or option.startswith("--col-"):
            control(BOXES.get(option, "registro-" + option[2:])).send_keys(args[i + 1])
            i += 2
        elif option in FLAGS:
            Select(el(FLAGS[option][0])).select_by_value(FLAGS[option][1])
            i += 1
        elif option == "--todos":
            control("registro-todos").click()
            i += 1
        else:
            return False
    return True


def run_in_page(path):
    """Chooses the file and waits for the answer: the status text, and whether it was read."""
    driver.execute_script("delete document.body.dataset.registro")
    el("registro-archivo").send_keys(path)
    try:
        wait.until(lambda d: d.execute_script(
            "return !!document.body.dataset.registro || document.getElementById('registro-estado')"
            ".textContent.startsWith('No se')"))
    except TimeoutException:
        print(driver.get_log("browser"))
        raise
    return el("registro-estado").text


def download():
    """The results the page offers, downloaded."""
    for old in glob.glob(os.path.join(downloads, "*")):
        os.remove(old)
    el("descargar").click()
    wait.until(lambda d: [f for f in glob.glob(os.path.join(downloads, "*")) if not f.endswith(".crdownload")])
    time.sleep(0.2)
    [path] = glob.glob(os.path.join(downloads, "*"))
    return os.path.basename(path), open(path, "rb").read()


def page_summary():
    return driver.execute_script("""
        const r = document.getElementById('resumen');
        return {table: [...r.querySelectorAll('tr')].map((tr) => [...tr.cells].map((c) => c.textContent)),
                lines: [...r.querySelectorAll('li')].map((li) => li.textContent)};""")


# Every folder through the page, against quemador1-calc's expected files.
not_offered = []
for folder in sorted(os.listdir(data)):
    if folder < os.environ.get("FROM", ""):
        continue
    here = os.path.join(data, folder)
    args = [a for a in open(os.path.join(here, "args"), encoding="utf-8").read().split("\n") if a]
    open_view()
    if not set_options(args):
        not_offered.append(folder)
        continue
    status_text = run_in_page(os.path.join(here, "input.csv"))
    expected_status = int(open(os.path.join(here, "status")).read())
    said = [line[len("quemador1-calc: "):] for line in
            open(os.path.join(here, "stderr.txt"), encoding="utf-8").read().splitlines()]
    if expected_status == 2:
        message = said[0].removesuffix(" (vea --help)")
        check(status_text == f"No se puede leer el registro: {message}" and not driver.find_elements(By.ID, "descargar"),
              f"{folder}: refused as quemador1-calc refuses it", status_text)
        continue
    name, written = download()
    summary = page_summary()
    with tempfile.TemporaryDirectory() as work:
        table_file = os.path.join(work, "resumen.csv")
        # The page always draws the chart: as quemador1-calc with --grafico.
        said = [line[len("quemador1-calc: "):] for line in subprocess.run(
            [calc_path, *args, "--csv", os.path.join(here, "input.csv"), "--resumen", table_file,
             "--grafico", os.path.join(work, "grafico.svg")],
            capture_output=True, check=False).stderr.decode().splitlines()]
        first = open(table_file, encoding="utf-8").readline()
        separator = ";" if ";" in first else "\t" if "\t" in first else ","
        table = list(csv.reader(io.StringIO(open(table_file, encoding="utf-8").read()), delimiter=separator))
    expected_lines = [line for line in said if not line.startswith("línea ") and not line.startswith("… y ")]
    complete = status_text.endswith("todas las filas calculadas.")
    check(name == "input-resultados.csv" and written == open(os.path.join(here, "output.csv"), "rb").read()
          and summary["lines"] == expected_lines and summary["table"] == table
          and complete == (expected_status == 0),
          f"{folder}: the page gives quemador1-calc's bytes, summary and table",
          f"\n  page: {summary['lines']}\n  calc: {expected_lines}\n  {summary['table']}\n  {table}")
check(not_offered == ["summary-is-the-log"], "only the folder of a --resumen option is left out", not_offered)

# The chart through uPlot's API: a series for each measure of each boiler, the marked
# row, the axes' labels; then screenshots and the PNG.
open_view()
set_options(["--agrupar", "mes", "--celsius"])
run_in_page(os.path.join(data, "boilers-by-month", "input.csv"))
drawn = driver.execute_script("""
    const u = document.getElementById('grafico').uplot;
    return {labels: u.series.slice(1).map((s) => s.label),
            points: u.data.slice(1).map((ys) => ys.filter((y) => y !== null && y !== undefined).length),
            axes: u.axes.map((a) => a.label), scales: u.series.slice(1).map((s) => s.scale),
            marked: u.data[0].filter((x, i) => u.data[7][i] !== null && u.data[7][i] !== undefined),
            title: document.querySelector('#grafico .u-title').textContent};""")
check(drawn["labels"] == ["Caldera norte: bruta", "Caldera norte: neta", "Caldera norte: O2", "Caldera sur: bruta",
                          "Caldera sur: neta", "Caldera sur: O2", "Con aviso"]
      and drawn["points"] == [3, 3, 3, 2, 2, 2, 1]
      and drawn["axes"] == ["Fecha", "Eficiencia (%)", "O2 (%)"]
      and drawn["scales"] == ["y", "y", "o2", "y", "y", "o2", "o2"]
      and drawn["marked"] == [1772438400] and drawn["title"] == "Eficiencia y O2 de input.csv",
      "the chart: series, points, axes and the marked row through uPlot", drawn)
notices = driver.find_elements(By.CSS_SELECTOR, "#registro-avisos a")
notices[0].click()
preview = el("registro-fila").text
check(len(notices) == 1 and "Línea 8" in preview and "Caldera norte" in preview and "División por cero" in preview,
      "a row with notes links to its preview", preview)
driver.execute_script("document.getElementById('grafico').scrollIntoView()")
driver.save_screenshot(os.path.join(out_dir, "log-1280x800-chart.png"))
for old in glob.glob(os.path.join(downloads, "*")):
    os.remove(old)
el("grafico-png").click()
wait.until(lambda d: [f for f in glob.glob(os.path.join(downloads, "*.png"))])
time.sleep(0.2)
png = open(glob.glob(os.path.join(downloads, "*.png"))[0], "rb").read()
check(png.startswith(b"\x89PNG") and int.from_bytes(png[16:20], "big") > 600,
      "Guardar imagen saves the chart as a PNG", len(png))
os.replace(glob.glob(os.path.join(downloads, "*.png"))[0], os.path.join(out_dir, "log-chart.png"))

axe = open(axe_path, encoding="utf-8").read()
for width, height in ((360, 640), (1280, 800)):
    driver.set_window_size(width, height)
    time.sleep(0.3)
    sizes, violations = width_and_axe(driver, axe)
    check(sizes == [width, 0], f"the log view is {width} px wide, nothing sticks out", sizes)
    check(violations == [], f"axe-core on the log view at {width}×{height}", violations)
    driver.execute_script("document.getElementById('registro-estado').scrollIntoView()")
    driver.save_screenshot(os.path.join(out_dir, f"log-{width}x{height}.png"))
    driver.execute_script("document.getElementById('grafico').scrollIntoView()")
    driver.save_screenshot(os.path.join(out_dir, f"log-{width}x{height}-chart.png"))
driver.set_window_size(1280, 800)

# Saved readings of the reading page, charted as a log: one series set per boiler.
driver.get(url)
wait.until(lambda d: d.execute_script("return 'guardadas' in document.body.dataset"))
for boiler, o2 in (("Sótano", "3"), ("Cubierta", "4,5"), ("Sótano", "3,5")):
    for box, text in (("o2", o2), ("temp", "180"), ("caldera", boiler)):
        el(box).send_keys(Keys.CONTROL, "a", Keys.DELETE)
        el(box).send_keys(text)
    driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", el("guardar"))
    count = len(driver.find_elements(By.CSS_SELECTOR, "#lecturas li"))
    el("guardar").click()
    wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#lecturas li")) == count + 1)
driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", el("guardadas-grafico"))
driver.execute_script("delete document.body.dataset.registro")
el("guardadas-grafico").click()
wait.until(lambda d: d.execute_script("return document.body.dataset.registro === 'lecturas-guardadas.csv'"))
labels = driver.execute_script("return document.getElementById('grafico').uplot.series.slice(1).map((s) => s.label)")
check(labels[:6] == ["Sótano: bruta", "Sótano: neta", "Sótano: O2", "Cubierta: bruta", "Cubierta: neta", "Cubierta: O2"],
      "saved readings are charted as a log, a series set per boiler", labels)

# A million rows: the page keeps answering (a timer keeps ticking) while the worker reads;
# Cancel stops it; then read to the end, it gives quemador1-calc's bytes.
big = os.path.join(tempfile.mkdtemp(), "millon.csv")
subprocess.run(["mawk", "-v", "rows=1000000", 'BEGIN { srand(1); print "O2,CO2,Temperatura";'
                ' for (i = 0; i < rows; i++) { o2 = 1 + 9 * rand(); co2 = 11.8 * (20.9 - o2) / 20.9 + (rand() - 0.5);'
                ' printf "%.2f,%.2f,%.1f\\n", o2, co2, 250 + 350 * rand() } }'],
               stdout=open(big, "w"), check=True)
open_view()
set_options(["-c", "gas"])
driver.execute_script("""
    window.ticks = []; let last = performance.now();
    window.ticker = setInterval(() => { const now = performance.now(); ticks.push(now - last); last = now; }, 50);""")
el("registro-archivo").send_keys(big)
wait.until(lambda d: d.execute_script("return document.getElementById('registro-avance').value > 0.2"))
el("registro-cancelar").click()
check(el("registro-estado").text.startswith("Cancelado") and not driver.find_elements(By.ID, "descargar"),
      "Cancel stops a long log, nothing to download", el("registro-estado").text)
driver.execute_script("ticks.length = 0; delete document.body.dataset.registro")
el("registro-calcular").click()
wait.until(lambda d: d.execute_script("return !!document.body.dataset.registro"))
gaps = driver.execute_script("clearInterval(ticker); return ticks")
milliseconds = int(driver.execute_script("return document.body.dataset.registroMs"))
_, written = download()
native = subprocess.run([calc_path, "-c", "gas", "--csv", big], capture_output=True, check=False).stdout
check(written == native, "a million rows in the page: quemador1-calc's bytes", f"{len(written)} / {len(native)}")
# The page answers while the worker reads: the 50 ms timer keeps at least half its ticks
# and never stops for half the read (a read on the page's own thread stops it for all of
# it). How long the pauses are on a quiet machine is bench/web_log.py's to measure.
check(len(gaps) > milliseconds / 100 and max(gaps) < milliseconds / 2,
      f"the page keeps ticking while a million rows are read ({milliseconds} ms; longest gap {max(gaps):.0f} ms)",
      f"{len(gaps)} ticks")

driver.quit()
server.shutdown()
tally.finish()
