#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The technician's work never lost, and every name printed, in real headless Chromium, as
independent cases: a report kept with the boiler box empty and found a year later;
"Nuevo informe" confirmed, cancelled and undone; 50,000 saved readings exported and
imported back whole through the module's heap; a 100 MB backup refused and a request
bigger than the module's stack answered, the module calculating after each; an import's
repeated rows added once and its unreadable dates listed; the export's byte order mark
and ISO dates read by quemador1-calc --csv with no date question, a reading both saved
and in a report written once; names in Polish, Greek and Cyrillic read back from both
PDFs by pdftotext, an emoji said on the page by its box; the report's identification on
every page, its decimal comma and its footer cut.
Usage: test_report_kept.py SITE_DIR QUEMADOR1_CALC OUT_DIR [CASE...]"""

import csv
import glob
import io
import json
import os
import re
import subprocess
import sys
import tempfile
import time

from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

from harness import case, fill, run, type_in

site, calc_path, out_dir = sys.argv[1:4]
os.makedirs(out_dir, exist_ok=True)


def ready(p):
    p.wait.until(lambda d: d.execute_script(
        "return 'listo' in document.body.dataset && 'guardadas' in document.body.dataset"))


def open_page(p, width=360, height=640):
    p.driver.set_window_size(width, height)
    p.driver.get(p.url)
    ready(p)


def add_readings(p, readings, fuel="gas"):
    type_in(p, "combustible", fuel)
    for boxes in readings:
        fill(p, {"o2": "", "co2": "", "co": "", "aire": "", **boxes})
        count = len(p.driver.find_elements(By.CSS_SELECTOR, "#lecturas-informe li"))
        p.press("anadir-lectura")
        p.wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#lecturas-informe li")) == count + 1)


def clear_downloads(p, pattern):
    for old in glob.glob(os.path.join(p.downloads, pattern)):
        os.remove(old)


def downloaded(p, pattern, timeout=30):
    """The one file of a pattern downloaded, once whole."""
    WebDriverWait(p.driver, timeout).until(lambda d: glob.glob(os.path.join(p.downloads, pattern))
                                           and not glob.glob(os.path.join(p.downloads, "*.crdownload")))
    time.sleep(0.3)
    [path] = glob.glob(os.path.join(p.downloads, pattern))
    return path


def made_pdf(p, button="informe-pdf"):
    clear_downloads(p, "*.pdf")
    p.press(button)
    return downloaded(p, "*.pdf")


def pdf_text(path):
    return subprocess.run(["pdftotext", "-layout", path, "-"], capture_output=True, text=True, check=True).stdout


def blank_words(path):
    """The words pdftotext finds whose box is blank on the page as drawn (pdftoppm, in
    grey at 72 dpi: a point a pixel): letters a broken font leaves undrawn."""
    import html
    folder = tempfile.mkdtemp()
    boxes = subprocess.run(["pdftotext", "-bbox", path, "-"], capture_output=True, text=True, check=True).stdout
    subprocess.run(["pdftoppm", "-gray", "-r", "72", path, os.path.join(folder, "p")], check=True)
    blank = []
    for number, page in enumerate(boxes.split("<page ")[1:], 1):
        [image] = glob.glob(os.path.join(folder, f"p-{number}.pgm")) or glob.glob(os.path.join(folder, f"p-0{number}.pgm"))
        with open(image, "rb") as f:
            data = f.read()
        _, width, height, _ = data.split(maxsplit=3)[:4]
        width, height = int(width), int(height)
        pixels = data[len(data) - width * height:]
        for m in re.finditer(r'xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)<', page):
            x0, y0, x1, y1 = (int(float(v)) for v in m.groups()[:4])
            if len(m.group(5)) > 1 and not any(pixels[y * width + x] < 192 for y in range(y0, min(y1 + 1, height))
                                               for x in range(x0, min(x1 + 1, width))):
                blank.append(html.unescape(m.group(5)))
    return blank


# Every store of the page's database, and the settings.
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

# The module calculating: a reading typed gives its efficiency.
def calculates(p):
    fill(p, {"o2": "3", "temp": "180"})
    p.wait.until(lambda d: p.el("eficiencia").text.strip() not in ("", "—"))
    return p.el("eficiencia").text.strip()


def new_phone(p):
    """The page's database and settings gone, as on a new phone."""
    origin = p.driver.execute_script("return location.origin")
    p.driver.execute_cdp_cmd("Storage.clearDataForOrigin", {"origin": origin, "storageTypes": "indexeddb,local_storage"})
    p.driver.refresh()
    ready(p)


