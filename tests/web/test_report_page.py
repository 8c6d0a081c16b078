#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The technician's report in real headless Chromium, as independent cases: three
readings' means against quemador1-calc; each limit passed or failed and the report's
verdict, never a pass with a limit missing; the PDF's text read back by pdftotext (the
parties, the figures, the verdict) and the same content printed; the PDF made offline;
a known boiler filling its details; the change since the boiler's last report; a
reading saved twice refused; everything exported and imported back, field for field,
and the export read by quemador1-calc --csv; a CO past its limit in the strip and beside
its figure; the notices of a changed unit and of an air below freezing; axe-core,
controls of 44 px and nothing cut at 360×640 and 1280×800; and the shared PDF module
(pdf-lib loaded on first use from the site's own files, under the page's
Content-Security-Policy; a file shared where the browser can share files, downloaded
elsewhere). Screenshots and the PDFs' pages are left in OUT_DIR to be looked at.
Usage: test_report_page.py SITE_DIR QUEMADOR1_CALC AXE_MIN_JS OUT_DIR [CASE...]"""

import base64
import datetime
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from harness import case, fill, log_results, run, type_in, width_and_axe
from readings import calc
from site_server import serve

site, calc_path, axe_path, out_dir = sys.argv[1:5]
os.makedirs(out_dir, exist_ok=True)

# Every violation of the page's policy, from the first script on.
WATCH_POLICY = """
    window.violations = [];
    document.addEventListener('securitypolicyviolation',
        (e) => violations.push(e.violatedDirective + ' ' + e.blockedURI));"""


def ready(p):
    p.wait.until(lambda d: d.execute_script(
        "return 'listo' in document.body.dataset && 'guardadas' in document.body.dataset"))


def open_page(p, width=360, height=640):
    p.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": WATCH_POLICY})
    p.driver.set_window_size(width, height)
    p.driver.get(p.url)
    ready(p)


# The settings of a company, and a boiler's, analyser's and report's details.
SETTINGS = {"empresa": "Calefacciones Peñalara, S.L.", "empresa-registro": "RI-28/1234",
            "tecnico": "Ana Ruiz", "tecnico-carne": "CT-5678", "limite-eficiencia": "82"}
DETAILS = {"titular": "Comunidad Mayor 1", "direccion": "C/ Mayor 1; 28013 Madrid",
           "caldera-marca": "Roca", "caldera-modelo": "Victoria 24", "caldera-serie": "-SN998877",
           "caldera-potencia": "24,5", "caldera-anio": "2012", "analizador": "Testo 330-2 LL",
           "analizador-serie": "A-123", "analizador-calibracion": "2024-11-02", "tiro": "-12",
           "informe-nota": "Limpieza del quemador; ajuste del aire."}
# Three gas readings a minute apart, with the air's temperature and CO.
THREE = [dict(o2="3", temp="180", co="40", aire="20"), dict(o2="3,2", temp="181", co="45", aire="20"),
         dict(o2="2,9", temp="179", co="38", aire="20")]


def add_readings(p, readings, fuel="gas"):
    """Types each reading on the form and adds it to the report."""
    type_in(p, "combustible", fuel)
    for boxes in readings:
        fill(p, {"o2": "", "co2": "", "co": "", "aire": "", **boxes})
        count = len(p.driver.find_elements(By.CSS_SELECTOR, "#lecturas-informe li"))
        p.press("anadir-lectura")
        p.wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#lecturas-informe li")) == count + 1)


def table_of(p, element_id):
    """A table on the page, by rows of cell texts."""
    return p.driver.execute_script(
        "return [...document.querySelectorAll('#' + arguments[0] + ' tr')]"
        ".map((tr) => [...tr.cells].map((c) => c.textContent.trim()))", element_id)


def verdict(p):
    """The verdict's word, and each limit's line."""
    return p.el("veredicto-palabra").text, [li.text for li in p.driver.find_elements(
        By.CSS_SELECTOR, "#veredicto-limites li")]


def made_pdf(p, button="informe-pdf"):
    """Presses a button that makes the report's PDF; the path of the file downloaded. The
    PDFs downloaded before are removed: a report made again in the same minute keeps its name."""
    for old in glob.glob(os.path.join(p.downloads, "*.pdf")):
        os.remove(old)
    before = set()
    p.press(button)
    p.wait.until(lambda d: set(glob.glob(os.path.join(p.downloads, "*.pdf"))) - before
                 and not glob.glob(os.path.join(p.downloads, "*.crdownload")))
    time.sleep(0.2)
    return (set(glob.glob(os.path.join(p.downloads, "*.pdf"))) - before).pop()


def pdf_text(path):
    """pdftotext's reading of a PDF, in its layout."""
    return subprocess.run(["pdftotext", "-layout", path, "-"], capture_output=True, text=True,
                          check=True).stdout


