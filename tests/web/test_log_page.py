#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The page's log view in real headless Chromium, served on localhost, as independent
cases: each folder of tests/data/cli (a case named after it), its options set in the
page, gives the bytes quemador1-calc writes, its summary lines and its --resumen table
(or its refusal), each note that names an option worded with the page's own controls
instead, and no message of the page with a "--"; the chart's series, points, axis labels
and marked rows through uPlot's API, and its PNG; saved readings charted; a long log
cancelled; a million-row log read while a timer on the page keeps ticking; axe-core
finds nothing at 360×640 and 1280×800. Screenshots are left in OUT_DIR to be looked at.
Usage: test_log_page.py SITE_DIR QUEMADOR1_CALC CLI_DATA AXE_MIN_JS OUT_DIR [CASE...]"""

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
from selenium.webdriver.support.ui import Select

from harness import case, run, width_and_axe

site, calc_path, data, axe_path, out_dir = map(os.path.abspath, sys.argv[1:6])
os.makedirs(out_dir, exist_ok=True)

# quemador1-calc's options the page has a control for: its id, and how it is set.
SELECTS = {"-c": "registro-combustible", "--combustible": "registro-combustible",
           "--codificacion": "registro-codificacion", "--agrupar": "registro-agrupar",
           "--formato-fecha": "registro-formato-fecha"}
BOXES = {"--aire": "registro-aire", "--objetivo-o2": "registro-objetivo-o2",
         "--objetivo-temp": "registro-objetivo-temp"}
FLAGS = {"--celsius": ("registro-unidad", "celsius"), "--fahrenheit": ("registro-unidad", "fahrenheit")}
# The only folder of an option the page does not offer.
NOT_OFFERED = ["summary-is-the-log"]


def open_view(p):
    """The log view, freshly loaded."""
    p.driver.get(p.url + "#registro")
    p.driver.refresh()
    p.wait.until(lambda d: d.execute_script("return 'listo' in document.body.dataset"))


def control(p, element_id):
    """A control of the view, its "Más opciones" opened when it is there."""
    element = p.el(element_id)
    p.driver.execute_script("arguments[0].closest('details')?.setAttribute('open', '')", element)
    return element


def set_options(p, args):
    """Sets the page's controls as the options ask; False for an option it does not offer."""
    i = 0
    while i < len(args):
        option = args[i]
        if option in SELECTS:
            Select(control(p, SELECTS[option])).select_by_value(args[i + 1])
            i += 2
        elif option in BOXES or option.startswith("--col-"):
            control(p, BOXES.get(option, "registro-" + option[2:])).send_keys(args[i + 1])
            i += 2
        elif option in FLAGS:
            Select(p.el(FLAGS[option][0])).select_by_value(FLAGS[option][1])
            i += 1
        elif option == "--todos":
            control(p, "registro-todos").click()
            i += 1
        else:
            return False
    return True


def run_in_page(p, path):
    """Chooses the file and waits for the answer: the status text."""
    p.driver.execute_script("delete document.body.dataset.registro")
    p.el("registro-archivo").send_keys(path)
    try:
        p.wait.until(lambda d: d.execute_script(
            "return !!document.body.dataset.registro || document.getElementById('registro-estado')"
            ".textContent.startsWith('No se')"))
    except TimeoutException:
        print(p.driver.get_log("browser"))
        raise
    return p.el("registro-estado").text


def download(p):
    """The results the page offers, downloaded."""
    for old in glob.glob(os.path.join(p.downloads, "*")):
        os.remove(old)
    p.el("descargar").click()
    p.wait.until(lambda d: [f for f in glob.glob(os.path.join(p.downloads, "*")) if not f.endswith(".crdownload")])
    time.sleep(0.2)
    [path] = glob.glob(os.path.join(p.downloads, "*"))
    return os.path.basename(path), open(path, "rb").read()


def same_but_worded(page, calc):
    """The page says what quemador1-calc says, line for line, but where quemador1-calc
    names an option the page names its own control instead."""
    return len(page) == len(calc) and all(
        p == c if "--" not in c else p != c and "--" not in p for p, c in zip(page, calc))