# name, the boiler box, the boiler's details, what the report is kept under, what the page says.
UNNAMED = [
    ("by make, model and serial number", "", {"caldera-marca": "Roca", "caldera-modelo": "Victoria 24", "caldera-serie": "SN1"},
     "Roca Victoria 24 SN1", "informe-Roca-Victoria-24-SN1-"),
    ("with no name at all", "", {}, "Caldera sin nombre, ", "escriba el nombre de la caldera"),
    ("by its name", "Sala 7", {"caldera-marca": "Roca"}, "Sala 7", "informe-Sala-7-"),
]


@case
def a_report_kept_without_the_boiler_box(p):
    """A report's PDF made with the Guardar section's boiler box empty: the report is kept
    under the boiler's make, model and serial number (or, with none, under its date, and
    the page asks for a name), and a year later the same make, model and serial number
    find it as the previous report."""
    open_page(p, 1280, 800)
    for name, boiler, details, kept_as, said in UNNAMED:
        p.driver.execute_script("localStorage.clear()")
        new_phone(p)
        fill(p, {"caldera": boiler, **details})
        add_readings(p, [dict(o2="3", temp="180", co="40")])
        path = made_pdf(p)
        reports = p.driver.execute_async_script(KEPT)["informes"]
        p.check(len(reports) == 1 and reports[0]["caldera"].startswith(kept_as)
                and (said in os.path.basename(path) or said in p.el("informe-salida").text),
                name, f"{[r['caldera'] for r in reports]} {os.path.basename(path)} {p.el('informe-salida').text}")
    # A year later: the report dated back a year, a fresh form, the same details typed.
    p.driver.execute_script("localStorage.clear()")
    new_phone(p)
    fill(p, UNNAMED[0][2])
    add_readings(p, [dict(o2="3", temp="180", co="40")])
    made_pdf(p)
    p.driver.execute_async_script("""
      const done = arguments[arguments.length - 1];
      const open = indexedDB.open('quemador1');
      open.onsuccess = () => {
        const tx = open.result.transaction('informes', 'readwrite');
        const store = tx.objectStore('informes');
        store.getAll().onsuccess = (e) => e.target.result.forEach((r) => {
          const d = new Date(r.fecha); d.setFullYear(d.getFullYear() - 1); r.fecha = d.toISOString(); store.put(r);
        });
        tx.oncomplete = () => { open.result.close(); done(); };
      };""")
    p.driver.execute_script("localStorage.removeItem('quemador1.informe'); localStorage.removeItem('quemador1.lectura')")
    p.driver.refresh()
    ready(p)
    fill(p, UNNAMED[0][2])
    add_readings(p, [dict(o2="3,5", temp="185", co="40")])
    a_year_ago = time.strftime("%d/%m/", time.localtime()) + str(time.localtime().tm_year - 1)
    p.wait.until(lambda d: "Informe anterior" in p.el("informe-anterior").text)
    p.check(f"Informe anterior, del {a_year_ago}" in p.el("informe-anterior").text,
            "found a year later by make, model and serial number", p.el("informe-anterior").text)


# name, whether the report's PDF was made first, the button pressed in the dialog (None: no
# dialog), the readings left, whether Deshacer is offered.
NEW_REPORT = [
    ("readings in no kept report, cancelled", False, "nuevo-cancelar", 2, False),
    ("readings in no kept report, confirmed", False, "nuevo-confirmar", 0, True),
    ("readings kept in a report: no question", True, None, 0, True),
]