def pages_as_png(path, prefix):
    """Each page of a PDF as a PNG in OUT_DIR (pdftoppm), to be looked at; their paths."""
    subprocess.run(["pdftoppm", "-png", "-r", "60", path, os.path.join(out_dir, prefix)], check=True)
    return sorted(glob.glob(os.path.join(out_dir, prefix + "*.png")))


# quemador1-calc's figures of a log, by the page's ids of the same figures.
LOG_FIGURES = {"exceso_aire": "Exceso de aire (%)", "eficiencia": "Eficiencia (%)", "lambda": "Índice de aire λ",
               "eficiencia_neta": "Eficiencia neta (%)", "perdidas_humos": "Pérdidas por humos qA (%)",
               "eficiencia_corregida": "Eficiencia corregida (%)"}


def log_means(readings):
    """The mean of each figure over the readings, as quemador1-calc's summary of a log of
    them gives it, by the figure's label."""
    path = os.path.join(tempfile.mkdtemp(), "tres.csv")
    with open(path, "w", encoding="utf-8") as log:
        log.write("O2;T humos (°C);T aire (°C)\n")
        for r in readings:
            log.write(f"{r['o2']};{r['temp']};{r['aire']}\n")
    run = subprocess.run([calc_path, "--csv", path, "-c", "gas", "--cifras", ",".join(LOG_FIGURES)],
                         capture_output=True, text=True, check=False)
    means = {}
    for line in run.stderr.splitlines():
        m = re.match(r"quemador1-calc: (\w+) en \d+ filas: media ([\d,.-]+),", line)
        if m and m.group(1) in LOG_FIGURES:
            means[LOG_FIGURES[m.group(1)]] = m.group(2).replace(".", ",")
    return means


@case
def three_readings_means_as_quemador1_calc(p):
    """Three readings added to the report, each with its figures, and the mean of each
    figure as quemador1-calc's summary of a log of the same three gives it."""
    open_page(p)
    add_readings(p, THREE)
    rows = table_of(p, "medias")
    page = {row[0]: row[4] for row in rows[1:]}
    native = log_means(THREE)
    p.check(rows[0] == ["Cifra", "Lectura 1", "Lectura 2", "Lectura 3", "Media"] and len(native) == len(LOG_FIGURES)
            and all(page.get(label) == mean for label, mean in native.items()),
            "each figure's mean", f"\n  page:   {page}\n  native: {native}")
    # The CO air-free of each reading, as quemador1-calc gives it for that reading.
    co = next(row for row in rows if row[0] == "CO sin aire (ppm)")
    each = [calc(calc_path, dict(combustible="gas", unidad="C", **r))["figures"]["co-sin-aire"] for r in THREE]
    p.check(co[1:4] == each, "each reading's CO air-free", f"{co} / {each}")
    p.press("anadir-lectura")
    p.check(p.el("anadir-lectura").get_attribute("disabled") is not None
            and len(p.driver.find_elements(By.CSS_SELECTOR, "#lecturas-informe li")) == 3,
            "no fourth reading")


# name, the settings, the fuel, the readings, the smoke index recorded, each limit's
# judgement and source (a part of its line), the report's verdict.
LIMITS = [
    ("both pass, the CO limit by default", {"limite-eficiencia": "80"}, "gas", THREE[:2], "",
     ["Cumple: Eficiencia bruta mínima: 80 %, fijado por la empresa", "Cumple: CO sin aire máximo: 400 ppm, ANSI Z21.47"],
     "Conforme"),
    ("the efficiency fails", {"limite-eficiencia": "85"}, "gas", THREE[:2], "",
     ["No cumple: Eficiencia bruta mínima: 85 %", "Cumple: CO sin aire"], "No conforme"),
    ("the net efficiency passes where the gross fails",
     {"limite-eficiencia": "85", "limite-eficiencia-base": "eficiencia-neta"}, "gas", THREE[:2], "",
     ["Cumple: Eficiencia neta mínima: 85 %", "Cumple: CO sin aire"], "Conforme"),
    ("a CO past the limit by default", {"limite-eficiencia": "80"}, "gas", [dict(THREE[0], co="420")], "",
     ["Cumple: Eficiencia", "No cumple: CO sin aire máximo: 400 ppm, ANSI Z21.47"], "No conforme"),
    ("a CO past the company's limit", {"limite-eficiencia": "80", "limite-co": "45"}, "gas", THREE[:2], "",
     ["Cumple: Eficiencia", "No cumple: CO sin aire máximo: 45 ppm, fijado por la empresa"], "No conforme"),
    ("no efficiency limit: no pass", {}, "gas", THREE[:2], "",
     ["Sin límite fijado: Eficiencia bruta mínima, sin límite fijado", "Cumple: CO sin aire"], "Sin límites fijados"),
    ("no CO measured: no pass", {"limite-eficiencia": "80"}, "gas", [dict(THREE[0], co="")], "",
     ["Cumple: Eficiencia", "Sin medir: CO sin aire"], "Sin veredicto"),
    ("fuel oil, no smoke limit: no pass", {"limite-eficiencia": "80"}, "fueloil", [dict(o2="4", temp="200", co="30")], "1",
     ["Cumple: Eficiencia", "Cumple: CO sin aire", "Sin límite fijado: Opacidad máxima"], "Sin límites fijados"),
    ("fuel oil, smoke past its limit", {"limite-eficiencia": "80", "limite-opacidad": "2"}, "fueloil",
     [dict(o2="4", temp="200", co="30")], "3",
     ["Cumple: Eficiencia", "Cumple: CO sin aire", "No cumple: Opacidad máxima: 2 (Bacharach), fijado por la empresa; anotada 3"],
     "No conforme"),
    ("fuel oil, smoke within its limit", {"limite-eficiencia": "80", "limite-opacidad": "2"}, "fueloil",
     [dict(o2="4", temp="200", co="30")], "2", ["Cumple: Eficiencia", "Cumple: CO sin aire", "Cumple: Opacidad máxima"],
     "Conforme"),
]