def summary_table(path):
    """The rows of a --resumen file, in the log's encoding and separator."""
    data = open(path, "rb").read()
    text = (data[3:].decode("utf-8") if data.startswith(b"\xef\xbb\xbf")
            else data.decode("utf-16") if data[:2] in (b"\xff\xfe", b"\xfe\xff")
            else data.decode("cp1252"))
    first = text.split("\n", 1)[0]
    separator = ";" if ";" in first else "\t" if "\t" in first else ","
    return list(csv.reader(io.StringIO(text), delimiter=separator))


def page_messages(p):
    """Everything the log view says in words: its status, its summary and its notices."""
    return p.driver.execute_script("""
        return ['registro-estado', 'resumen', 'registro-avisos', 'registro-avisos-nota']
            .map((id) => document.getElementById(id)?.textContent ?? '')""")


def page_summary(p):
    return p.driver.execute_script("""
        const r = document.getElementById('resumen');
        return {table: [...r.querySelectorAll('tr')].map((tr) => [...tr.cells].map((c) => c.textContent)),
                lines: [...r.querySelectorAll('li')].map((li) => li.textContent)};""")


def folder_case(folder):
    """A folder of tests/data/cli through the page, against quemador1-calc's expected files;
    no message of the page names an option."""
    def check_folder(p):
        here = os.path.join(data, folder)
        args = [a for a in open(os.path.join(here, "args"), encoding="utf-8").read().split("\n") if a]
        open_view(p)
        if not set_options(p, args):
            p.check(folder in NOT_OFFERED, "an option the page does not offer", args)
            return
        status_text = run_in_page(p, os.path.join(here, "input.csv"))
        expected_status = int(open(os.path.join(here, "status")).read())
        said = [line[len("quemador1-calc: "):] for line in
                open(os.path.join(here, "stderr.txt"), encoding="utf-8").read().splitlines()]
        p.check(not any("--" in m for m in page_messages(p)), "no option named on the page",
                page_messages(p))
        if expected_status == 2:
            message = said[0].removesuffix(" (vea --help)")
            prefix = "No se puede leer el registro: "
            p.check(status_text.startswith(prefix)
                    and same_but_worded([status_text[len(prefix):]], [message])
                    and not p.driver.find_elements(By.ID, "descargar"),
                    "refused as quemador1-calc refuses it", status_text)
            return
        name, written = download(p)
        summary = page_summary(p)
        with tempfile.TemporaryDirectory() as work:
            table_file = os.path.join(work, "resumen.csv")
            # The page always draws the chart: as quemador1-calc with --grafico.
            said = [line[len("quemador1-calc: "):] for line in subprocess.run(
                [calc_path, *args, "--csv", os.path.join(here, "input.csv"), "--resumen", table_file,
                 "--grafico", os.path.join(work, "grafico.svg")],
                capture_output=True, check=False).stderr.decode().splitlines()]
            table = summary_table(table_file)
        expected_lines = [line for line in said if not line.startswith("línea ") and not line.startswith("… y ")]
        complete = status_text.endswith("todas las filas calculadas.")
        p.check(name == "input-resultados.csv" and written == open(os.path.join(here, "output.csv"), "rb").read()
                and same_but_worded(summary["lines"], expected_lines) and summary["table"] == table
                and complete == (expected_status == 0),
                "the page gives quemador1-calc's bytes, summary and table",
                f"\n  page: {summary['lines']}\n  calc: {expected_lines}\n  {summary['table']}\n  {table}")
    check_folder.__name__ = f"folder_{folder}"
    return check_folder


@case
def remedies_in_the_page_words(p):
    """Where quemador1-calc names its option, the page names its own control."""
    open_view(p)
    set_options(p, ["-c", "gas"])
    run_in_page(p, os.path.join(data, "no-unit-celsius-looking", "input.csv"))
    lines = page_summary(p)["lines"]
    p.check(any("si son °C, elija °C en Temperaturas (cada fila lo dice en aviso)" in line for line in lines),
            "a unit to choose: in Temperaturas", lines)
    open_view(p)
    set_options(p, ["-c", "gas"])
    status = run_in_page(p, os.path.join(data, "headers-not-found", "input.csv"))
    p.check("diga qué columna es cada lectura en Más opciones, Columna: O2 y Columna: temperatura" in status,
            "columns to name: in Más opciones", status)