@case
def new_report_confirmed_cancelled_undone(p):
    """"Nuevo informe" asks in the page before clearing readings in no kept report:
    Cancelar keeps them; confirmed, they are cleared and Deshacer brings them back. With
    the report kept, it clears at once, and Deshacer still brings them back."""
    open_page(p)
    count = lambda: len(p.driver.find_elements(By.CSS_SELECTOR, "#lecturas-informe li"))  # noqa: E731
    for name, made, button, left, undo in NEW_REPORT:
        p.driver.execute_script("localStorage.clear()")
        new_phone(p)
        type_in(p, "caldera", "Sala 1")
        add_readings(p, [dict(o2="3", temp="180"), dict(o2="3,2", temp="181")])
        if made:
            made_pdf(p)
        p.press("informe-nuevo")
        dialog = p.el("nuevo-dialogo")
        asked = dialog.get_attribute("open") is not None
        if asked:
            p.driver.save_screenshot(os.path.join(out_dir, "nuevo-informe-360x640.png"))
        if button:
            p.el(button).click()
        p.check(asked == bool(button) and dialog.get_attribute("open") is None and count() == left
                and bool(p.driver.find_elements(By.ID, "informe-deshacer")) == undo,
                name, f"asked {asked}, {count()} readings")
        if undo:
            p.press("informe-deshacer")
            p.check(count() == 2 and "recuperado" in p.el("informe-estado").text, f"{name}: Deshacer brings them back",
                    p.el("informe-estado").text)


# Saved readings made in the page's database at once: a year of a hundred boilers.
SEED = """
const [count] = arguments;
const done = arguments[arguments.length - 1];
const open = indexedDB.open('quemador1');
open.onsuccess = () => {
  const tx = open.result.transaction('lecturas', 'readwrite');
  const store = tx.objectStore('lecturas');
  const start = Date.UTC(2025, 0, 1, 8);
  for (let i = 0; i < count; i++) {
    const o2 = (2 + (i % 50) / 10).toFixed(1).replace('.', ',');
    store.add({ fecha: new Date(start + i * 600000).toISOString(), caldera: `Caldera ${i % 100} «ñ»`, nota: i % 7 ? '' : `nota ${i}`,
      entradas: { combustible: i % 3 ? 'gas' : 'fueloil', o2, co2: '', co: String(i % 90), temp: String(150 + (i % 60)), unidad: 'C',
        aire: i % 2 ? '20' : '', 'objetivo-o2': '', 'objetivo-temp': '' },
      respuesta: { cifras: { eficiencia: '80', 'eficiencia-neta': '90' } } });
  }
  tx.oncomplete = () => { open.result.close(); done(count); };
};"""


def readings_compared(kept):
    """The saved readings as an export keeps them: every field but the id and the answer."""
    return sorted((r["fecha"], r["caldera"], r["nota"],
                   json.dumps({k: v.replace(".", ",") for k, v in r["entradas"].items()}, sort_keys=True))
                  for r in kept["lecturas"])


@case
def fifty_thousand_readings_exported_and_imported(p):
    """50,000 saved readings exported (a file of many megabytes, through the module's heap)
    and imported back into an empty browser with every field; the module calculates
    after each."""
    open_page(p, 1280, 800)
    p.driver.set_script_timeout(120)
    p.driver.execute_async_script(SEED, 50000)
    p.driver.refresh()
    ready(p)
    before = readings_compared(p.driver.execute_async_script(KEPT))
    clear_downloads(p, "*.csv")
    started = time.time()
    p.press("exportar")
    path = downloaded(p, "*.csv", 120)
    took = time.time() - started
    with open(path, "rb") as f:
        data = f.read()
    rows = data.decode("utf-8-sig").count("\r\n") - 1
    p.check(len(before) == 50000 and rows == 50000 and data.startswith(b"\xef\xbb\xbf"),
            f"50,000 readings exported, {len(data) / 2**20:.1f} MB in {took:.1f} s", f"{rows} rows")
    p.check(calculates(p) != "", "the module calculates after the export")
    new_phone(p)
    started = time.time()
    p.el("importar").send_keys(path)
    WebDriverWait(p.driver, 300).until(lambda d: "Importadas" in p.el("guardadas-estado").text
                                       or "No se puede" in p.el("guardadas-estado").text)
    took = time.time() - started
    after = readings_compared(p.driver.execute_async_script(KEPT))
    p.check(after == before, f"every reading back, every field, in {took:.1f} s", p.el("guardadas-estado").text)
    p.check(calculates(p) != "", "the module calculates after the import")
    p.check(len(p.driver.find_elements(By.CSS_SELECTOR, "#lecturas li")) == 200 and "50000" in p.el("guardadas-mas").text,
            "the list shows the newest 200 and says how many there are", p.el("guardadas-mas").text)