@case
def limits_and_their_verdict(p):
    """Each limit judged with its source, and the report's verdict in its words: a fail
    anywhere is No conforme, a limit missing or a figure not measured is never Conforme."""
    open_page(p, 1280, 800)
    for name, settings, fuel, readings, smoke, judged, word in LIMITS:
        p.driver.execute_script("localStorage.clear()")
        p.driver.refresh()
        ready(p)
        fill(p, settings)
        add_readings(p, readings, fuel)
        if smoke:
            type_in(p, "opacidad", smoke)
        said, lines = verdict(p)
        p.check(said == word and len(lines) == len(judged) and all(line.startswith(part.split(":")[0] + ":")
                                                                    and part in line for line, part in zip(lines, judged)),
                name, f"{said}: {lines}")
    p.check(p.el("opacidad").is_displayed(), "the smoke index asked for fuel oil")
    type_in(p, "combustible", "gas")
    p.check(not p.el("opacidad").is_displayed(), "and not for gas")


@case
def the_pdf_and_the_printed_report(p):
    """The PDF's text (pdftotext) holds the parties, the boiler, the analyser with its old
    calibration marked, each reading's figures and their means, the draught, the verdict
    and the places to sign, all on one page; the printed page has the same content. No
    violation of the page's policy on the way. Compartir hands the same PDF to a share
    sheet where the browser has one."""
    open_page(p)
    p.el("ajustes").click() if not p.el("ajustes").get_attribute("open") else None
    fill(p, SETTINGS)
    fill(p, DETAILS)
    type_in(p, "caldera", "Sala de calderas 1")
    add_readings(p, THREE)
    p.driver.save_screenshot(os.path.join(out_dir, "report-360x640.png"))
    path = made_pdf(p)
    shutil.copy(path, os.path.join(out_dir, "report.pdf"))
    text = pdf_text(path)
    flat = " ".join(text.split())
    means = log_means(THREE)
    wanted = ["Informe de inspección de la combustión", "Calefacciones Peñalara, S.L.", "RI-28/1234", "Ana Ruiz",
              "CT-5678", "Comunidad Mayor 1", "C/ Mayor 1; 28013 Madrid", "Sala de calderas 1", "Roca", "Victoria 24",
              "-SN998877", "24,5", "2012", "Gas Natural", "Testo 330-2 LL", "A-123", "02/11/2024: hace más de un año",
              "Tiro (Pa) -12", "Conforme", "Cumple cada límite", "Eficiencia bruta mínima: 82 %", "fijado por la empresa",
              "ANSI Z21.47", "Limpieza del quemador; ajuste del aire.", "Firma del técnico", "Firma del titular",
              "Página 1 de 2", "Índice de aire λ", "20,9 / (20,9 − O2)"]
    efficiency = next(line for line in text.splitlines() if line.startswith("Eficiencia (%)")).split()
    p.check(all(w in flat for w in wanted) and efficiency[-1] == means["Eficiencia (%)"] and len(efficiency) == 6,
            "pdftotext reads the parties, the figures and the verdict",
            f"missing {[w for w in wanted if w not in flat]}; {efficiency}\n{text}")
    pages = pages_as_png(path, "report-page-")
    # Two pages: the readings, the verdict and the signatures on the first; the company's
    # and the report's other fields fill the second.
    p.check(len(pages) == 2, "on two pages", pages)
    p.check(p.driver.execute_script("return violations") == [], "no violation of the policy",
            p.driver.execute_script("return violations"))
    p.check(p.el("informe-salida").text.startswith("Informe descargado: informe-Sala-de-calderas-1-"),
            "the page says where it went", p.el("informe-salida").text)

    p.driver.execute_script("window.dispatchEvent(new Event('beforeprint'))")
    # The printed text as a reader takes it: each text node apart, as a table's cells are.
    ticket = " ".join(p.driver.execute_script(
        "const walk = document.createTreeWalker(arguments[0], NodeFilter.SHOW_TEXT); const out = [];"
        "while (walk.nextNode()) out.push(walk.currentNode.textContent); return out.join(' ')", p.el("ticket")).split())
    printed = base64.b64decode(p.driver.execute_cdp_cmd("Page.printToPDF", {})["data"])
    p.check(all(w in ticket for w in wanted[:-3]) and means["Eficiencia (%)"] in ticket,
            "Imprimir prints the same content", [w for w in wanted[:-3] if w not in ticket])
    with open(os.path.join(out_dir, "report-printed.pdf"), "wb") as out:
        out.write(printed)
    pages_as_png(os.path.join(out_dir, "report-printed.pdf"), "report-printed-")

    p.driver.execute_script(FAKE_SHARE)
    p.press("compartir")
    p.wait.until(lambda d: d.execute_script("return window.shared.length"))
    shared = p.driver.execute_script("return window.shared")
    p.check(shared[0][0] == "Informe de inspección" and shared[0][1] == os.path.basename(path)
            and abs(shared[0][2] - os.path.getsize(path)) < 200 and p.el("informe-salida").text.startswith("Informe compartido"),
            "Compartir shares the same PDF where the browser can", shared)