for each in sorted(os.listdir(data)):
    case(folder_case(each))


def boilers_by_month(p):
    open_view(p)
    set_options(p, ["--agrupar", "mes", "--celsius"])
    run_in_page(p, os.path.join(data, "boilers-by-month", "input.csv"))


@case
def chart_through_uplot(p):
    """A series for each measure of each boiler, the marked row, the axes' labels; the row's
    preview; screenshots and the PNG."""
    boilers_by_month(p)
    drawn = p.driver.execute_script("""
        const u = document.getElementById('grafico').uplot;
        return {labels: u.series.slice(1).map((s) => s.label),
                points: u.data.slice(1).map((ys) => ys.filter((y) => y !== null && y !== undefined).length),
                axes: u.axes.map((a) => a.label), scales: u.series.slice(1).map((s) => s.scale),
                marked: u.data[0].filter((x, i) => u.data[7][i] !== null && u.data[7][i] !== undefined),
                title: document.querySelector('#grafico .u-title').textContent};""")
    p.check(drawn["labels"] == ["Caldera norte: bruta", "Caldera norte: neta", "Caldera norte: O2", "Caldera sur: bruta",
                                "Caldera sur: neta", "Caldera sur: O2", "Con aviso"]
            and drawn["points"] == [3, 3, 3, 2, 2, 2, 1]
            and drawn["axes"] == ["Fecha", "Eficiencia (%)", "O2 (%)"]
            and drawn["scales"] == ["y", "y", "o2", "y", "y", "o2", "o2"]
            and drawn["marked"] == [1772438400] and drawn["title"] == "Eficiencia y O2 de input.csv",
            "series, points, axes and the marked row through uPlot", drawn)
    notices = p.driver.find_elements(By.CSS_SELECTOR, "#registro-avisos a")
    notices[0].click()
    preview = p.el("registro-fila").text
    p.check(len(notices) == 1 and "Línea 8" in preview and "Caldera norte" in preview and "División por cero" in preview,
            "a row with notes links to its preview", preview)
    p.driver.execute_script("document.getElementById('grafico').scrollIntoView()")
    p.driver.save_screenshot(os.path.join(out_dir, "log-1280x800-chart.png"))
    p.el("grafico-png").click()
    p.wait.until(lambda d: glob.glob(os.path.join(p.downloads, "*.png")))
    time.sleep(0.2)
    png = open(glob.glob(os.path.join(p.downloads, "*.png"))[0], "rb").read()
    p.check(png.startswith(b"\x89PNG") and int.from_bytes(png[16:20], "big") > 600,
            "Guardar imagen saves the chart as a PNG", len(png))
    os.replace(glob.glob(os.path.join(p.downloads, "*.png"))[0], os.path.join(out_dir, "log-chart.png"))


@case
def accessible_at_both_sizes(p):
    boilers_by_month(p)
    axe = open(axe_path, encoding="utf-8").read()
    for width, height in ((360, 640), (1280, 800)):
        p.driver.set_window_size(width, height)
        time.sleep(0.3)
        sizes, violations = width_and_axe(p.driver, axe)
        p.check(sizes == [width, 0], f"the log view is {width} px wide, nothing sticks out", sizes)
        p.check(violations == [], f"axe-core on the log view at {width}×{height}", violations)
        p.driver.execute_script("document.getElementById('registro-estado').scrollIntoView()")
        p.driver.save_screenshot(os.path.join(out_dir, f"log-{width}x{height}.png"))
        p.driver.execute_script("document.getElementById('grafico').scrollIntoView()")
        p.driver.save_screenshot(os.path.join(out_dir, f"log-{width}x{height}-chart.png"))