# A request to the module of a size, straight through the page's own call; its answer's
# start, and the module's answer to a plain reading after it.
BIG_REQUEST = """
const [name, size] = arguments;
const done = arguments[arguments.length - 1];
Promise.all([import('./module.js'), import('./quemador.mjs')]).then(async ([m, { default: factory }]) => {
  const module = await factory();
  let answer;
  try {
    answer = m.callText(module, name, JSON.stringify({ o2: '3', temp: '180', nota: 'x'.repeat(size) }));
  } catch (error) {
    answer = 'error: ' + error.message;
  }
  const after = m.callJson(module, 'quemador_evaluate', { combustible: 'gas', o2: '3', temp: '180', unidad: 'C' });
  done([answer.slice(0, 200), after.cifras && after.cifras.eficiencia]);
}).catch((error) => done(['error: ' + error, null]));"""

# name, the export called, the request's size in characters.
BIG = [
    ("a reading of 3 M characters", "quemador_evaluate", 3_000_000),
    ("a report of 3 M characters", "quemador_inspection", 3_000_000),
    ("an export of 20 M characters", "quemador_export", 20_000_000),
    ("an import of 20 M characters", "quemador_import", 20_000_000),
]


@case
def big_requests_and_a_100_mb_backup(p):
    """Requests past the module's 5 MiB stack are answered (or refused in words) and the
    module calculates after each; a 100 MB file given to Importar is refused with a clear
    message, and the page calculates after it."""
    open_page(p, 1280, 800)
    p.driver.set_script_timeout(120)
    for name, export, size in BIG:
        answer, after = p.driver.execute_async_script(BIG_REQUEST, export, size)
        p.check(not answer.startswith("error") and after not in (None, "", "—"), name, f"{answer!r} / {after!r}")
    big = os.path.join(tempfile.mkdtemp(), "copia-enorme.csv")
    with open(big, "wb") as f:
        f.write(b"\xef\xbb\xbfFecha;Caldera;Combustible;O2;CO2;CO;T humos (\xc2\xb0C);T aire (\xc2\xb0C);Nota\r\n")
        line = b"2026-01-01 10:00:00;Sala 1;Gas Natural;3;;;180;;\r\n"
        f.write(line * (100 * 2**20 // len(line)))
    p.el("importar").send_keys(big)
    p.wait.until(lambda d: "No se puede importar" in p.el("guardadas-estado").text)
    said = p.el("guardadas-estado").text
    p.check("pesa 100 MB" in said and "64 MB" in said, "a 100 MB file refused in words", said)
    p.check(calculates(p) != "", "the page calculates after it")


def export_of(p):
    clear_downloads(p, "*.csv")
    p.press("exportar")
    return downloaded(p, "*.csv")


@case
def import_repeats_once_and_lists_bad_dates(p):
    """A backup holding one reading five times adds it once; rows whose date does not read
    (31/02/2026 99:99:99, ayer) are listed by line and not imported with a made-up date."""
    open_page(p, 1280, 800)
    type_in(p, "caldera", "Sala 1")
    fill(p, {"o2": "3", "temp": "180"})
    p.press("guardar")
    p.wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, "#lecturas li"))
    with open(export_of(p), "rb") as f:
        lines = f.read().decode("utf-8-sig").split("\r\n")
    header, row = lines[0], lines[1]
    bad = [row.replace(row.split(";")[0], date, 1) for date in ("31/02/2026 99:99:99", "ayer")]
    path = os.path.join(tempfile.mkdtemp(), "copia.csv")
    with open(path, "w", encoding="utf-8-sig", newline="") as f:
        f.write("\r\n".join([header, row, row, row, row, row, *bad]) + "\r\n")
    new_phone(p)
    p.el("importar").send_keys(path)
    p.wait.until(lambda d: "Importadas" in p.el("guardadas-estado").text)
    said = p.el("guardadas-estado").text
    kept = p.driver.execute_async_script(KEPT)["lecturas"]
    p.check(len(kept) == 1, "a reading repeated five times added once", [r["fecha"] for r in kept])
    p.check("4 ya estaban o se repetían" in said and "2 filas no se importan" in said
            and "línea 7 (31/02/2026 99:99:99)" in said and "línea 8 (ayer)" in said,
            "the unreadable dates listed by line", said)