@case
def the_pdf_offline(p):
    """pdf-lib is in the service worker's cache: with the server stopped, the report's PDF
    is made."""
    copy = os.path.join(tempfile.mkdtemp(), "site")
    shutil.copytree(site, copy)
    server, url = serve(copy)
    p.driver.get(url)
    ready(p)
    p.wait.until(lambda d: d.execute_script("return !!navigator.serviceWorker.controller"))
    cached = p.driver.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "caches.match('pdf-lib/pdf-lib.esm.min.js').then((r) => done(!!r))")
    server.shutdown()
    server.server_close()
    p.driver.refresh()
    ready(p)
    add_readings(p, THREE[:1])
    path = made_pdf(p)
    p.check(cached and "Lectura 1" in pdf_text(path), "pdf-lib cached, and the PDF made offline")


@case
def a_known_boiler_fills_its_details(p):
    """A reading saved with a boiler's details; on a fresh form, its name fills them in,
    and its fuel."""
    open_page(p, 1280, 800)
    fill(p, {k: v for k, v in DETAILS.items() if k.startswith(("caldera-", "titular", "direccion"))})
    type_in(p, "combustible", "fueloil")
    fill(p, dict(o2="4", temp="200"))
    type_in(p, "caldera", "Sala de Calderas 1")
    p.press("guardar")
    p.wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, "#lecturas li"))
    p.driver.execute_script("localStorage.removeItem('quemador1.informe'); localStorage.removeItem('quemador1.lectura')")
    p.driver.refresh()
    ready(p)
    empty = all(p.el(k).get_attribute("value") == "" for k in ("titular", "caldera-marca"))
    type_in(p, "combustible", "gas")
    type_in(p, "caldera", "sala de calderas 1")
    p.el("caldera").send_keys(Keys.TAB)
    p.wait.until(lambda d: p.el("caldera-estado").text)
    filled = {k: p.el(k).get_attribute("value") for k in ("titular", "direccion", "caldera-marca", "caldera-modelo",
                                                          "caldera-serie", "caldera-potencia", "caldera-anio")}
    known = p.driver.execute_script("return [...document.querySelectorAll('#calderas-conocidas option')].map((o) => o.value)")
    p.check(empty and filled == {k: DETAILS[k] for k in filled} and p.el("combustible").get_attribute("value") == "fueloil"
            and known == ["Sala de Calderas 1"] and "Caldera conocida" in p.el("caldera-estado").text,
            "its details and fuel filled in, whatever the case of its name", filled)