@case
def saved_readings_charted(p):
    """Saved readings of the reading page, charted as a log: one series set per boiler."""
    p.driver.get(p.url)
    p.wait.until(lambda d: d.execute_script("return 'guardadas' in document.body.dataset"))
    for boiler, o2 in (("Sótano", "3"), ("Cubierta", "4,5"), ("Sótano", "3,5")):
        for box, text in (("o2", o2), ("temp", "180"), ("caldera", boiler)):
            p.el(box).send_keys(Keys.CONTROL, "a", Keys.DELETE)
            p.el(box).send_keys(text)
        p.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", p.el("guardar"))
        count = len(p.driver.find_elements(By.CSS_SELECTOR, "#lecturas li"))
        p.el("guardar").click()
        p.wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#lecturas li")) == count + 1)
    p.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", p.el("guardadas-grafico"))
    p.driver.execute_script("delete document.body.dataset.registro")
    p.el("guardadas-grafico").click()
    p.wait.until(lambda d: d.execute_script("return document.body.dataset.registro === 'lecturas-guardadas.csv'"))
    labels = p.driver.execute_script(
        "return document.getElementById('grafico').uplot.series.slice(1).map((s) => s.label)")
    p.check(labels[:6] == ["Sótano: bruta", "Sótano: neta", "Sótano: O2", "Cubierta: bruta", "Cubierta: neta",
                           "Cubierta: O2"], "a series set per boiler", labels)


@functools.cache
def synthetic_log(rows):
    """A log of readings like an analyser's, made once for the cases that need it."""
    path = os.path.join(tempfile.mkdtemp(), f"registro-{rows}.csv")
    with open(path, "w", encoding="ascii") as out:
        subprocess.run(["mawk", "-v", f"rows={rows}", 'BEGIN { srand(1); print "O2,CO2,Temperatura";'
                        ' for (i = 0; i < rows; i++) { o2 = 1 + 9 * rand(); co2 = 11.8 * (20.9 - o2) / 20.9 + (rand() - 0.5);'
                        ' printf "%.2f,%.2f,%.1f\\n", o2, co2, 250 + 350 * rand() } }'], stdout=out, check=True)
    return path


@case
def cancel_a_long_log(p):
    """Cancel stops a long log, and nothing is offered to download. The log is long enough
    (three million rows) that the read is still going when Cancel is pressed, as soon as
    the progress shows; pressed through the page's script, a press that came after the
    end would find the button hidden and say so in the check rather than stop the case."""
    open_view(p)
    set_options(p, ["-c", "gas"])
    p.el("registro-archivo").send_keys(synthetic_log(3000000))
    p.wait.until(lambda d: d.execute_script("return document.getElementById('registro-avance').value > 0"))
    running = p.driver.execute_script(
        "const b = document.getElementById('registro-cancelar'); const shown = !b.hidden; b.click(); return shown")
    p.check(running and p.el("registro-estado").text.startswith("Cancelado")
            and not p.driver.find_elements(By.ID, "descargar"),
            "Cancel stops a long log, nothing to download", f"{running} {p.el('registro-estado').text}")


@case
def a_million_rows(p):
    """The page answers while the worker reads (a timer keeps ticking), and gives
    quemador1-calc's bytes."""
    big = synthetic_log(1000000)
    open_view(p)
    set_options(p, ["-c", "gas"])
    p.driver.execute_script("""
        window.ticks = []; let last = performance.now();
        window.ticker = setInterval(() => { const now = performance.now(); ticks.push(now - last); last = now; }, 50);""")
    p.driver.execute_script("delete document.body.dataset.registro")
    p.el("registro-archivo").send_keys(big)
    p.wait.until(lambda d: d.execute_script("return !!document.body.dataset.registro"))
    gaps = p.driver.execute_script("clearInterval(ticker); return ticks")
    milliseconds = int(p.driver.execute_script("return document.body.dataset.registroMs"))
    _, written = download(p)
    native = subprocess.run([calc_path, "-c", "gas", "--csv", big], capture_output=True, check=False).stdout
    p.check(written == native, "a million rows in the page: quemador1-calc's bytes", f"{len(written)} / {len(native)}")
    # The 50 ms timer keeps at least half its ticks and never stops for half the read (a
    # read on the page's own thread stops it for all of it). How long the pauses are on a
    # quiet machine is bench/web_log.py's to measure.
    p.check(len(gaps) > milliseconds / 100 and max(gaps) < milliseconds / 2,
            f"the page keeps ticking while a million rows are read ({milliseconds} ms; "
            f"longest gap {max(gaps):.0f} ms)", f"{len(gaps)} ticks")


run(site, sys.argv[6:], timeout=60)