@case
def export_bom_iso_dates_once(p):
    """The export starts with a UTF-8 byte order mark, dates its rows in ISO 8601, writes a
    reading both saved and added to a report once, and quemador1-calc --csv reads it with
    no question of the dates' order."""
    open_page(p, 1280, 800)
    type_in(p, "caldera", "Sala Núñez")
    fill(p, {"o2": "3", "temp": "180", "co": "40"})
    p.press("guardar")
    p.wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, "#lecturas li"))
    p.press("anadir-lectura")
    fill(p, {"o2": "3,4", "temp": "182"})
    p.press("guardar")
    p.wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#lecturas li")) == 2)
    made_pdf(p)
    path = export_of(p)
    with open(path, "rb") as f:
        data = f.read()
    rows = list(csv.DictReader(io.StringIO(data.decode("utf-8-sig")), delimiter=";"))
    dates = [r["Fecha"] for r in rows]
    p.check(data.startswith(b"\xef\xbb\xbf") and "Sala Núñez" in data.decode("utf-8-sig"), "a byte order mark")
    p.check(all(re.fullmatch(r"\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}", d) for d in dates), "ISO 8601 dates", dates)
    p.check(len(rows) == 2 and sorted(r["O2"] for r in rows) == ["3", "3,4"] and [r["Informe"] for r in rows].count("1") == 1,
            "the reading saved and in the report written once", [(r["O2"], r["Informe"]) for r in rows])
    reread = subprocess.run([calc_path, "--csv", path], capture_output=True, text=True, check=False)
    p.check(reread.returncode == 0 and not re.search(r"formato-fecha|dd/mm|mm/dd", reread.stderr)
            and "2 calculadas" in reread.stderr,
            "quemador1-calc --csv reads it with no date question", reread.stderr)


# The report's parties, with names in Polish, Greek and Cyrillic.
NAMES = {"titular": "Kocioł Łódź Żółć", "direccion": "Λέβητας Αθήνα", "caldera-marca": "Котёл Ёлка"}


@case
def every_name_printed_in_both_pdfs(p):
    """Names in Polish, Greek and Cyrillic come back from the report's PDF and from the
    Registro's board report by pdftotext, in an embedded font; an emoji in a box is said
    on the page, by the box's name, when the PDF is made."""
    open_page(p, 1280, 800)
    fill(p, {**NAMES, "caldera": "Sala Ωμέγα"})
    type_in(p, "informe-nota", "Todo bien 🔥")
    add_readings(p, [dict(o2="3", temp="180", co="40")])
    path = made_pdf(p)
    flat = " ".join(pdf_text(path).split())
    fonts = subprocess.run(["pdffonts", path], capture_output=True, text=True, check=True).stdout
    p.check(all(name in flat for name in [*NAMES.values(), "Sala Ωμέγα"]), "the report's names read back",
            [n for n in NAMES.values() if n not in flat])
    p.check("DejaVuSans" in fonts and all(" yes " in line for line in fonts.splitlines()[2:]),
            "its font embedded, as a subset", fonts)
    p.check(blank_words(path) == [], "every word drawn (no glyph left blank)", blank_words(path)[:20])
    p.check(os.path.getsize(path) < 120_000, f"the file small: {os.path.getsize(path)} bytes")
    said = p.el("informe-salida").text
    p.check("«🔥» en Observaciones del técnico" in said and "Informe descargado" in said,
            "the emoji said by its box", said)
    # The Registro's report of a log with such boilers.
    log = os.path.join(tempfile.mkdtemp(), "calderas.csv")
    with open(log, "w", encoding="utf-8") as f:
        f.write("Fecha;Caldera;O2;T\n05/01/2026;Kocioł Łódź;3;180\n05/01/2026;Λέβητας;4;190\n05/01/2026;Котёл;3,5;185\n")
    p.driver.get(p.url + "#registro")
    p.wait.until(lambda d: d.execute_script("return 'listo' in document.body.dataset"))
    Select(p.el("registro-combustible")).select_by_value("gas")
    Select(p.el("registro-unidad")).select_by_value("celsius")
    p.el("registro-archivo").send_keys(log)
    p.wait.until(lambda d: d.execute_script("return !!document.body.dataset.registro"))
    clear_downloads(p, "*.pdf")
    p.driver.execute_script("document.getElementById('informe').click()")
    board = pdf_text(downloaded(p, "*.pdf"))
    p.check(all(name in board for name in ("Kocioł Łódź", "Λέβητας", "Котёл")), "the board report's names read back",
            board[:400])