@case
def the_change_since_the_last_report(p):
    """A boiler's report made; the next one shows the previous report's means beside
    today's and the change, in points, since its date."""
    open_page(p, 1280, 800)
    type_in(p, "caldera", "Sala 1")
    first = dict(o2="3", temp="170", co="40", aire="20")
    add_readings(p, [first])
    made_pdf(p)
    p.press("informe-nuevo")
    second = dict(o2="4,5", temp="190", co="40", aire="20")
    add_readings(p, [second])
    efficiency = [float(calc(calc_path, dict(combustible="gas", unidad="C", **r))["figures"]["eficiencia"].replace(",", "."))
                  for r in (first, second)]
    change = f"{efficiency[1] - efficiency[0]:+.1f}".replace("-", "\u2212").replace(".", ",")
    today = datetime.date.today().strftime("%d/%m/%Y")
    said = p.el("informe-anterior").text
    rows = table_of(p, "informe-anterior")
    row = next(r for r in rows if r[0] == "Eficiencia (%)")
    p.check(f"Eficiencia {change} puntos desde el {today}." in said and change.startswith("\u2212")
            and row[1:3] == [f"{e:.2f}".rstrip("0").rstrip(".").replace(".", ",") for e in efficiency[::-1]],
            "the previous report's figures and the change", f"{said} / {row} / {efficiency}")
    path = made_pdf(p)
    p.check(f"Eficiencia {change} puntos desde el {today}." in " ".join(pdf_text(path).split()), "in the PDF too")


@case
def a_reading_saved_twice_is_refused(p):
    """Guardar twice on one reading of a boiler saves it once and says why; another
    reading, or the same of another boiler, is saved."""
    open_page(p, 1280, 800)

    def saved():
        return len(p.driver.find_elements(By.CSS_SELECTOR, "#lecturas li"))

    fill(p, dict(o2="3", temp="180"))
    type_in(p, "caldera", "Sala 1")
    rows = [("the first", 1, "Lectura guardada."), ("the same again", 1, "igual a la última guardada de la caldera"),
            ("with a comma", 1, "igual a la última guardada")]
    for name, count, said in rows:
        if name == "with a comma":
            type_in(p, "o2", "3,0")
        p.press("guardar")
        p.wait.until(lambda d: p.el("guardadas-estado").text)
        time.sleep(0.3)
        p.check(saved() == count and said in p.el("guardadas-estado").text, name, p.el("guardadas-estado").text)
        p.driver.execute_script("document.getElementById('guardadas-estado').textContent = ''")
    type_in(p, "o2", "3,1")
    p.press("guardar")
    p.wait.until(lambda d: saved() == 2)
    type_in(p, "caldera", "Sala 2")
    p.press("guardar")
    p.wait.until(lambda d: saved() == 3)
    p.check(True, "another reading, and the same of another boiler, saved")


# Everything the page keeps, by store: what an export must bring back.
KEPT = """
const done = arguments[arguments.length - 1];
const open = indexedDB.open('quemador1');
open.onsuccess = () => {
  const db = open.result;
  const names = ['lecturas', 'calderas', 'informes'];
  const tx = db.transaction(names);
  const out = { ajustes: JSON.parse(localStorage.getItem('quemador1.ajustes') || '{}') };
  names.forEach((n) => { tx.objectStore(n).getAll().onsuccess = (e) => { out[n] = e.target.result; }; });
  tx.oncomplete = () => { db.close(); done(out); };
};"""


def comparable(kept):
    """What an export keeps: every field but the stores' own ids and the saved answers
    (computed again), numbers read alike with a comma or a point; in a set order."""
    def numbers(boxes):
        return {k: v.replace(".", ",") for k, v in boxes.items()}

    def no_empty(fields):
        return {k: v for k, v in (fields or {}).items() if v != ""}

    readings = sorted((r["fecha"], r["caldera"], r["nota"], json.dumps(numbers(r["entradas"]), sort_keys=True))
                      for r in kept["lecturas"])
    boilers = sorted((b["clave"], b["caldera"], b["combustible"], json.dumps(no_empty(b["campos"]), sort_keys=True))
                     for b in kept["calderas"])
    reports = sorted((r["clave"], r["caldera"], r["fecha"], json.dumps(no_empty(r["campos"]), sort_keys=True),
                      json.dumps([[l["fecha"], l["nota"], numbers(l["entradas"])] for l in r["lecturas"]], sort_keys=True))
                     for r in kept["informes"])
    return {"lecturas": readings, "calderas": boilers, "informes": reports, "ajustes": no_empty(kept["ajustes"])}


@case
def exported_and_imported_back(p):
    """Saved readings (in °C and °F), a boiler's details, a report and the settings,
    exported: quemador1-calc --csv reads the file as a log with the page's own figures;
    imported into an empty browser, every field comes back, and imported again, nothing
    is doubled."""
    open_page(p, 1280, 800)
    p.el("ajustes").click() if not p.el("ajustes").get_attribute("open") else None
    fill(p, {**SETTINGS, "limite-co": "300", "limite-opacidad": "2"})
    fill(p, DETAILS)
    type_in(p, "caldera", "=Sala 1")
    fill(p, dict(o2="3,5", temp="180,5", aire="20", co="40", **{"objetivo-o2": "2", "objetivo-temp": "170"}))
    type_in(p, "nota", "-revisada")
    p.press("guardar")
    p.wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, "#lecturas li"))
    type_in(p, "caldera", "Sala 2")
    type_in(p, "nota", "")
    type_in(p, "unidad", "F")
    fill(p, {"o2": "4", "temp": "400", "aire": "", "co": "", "objetivo-o2": "", "objetivo-temp": ""})
    p.press("guardar")
    p.wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#lecturas li")) == 2)
    type_in(p, "unidad", "C")
    type_in(p, "caldera", "=Sala 1")
    add_readings(p, THREE[:2])
    made_pdf(p)
    before = comparable(p.driver.execute_async_script(KEPT))

    p.press("exportar")
    p.wait.until(lambda d: glob.glob(os.path.join(p.downloads, "*.csv")))
    time.sleep(0.3)
    exported = glob.glob(os.path.join(p.downloads, "*.csv"))[0]
    shutil.copy(exported, os.path.join(out_dir, "export.csv"))
    reread = subprocess.run([calc_path, "--csv", exported], capture_output=True, check=False)
    written = log_results(open(exported, "rb").read())
    p.check(reread.returncode == 0 and written == log_results(reread.stdout) and len(written) == 4 and all(r[1] for r in written),
            "quemador1-calc --csv reads the export, with the page's figures", f"{written} {reread.stderr!r}")

    # A new phone: the page's database and settings gone (the open page's connection is
    # closed by the browser, which a deleteDatabase from the page would wait for).
    origin = p.driver.execute_script("return location.origin")
    p.driver.execute_cdp_cmd("Storage.clearDataForOrigin", {"origin": origin, "storageTypes": "indexeddb,local_storage"})
    p.driver.refresh()
    ready(p)
    empty = p.driver.execute_async_script(KEPT)
    p.el("importar").send_keys(exported)
    p.wait.until(lambda d: "Importadas" in p.el("guardadas-estado").text)
    after = comparable(p.driver.execute_async_script(KEPT))
    p.check(not empty["lecturas"] and after == before, "every field comes back",
            f"\n  before: {before}\n  after:  {after}")
    p.check(p.el("empresa").get_attribute("value") == SETTINGS["empresa"]
            and len(p.driver.find_elements(By.CSS_SELECTOR, "#lecturas li")) == 2,
            "the settings on the form, the readings in the list")
    p.el("importar").send_keys(exported)
    p.wait.until(lambda d: "ya estaban" in p.el("guardadas-estado").text)
    p.check(comparable(p.driver.execute_async_script(KEPT)) == before, "imported twice, nothing doubled",
            p.el("guardadas-estado").text)


@case
def a_co_past_its_limit_in_the_strip(p):
    """At 360×640, a CO past its limit is red beside its figure and in the strip at the
    bottom while the figure is below, with the limit's source; under it, nothing."""
    open_page(p)
    rows = [("900 ppm, the limit by default", {}, "900", "supera el límite de 400 ppm (ANSI Z21.47)"),
            ("60 ppm under the company's 100", {"limite-co": "100"}, "60", ""),
            ("120 ppm past the company's 100", {"limite-co": "100"}, "120", "supera el límite de 100 ppm (fijado por la empresa)")]
    for name, settings, co, said in rows:
        p.driver.execute_script("localStorage.setItem('quemador1.ajustes', arguments[0])", json.dumps(settings))
        p.driver.refresh()
        ready(p)
        fill(p, dict(o2="3", temp="180", co=co))
        p.driver.execute_script("window.scrollTo(0, 0)")
        time.sleep(0.3)
        strip = p.el("franja")
        beside = p.el("co-sin-aire-peligro").get_attribute("textContent")
        if said:
            p.check(strip.is_displayed() and "supera el límite" in strip.text and "peligro" in strip.get_attribute("class")
                    and said in beside, name, f"{strip.text} / {beside}")
            p.driver.save_screenshot(os.path.join(out_dir, "report-co-360x640.png"))
        else:
            p.check("CO" not in strip.text and not beside, name, f"{strip.text} / {beside}")