@case
def identified_on_every_page_decimal_comma_footer_cut(p):
    """A report of two pages carries its client, boiler and date on each; readings typed
    with a point print with a comma; a long boiler name in the footer is cut before the
    page's number."""
    open_page(p, 1280, 800)
    boiler = "Caldera de la sala de máquinas del edificio principal, planta sótano segundo, junto al aljibe"
    fill(p, {"titular": "Comunidad Mayor 1", "caldera": boiler, "caldera-potencia": "24.5"})
    type_in(p, "informe-nota", "\n".join(f"Comprobación {i}: correcta." for i in range(60)))
    add_readings(p, [dict(o2="4.1", temp="180.5", co="40"), dict(o2="3,9", temp="181", co="40")])
    path = made_pdf(p)
    pages = pdf_text(path).split("\f")[:-1]
    today = time.strftime("%d/%m/%Y")
    p.check(len(pages) >= 2 and all("Comunidad Mayor 1" in page and today in page and "Caldera de la sala" in page
                                    for page in pages), "client, boiler and date on every page", [pg[:200] for pg in pages])
    flat = " ".join(" ".join(pages).split())
    p.check("4,1" in flat and "180,5" in flat and "24,5" in flat and "4.1" not in flat and "180.5" not in flat,
            "a decimal comma throughout")
    footers = [[line for line in page.splitlines() if "Página" in line] for page in pages]
    p.check(all(len(f) == 1 and f[0].rstrip().endswith(f"Página {n} de {len(pages)}") and "…" in f[0]
                for n, f in enumerate(footers, 1)), "the footer's name cut before the number", footers)
    subprocess.run(["pdftoppm", "-png", "-r", "60", path, os.path.join(out_dir, "kept-pages")], check=True)