@case
def notices_of_unit_and_air(p):
    """The unit changed under typed temperatures says they are now read in the new unit;
    an air below 0 °C or 32 °F gets a notice."""
    open_page(p, 1280, 800)
    rows = [("°C to °F with temperatures", dict(temp="168,3", aire="21"), "F",
             "Las temperaturas escritas (168,3, 21) se leen ahora en °F", "bajo cero"),
            ("°F to °C with a flue gas only", dict(temp="335", aire=""), "C",
             "Las temperaturas escritas (335) se leen ahora en °C", None),
            ("no temperature typed", dict(temp="", aire=""), "F", "", None),
            ("an air below 0 °C", dict(temp="180", aire="-5"), None, "", "El aire de combustión está a -5 °C, bajo cero")]
    for name, boxes, unit, said, notice in rows:
        p.driver.execute_script("localStorage.clear()")
        p.driver.refresh()
        ready(p)
        if unit:
            type_in(p, "unidad", "C" if unit == "F" else "F")
        fill(p, dict(o2="3", **boxes))
        if unit:
            type_in(p, "unidad", unit)
        notices = " ".join(li.text for li in p.driver.find_elements(By.CSS_SELECTOR, "#avisos li"))
        note = p.el("unidad-nota").text
        p.check((said in note if said else note == "") and (notice in notices if notice else "bajo cero" not in notices),
                name, f"{note} / {notices}")


@case
def accessible_at_both_sizes(p):
    """With the report filled (three readings, a previous report, a verdict), axe-core
    finds nothing at 360×640 and 1280×800; nothing sticks out sideways; at 360 px the
    report's form is one column and every control is at least 44 px high; the log
    view's selects show their whole choice."""
    open_page(p)
    type_in(p, "caldera", "Sala 1")
    add_readings(p, THREE[:1])
    made_pdf(p)
    p.press("informe-nuevo")
    p.el("ajustes").click() if not p.el("ajustes").get_attribute("open") else None
    fill(p, SETTINGS)
    fill(p, DETAILS)
    add_readings(p, THREE)
    axe = open(axe_path, encoding="utf-8").read()
    small = """
      const small = [...document.querySelectorAll(['.informe input', '.informe select', '.informe textarea',
          '.informe button', '.informe summary', '.guardar input', '.guardar button'].join(', '))]
        .filter((e) => e.offsetParent && e.getBoundingClientRect().height < 44).map((e) => e.id || e.textContent);
      const columns = [...document.querySelectorAll('.informe fieldset.grupo')].filter((g) => g.offsetParent)
        .map((g) => new Set([...g.querySelectorAll('.campo')].filter((e) => e.offsetParent)
          .map((e) => Math.round(e.getBoundingClientRect().left))).size);
      return [small, Math.max(...columns)];"""
    for width, height in ((360, 640), (1280, 800)):
        p.driver.set_window_size(width, height)
        sizes, violations = width_and_axe(p.driver, axe)
        p.check(sizes == [width, 0], f"the page is {width} px wide, nothing sticks out", sizes)
        p.check(violations == [], f"axe-core at {width}×{height}", violations)
        small_controls, columns = p.driver.execute_script(small)
        p.check(small_controls == [] and columns == (1 if width == 360 else 2),
                f"controls of 44 px, {'one column' if width == 360 else 'two'} at {width}", [small_controls, columns])
        for where in ("informe-titulo", "lecturas-informe-titulo", "veredicto"):
            p.driver.execute_script("arguments[0].scrollIntoView()", p.el(where))
            p.driver.save_screenshot(os.path.join(out_dir, f"report-{where}-{width}x{height}.png"))
    p.driver.set_window_size(360, 640)
    p.driver.get(p.url + "#registro")
    ready(p)
    cut = p.driver.execute_script("""
      const probe = document.createElement('span');
      document.body.append(probe);
      const out = [];
      for (const select of document.querySelectorAll('#vista-registro .opciones select')) {
        const style = getComputedStyle(select);
        probe.style.font = style.font;
        for (const option of select.options) {
          probe.textContent = option.textContent;
          const room = select.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight) - 20;
          if (probe.getBoundingClientRect().width > room) out.push(option.textContent);
        }
      }
      probe.remove();
      return out;""")
    p.check(cut == [], "the log view's choices whole at 360 px", cut)
    options = re.findall(r"--[a-z][a-z0-9-]*", p.driver.execute_script("return document.body.textContent"))
    p.check(options == [], "the page's own texts name no command-line option", options)
    p.driver.save_screenshot(os.path.join(out_dir, "registro-360x640.png"))


# A document of every kind of block the PDF module lays out, long enough for three
# pages, made by the page's own module; its bytes back in base64.
LAYOUT = """
const done = arguments[arguments.length - 1];
import('./pdf.js').then(async ({ Layout }) => {
  const pdf = await Layout.create({ title: 'Prueba', footer: 'Quemador1 · prueba' });
  pdf.heading('Caldera Señora: λ 1,17, eficiencia −1,2 puntos');
  pdf.rows([['Empresa', 'Calefacciones Peñalara, S.L. (€)'], ['Vacía', ''], ['Nombre', '\u2068Sala 1\u2069 O₂']]);
  pdf.table([{ title: 'Fila', share: 0.5 }, { title: 'Cifra', share: 0.5, align: 'right' }],
    Array.from({ length: 90 }, (_, i) => [`fila ${i + 1}`, { text: 'No cumple', colour: [0.7, 0, 0] }]));
  pdf.boxes(['Firma del técnico', 'Firma del titular']);
  const bytes = await pdf.bytes();
  let text = '';
  for (const byte of bytes) text += String.fromCharCode(byte);
  done(btoa(text));
}).catch((error) => done('error: ' + error));"""