def tiny_png(path, width=60, height=20):
    """A PNG of a dark bar on white (a logo), written without any imaging library."""
    import struct
    import zlib

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    rows = b"".join(b"\x00" + bytes((30 if 5 <= y < 15 and 5 <= x < 55 else 255) for x in range(width) for _ in range(3))
                    for y in range(height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
    return path


def sign(p, element_id):
    """A signature drawn on a surface with the pointer: a zigzag across it."""
    from selenium.webdriver.common.action_chains import ActionChains
    canvas = p.el(element_id)
    p.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", canvas)
    width = canvas.size["width"]
    chain = ActionChains(p.driver).move_to_element_with_offset(canvas, -width // 3, 0).click_and_hold()
    for step in range(1, 7):
        chain = chain.move_by_offset(width // 10, 12 if step % 2 else -12)
    chain.release().perform()


def images_by_page(path):
    """pdfimages' list: the page of each image (not of their transparency masks)."""
    listed = subprocess.run(["pdfimages", "-list", path], capture_output=True, text=True, check=True).stdout
    return [int(line.split()[0]) for line in listed.splitlines()[2:] if line.strip() and line.split()[2] == "image"]


@case
def signatures_logo_and_the_company_in_the_pdf(p):
    """A logo chosen once in the settings, and both signatures drawn with the pointer,
    are images on the PDF's pages (the signatures on the verdict's page); the company's
    address, phone and e-mail, the installation's address (the holder's when left
    empty) and the next inspection (a year on by default) are in its text."""
    open_page(p, 1280, 800)
    p.el("ajustes").click() if not p.el("ajustes").get_attribute("open") else None
    fill(p, {"empresa": "Calefacciones Peñalara, S.L.", "empresa-direccion": "C/ Alcalá 5, Madrid",
             "empresa-telefono": "+34 910 000 000", "empresa-correo": "taller@penalara.es",
             "titular": "Comunidad Mayor 1", "direccion": "C/ Mayor 1; 28013 Madrid", "caldera": "Sala 1"})
    p.el("empresa-logo").send_keys(tiny_png(os.path.join(tempfile.mkdtemp(), "logo.png")))
    p.wait.until(lambda d: "Logotipo guardado" in p.el("empresa-logo-estado").text)
    add_readings(p, [dict(o2="3", temp="180", co="40")])
    sign(p, "firma-tecnico")
    sign(p, "firma-titular")
    p.driver.set_window_size(360, 640)
    p.driver.execute_script("document.getElementById('firmas-titulo').scrollIntoView()")
    p.driver.save_screenshot(os.path.join(out_dir, "firmas-360x640.png"))
    p.driver.execute_script("document.getElementById('ajustes').scrollIntoView()")
    p.driver.save_screenshot(os.path.join(out_dir, "ajustes-360x640.png"))
    p.driver.set_window_size(1280, 800)
    path = made_pdf(p)
    pages = pdf_text(path).split("\f")[:-1]
    verdict_page = next(n for n, page in enumerate(pages, 1) if "Veredicto" in page)
    images = images_by_page(path)
    p.check(images.count(1) >= 1 and images.count(verdict_page) >= 2 + (verdict_page == 1) and len(images) == 3,
            "the logo on the first page, the two signatures on the verdict's", images)
    flat = " ".join(" ".join(pages).split())
    a_year_on = time.strftime("%d/%m/", time.localtime()) + str(time.localtime().tm_year + 1)
    wanted = ["C/ Alcalá 5, Madrid", "+34 910 000 000", "taller@penalara.es", "instalación", f"Próxima revisión {a_year_on}"]
    p.check(all(w in flat for w in wanted) and flat.count("C/ Mayor 1; 28013 Madrid") == 2,
            "the company, the installation (the holder's address) and the next inspection",
            [w for w in wanted if w not in flat])
    subprocess.run(["pdftoppm", "-png", "-r", "60", path, os.path.join(out_dir, "signed-pages")], check=True)
    # Kept with the report, and drawn back on the page after a reload.
    kept = p.driver.execute_async_script(KEPT)["informes"]
    p.check(all(kept[0]["firmas"].get(w, "").startswith("data:image/png") for w in ("tecnico", "titular")),
            "the signatures kept with the report")


@case
def numbering_across_two_reports(p):
    """The settings' prefix and next number give the first report its number, on every
    page; the next report takes the next number, and the settings show the one after."""
    open_page(p, 1280, 800)
    p.el("ajustes").click() if not p.el("ajustes").get_attribute("open") else None
    fill(p, {"informe-prefijo": "2026-", "informe-numero": "41", "titular": "Comunidad Mayor 1", "caldera": "Sala 1"})
    numbers = []
    for _ in range(2):
        type_in(p, "informe-nota", "\n".join(f"Comprobación {i}: correcta." for i in range(60)))
        add_readings(p, [dict(o2="3", temp="180", co="40")])
        path = made_pdf(p)
        again = made_pdf(p)  # the same report made again keeps its number
        pages = pdf_text(path).split("\f")[:-1]
        found = re.findall(r"Informe n\.º (\S+)", pdf_text(again))
        numbers.append(found[0] if found else None)
        p.check(len(pages) >= 2 and all("Informe n.º" in page for page in pages), "its number on every page",
                [page[:120] for page in pages])
        p.press("informe-nuevo")
    p.check(numbers == ["2026-41", "2026-42"] and p.el("informe-numero").get_attribute("value") == "43",
            "two reports numbered in turn", [numbers, p.el("informe-numero").get_attribute("value")])
    kept = sorted(r["numero"] for r in p.driver.execute_async_script(KEPT)["informes"])
    p.check(kept == ["2026-41", "2026-42"], "each kept with its number", kept)


# name, the settings, the fuel, what was recorded, a part of each line judged (of the two
# new limits and the smoke index), the verdict.
RECORDED = [
    ("the room's CO within its limit", {"limite-co-ambiente": "50"}, "gas", {"co-ambiente": "30"},
     ["Cumple: CO ambiente máximo: 50 ppm, fijado por la empresa; medido 30 ppm"], "Conforme"),
    ("the room's CO past its limit", {"limite-co-ambiente": "50"}, "gas", {"co-ambiente": "60,5"},
     ["No cumple: CO ambiente máximo: 50 ppm"], "No conforme"),
    ("the room's CO not measured", {"limite-co-ambiente": "50"}, "gas", {}, ["Sin medir: CO ambiente máximo"],
     "Sin veredicto"),
    ("a draught within its range", {"limite-tiro-min": "-20", "limite-tiro-max": "-5"}, "gas", {"tiro": "-12"},
     ["Cumple: Tiro entre -20 y -5 Pa, fijado por la empresa; anotado -12 Pa"], "Conforme"),
    ("a draught too weak", {"limite-tiro-min": "-20", "limite-tiro-max": "-5"}, "gas", {"tiro": "-3"},
     ["No cumple: Tiro entre -20 y -5 Pa"], "No conforme"),
    ("only a least draught, passed", {"limite-tiro-min": "-20"}, "gas", {"tiro": "-25"},
     ["No cumple: Tiro mínimo: -20 Pa"], "No conforme"),
    ("no such limits: no such lines", {}, "gas", {"co-ambiente": "300", "tiro": "40"}, [], "Conforme"),
    ("three smoke indexes, their mean within", {"limite-opacidad": "2"}, "fueloil",
     {"opacidad": "1", "opacidad-2": "2", "opacidad-3": "3"}, ["Cumple: Opacidad máxima: 2 (Bacharach), fijado por la empresa; media de 3: 2"],
     "Conforme"),
    ("three smoke indexes, their mean past", {"limite-opacidad": "2"}, "fueloil",
     {"opacidad": "2", "opacidad-2": "3", "opacidad-3": "3"}, ["No cumple: Opacidad máxima: 2 (Bacharach), fijado por la empresa; media de 3: 2,7"],
     "No conforme"),
]


@case
def room_co_draught_and_smoke_judged(p):
    """The room's CO and the draught judged against the settings' limits, like the other
    limits (only where a limit is set); fuel oil's three smoke indexes judged by their
    mean, which the PDF prints."""
    open_page(p, 1280, 800)
    for name, settings, fuel, recorded, judged, word in RECORDED:
        p.driver.execute_script("localStorage.clear()")
        p.driver.refresh()
        ready(p)
        fill(p, {"limite-eficiencia": "80", **settings})
        add_readings(p, [dict(o2="3", temp="180", co="40") if fuel == "gas" else dict(o2="4", temp="200", co="30")], fuel)
        fill(p, recorded)
        said = p.el("veredicto-palabra").text
        lines = [li.text for li in p.driver.find_elements(By.CSS_SELECTOR, "#veredicto-limites li")]
        new = [line for line in lines if re.match(r"[^:]*: (CO ambiente|Tiro|Opacidad)", line)]
        p.check(said == word and len(new) == len(judged) and all(part in line for line, part in zip(new, judged)),
                name, f"{said}: {lines}")
    flat = " ".join(pdf_text(made_pdf(p)).split())
    p.check("Opacidad, media (Bacharach) 2,7" in flat and "media de 3: 2,7" in flat, "the smoke's mean in the PDF")


run(site, sys.argv[4:], width=360, height=640, timeout=30)