@case
def pdf_module_under_the_policy(p):
    """pdf-lib is not loaded with the page; the PDF module loads it from the site under
    the policy, and lays out text that pdftotext reads back: Spanish letters, €, λ and
    − (Symbol), a name's isolation marks dropped, a table over three pages with its
    heading on each, page numbers."""
    open_page(p)
    loaded = "return performance.getEntriesByType('resource').some((e) => e.name.includes('pdf-lib'))"
    before = p.driver.execute_script(loaded)
    answer = p.driver.execute_async_script(LAYOUT)
    p.check(not answer.startswith("error"), "a PDF made", answer[:200])
    path = os.path.join(out_dir, "pdf-module.pdf")
    with open(path, "wb") as out:
        out.write(base64.b64decode(answer))
    text = pdf_text(path)
    p.check(not before and p.driver.execute_script(loaded), "pdf-lib loaded on first use, not with the page")
    p.check(p.driver.execute_script("return violations") == [], "no violation of the policy",
            p.driver.execute_script("return violations"))
    p.check("Caldera Señora: λ 1,17, eficiencia −1,2 puntos" in text and "Peñalara, S.L. (€)" in text
            and "Sala 1 O2" in text and "Vacía" not in text and "fila 90" in text
            and "Firma del titular" in text, "pdftotext reads every block", text[:600])
    pages = text.split("\f")[:-1]
    spanned = [page for page in pages if "fila " in page]
    p.check(len(spanned) >= 2 and all("Cifra" in page for page in spanned)
            and all(f"Página {n} de {len(pages)}" in page for n, page in enumerate(pages, 1)),
            "the table's heading on each page it spans, each page numbered", [len(pages), len(spanned)])
    p.check(len(pages_as_png(path, "pdf-module-")) == 3, "three pages drawn")


# The module's share-or-download on a small PDF; the browser's share, when the case gives
# one, records what it was handed.
SHARE = """
const done = arguments[arguments.length - 1];
import('./pdf.js').then(async ({ shareOrDownload }) => {
  const way = await shareOrDownload(new TextEncoder().encode('%PDF-1.7'), 'prueba.pdf', 'Prueba');
  done({ way, shared: window.shared || null });
}).catch((error) => done({ way: 'error: ' + error }));"""
FAKE_SHARE = """
window.shared = [];
navigator.canShare = (data) => data.files.every((f) => f.type === 'application/pdf');
navigator.share = async (data) => { window.shared.push([data.title, data.files[0].name, data.files[0].size]); };"""


@case
def shared_where_the_browser_can(p):
    """Headless Chromium has no navigator.canShare: the PDF is downloaded. Where canShare
    says yes, the file goes to navigator.share and nothing is downloaded; a share that
    fails (not the user cancelling) is downloaded instead."""
    open_page(p)
    plain = p.driver.execute_async_script(SHARE)
    p.wait.until(lambda d: glob.glob(os.path.join(p.downloads, "prueba.pdf")))
    p.check(p.driver.execute_script("return 'canShare' in navigator") is False and plain["way"] == "descargado",
            "without canShare, downloaded", plain)
    os.remove(os.path.join(p.downloads, "prueba.pdf"))
    p.driver.execute_script(FAKE_SHARE)
    shared = p.driver.execute_async_script(SHARE)
    p.check(shared == {"way": "compartido", "shared": [["Prueba", "prueba.pdf", 8]]}
            and not glob.glob(os.path.join(p.downloads, "*.pdf")), "with canShare, shared", shared)
    p.driver.execute_script("navigator.share = async () => { throw new DOMException('no', 'NotAllowedError'); }")
    failed = p.driver.execute_async_script(SHARE)
    p.wait.until(lambda d: glob.glob(os.path.join(p.downloads, "prueba.pdf")))
    p.check(failed["way"] == "descargado", "a failed share downloads", failed)
    p.driver.execute_script("navigator.share = async () => { throw new DOMException('no', 'AbortError'); }")
    p.check(p.driver.execute_async_script(SHARE)["way"] == "cancelado", "a cancelled share does nothing")


run(site, sys.argv[5:], width=360, height=640, timeout=30)
