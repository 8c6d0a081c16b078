#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The page under hostile logs and a strict Content-Security-Policy, in real headless
Chromium: each log of the table read without a crash, with the right message and a
bounded heap, its results in the browser's own file system; each series of a chart
painted (its colour's pixels in the plot); Guardar imagen saving or saying why; a file
name holding a newline or a quote read as a name; a boiler saved as "=…" exported as
text; every view used with no violation of the policy, which is seen to block what it
should.
Usage: test_hostile_page.py SITE_DIR QUEMADOR1_CALC OUT_DIR"""

import base64
import functools
import os
import subprocess
import sys
import tempfile
import time
import urllib.request

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

from harness import Tally, chromium
from site_server import POLICY, serve

site, calc_path, out_dir = map(os.path.abspath, sys.argv[1:4])
os.makedirs(out_dir, exist_ok=True)
tally = Tally()
check = tally.check
work = tempfile.mkdtemp()

server, url = serve(site)
downloads = tempfile.mkdtemp()
driver = chromium(1280, 800, downloads)
# Every violation of the policy, from the first script on, on every page loaded.
driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": """
    window.violations = [];
    document.addEventListener('securitypolicyviolation',
        (e) => violations.push(e.violatedDirective + ' ' + e.blockedURI));"""})
wait = WebDriverWait(driver, 120)
el = functools.partial(driver.find_element, By.ID)


def open_view(fuel="gas"):
    driver.get(url + "#registro")
    driver.refresh()
    wait.until(lambda d: d.execute_script("return 'listo' in document.body.dataset"))
    Select(el("registro-combustible")).select_by_value(fuel)


def answered():
    wait.until(lambda d: d.execute_script(
        "return !!document.body.dataset.registro || /^No se/.test(document.getElementById('registro-estado').textContent)"))
    return el("registro-estado").text


def choose(data):
    """Chooses a file of those bytes, as a user would; the status text."""
    path = os.path.join(work, "hostil.csv")
    with open(path, "wb") as file:
        file.write(data)
    driver.execute_script("delete document.body.dataset.registro")
    el("registro-archivo").send_keys(path)
    return answered()


def drop(name, data):
    """Drops a file of that name and bytes on the view, as a user would from a folder
    (whose names may hold any character); the status text."""
    driver.execute_script("""
        delete document.body.dataset.registro;
        const bytes = Uint8Array.from(atob(arguments[1]), (c) => c.charCodeAt(0));
        const files = new DataTransfer();
        files.items.add(new File([bytes], arguments[0]));
        document.getElementById('registro-soltar').dispatchEvent(
            new DragEvent('drop', {dataTransfer: files, bubbles: true, cancelable: true}));""",
                          name, base64.b64encode(data).decode())
    return answered()


def lines():
    return driver.execute_script("return [...document.querySelectorAll('#resumen li')].map((li) => li.textContent)")


def heap_mb():
    driver.execute_cdp_cmd("HeapProfiler.collectGarbage", {})
    metrics = driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]
    return next(m["value"] for m in metrics if m["name"] == "JSHeapUsedSize") / 2**20


def many_boilers(count):
    return b"Caldera,O2,T humos\n" + b"".join(
        b"Caldera %d,%d,300\n" % (i, 2 + i % 5) for i in range(count))


def dated(odd):
    return b"Fecha,O2,T\n" + b"".join(b"2026-03-%02d,3,300\n" % d for d in range(1, 21)) + \
        b"".join(date + b",3,300\n" for date in odd)


def wide(rows, columns=500000):
    return b"O2,T" + b"," * (columns - 2) + b"\n" + (b"25,300" + b",x" * (columns - 2) + b"\n") * rows


driver.execute_cdp_cmd("Performance.enable", {})
# name, log, what the status says, a line of the summary (a part), the most heap (MB).
HOSTILE = [
    ("O2 of 1e16 twice", b"O2,T\n10000000000000000,300\n10000000000000002,310\n3,300\n",
     "hay filas sin resultado", "2 puntos fuera de la escala de su eje", 100),
    ("O2 of 1e20", b"O2,T\n100000000000000000000,300\n3,300\n",
     "hay filas sin resultado", "1 punto fuera de la escala de su eje", 100),
    ("U+FFFE, a control and bytes not UTF-8 in names", b"Caldera,O2,T\n\xef\xbf\xbeA\xff,3,300\nB\x01,3,310\n",
     "todas las filas calculadas", "3 caracteres de los nombres del gráfico no se pueden mostrar", 100),
    ("a right-to-left override in a name", b"Caldera,O2,T\nX\xe2\x80\xae,3,300\n",
     "todas las filas calculadas", "caldera «X\\u202e»: 1 fila", 100),
    ("200,000 boilers", many_boilers(200000), "todas las filas calculadas",
     "el gráfico muestra las 50 calderas de menor eficiencia media, de 10000 calderas", 150),
    ("a name of 100,000 characters", b"Caldera,O2,T\n" + b"x" * 100000 + b",3,300\n",
     "todas las filas calculadas", "caldera «" + "x" * 79 + "…»", 100),
    ("a mistyped year", dated([b"1026-03-05"]), "todas las filas calculadas",
     "1 fecha lejos de todas las demás", 100),
    ("years 0001 and 9999", dated([b"0001-01-01", b"9999-12-31"]), "todas las filas calculadas",
     "2 fechas lejos de todas las demás", 100),
    ("half a million columns, rows with notices", wide(8), "hay filas sin resultado",
     "fuera de rango: 8", 150),
    ("names a spreadsheet would run",
     b'Caldera,O2,T\n=HYPERLINK("http://x"),3,300\n@SUM(1),3,300\n+1+1,3,300\n',
     "todas las filas calculadas", "caldera «=HYPERLINK", 100),
]
for name, data, status, line, most in HOSTILE:
    open_view()
    started = time.monotonic()
    said = choose(data)
    seconds = time.monotonic() - started
    shown = lines() + [el("resumen").text]
    sizes = driver.execute_script(
        "const e = document.documentElement; return [innerWidth, e.scrollWidth - e.clientWidth]")
    legend = len(driver.find_elements(By.CSS_SELECTOR, "#grafico > .panel"))
    heap = heap_mb()
    check(status in said and any(line in text for text in shown) and sizes[1] == 0
          and legend <= 50 and heap < most,
          f"hostile log through the page: {name} ({seconds:.1f} s, {heap:.0f} MB heap, {legend} panels)",
          f"\n  {said}\n  {[t[:200] for t in shown]}\n  {sizes}")
    if name == "half a million columns, rows with notices":
        driver.find_elements(By.CSS_SELECTOR, "#registro-avisos a")[0].click()
        preview = el("registro-fila").text
        check("499988 columnas más en el registro" in preview and len(preview) < 5000,
              "a row of half a million columns: an excerpt in the preview", preview[:300])
    if name == "names a spreadsheet would run":
        cell = driver.execute_script("return document.querySelector('#resumen tbody td').textContent")
        check(cell == "'=HYPERLINK(\"http://x\")", "a formula name is text in the summary's table", cell)
    if name == "a name of 100,000 characters":
        label = driver.execute_script(
            "const l = document.querySelector('#grafico .panel h4 bdi'); return [l.textContent, l.title.length]")
        check(label[0] == "x" * 39 + "…" and label[1] == 100000,
              "a long name shortened in its panel's title, whole on hover", label)
        driver.save_screenshot(os.path.join(out_dir, "hostile-long-name.png"))

# The results went to the browser's own file system as they came: the one file there
# holds quemador1-calc's output for the last log.
opfs = driver.execute_async_script("""
    const done = arguments[arguments.length - 1];
    (async () => {
      const files = [];
      for await (const [name, handle] of (await navigator.storage.getDirectory()).entries())
        files.push([name, (await handle.getFile()).size]);
      return files;
    })().then(done, (e) => done(String(e)));""")
native = subprocess.run([calc_path, "-c", "gas", "--csv", os.path.join(work, "hostil.csv")],
                        capture_output=True, check=False).stdout
check(len(opfs) == 1 and opfs[0][0].startswith("resultados-") and opfs[0][1] == len(native) > 0,
      "the results are a file of the browser's own, as they come", f"{opfs} / {len(native)}")

# Each series painted: shown alone, its colour's pixels fill part of the plot.
open_view()
drop("dos.csv", b"Fecha,Caldera,O2,T\n" + b"".join(
    b"2026-01-%02d,%s,%s,%d\n" % (d, boiler, o2, 280 + d) for d in range(1, 15)
    for boiler, o2 in ((b"Norte", b"3"), (b"Sur", b"4"))) + b"2026-01-15,Norte,25,300\n")
painted = driver.execute_async_script("""
    const done = arguments[arguments.length - 1];
    const frame = () => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
    const rgb = (hex) => [1, 3, 5].map((i) => parseInt(hex.slice(i, i + 2), 16));
    (async () => {
      const counts = [];
      for (const u of document.getElementById('grafico').plots) {
        for (let i = 1; i < u.series.length; i++) {
          for (let j = 1; j < u.series.length; j++) u.setSeries(j, {show: j === i});
          await frame();
          const [r, g, b] = rgb(u.series[i]._stroke ?? u.series[i].stroke());
          const {data} = u.ctx.getImageData(0, 0, u.ctx.canvas.width, u.ctx.canvas.height);
          let n = 0;
          for (let p = 0; p < data.length; p += 4)
            if (Math.abs(data[p] - r) + Math.abs(data[p + 1] - g) + Math.abs(data[p + 2] - b) < 60) n++;
          counts.push([u.series[i].label, n]);
        }
        u.setSeries(null, {show: true});
      }
      return counts;
    })().then(done);""")
check(len(painted) == 7 and all(n > 20 for _, n in painted), "each series of the chart is painted", painted)

# Guardar imagen saves, and says so; with no chart to save, it says why.
el("grafico-png").click()
wait.until(lambda d: el("grafico-estado").text)
check(el("grafico-estado").text == "Imagen guardada: dos-grafico.png.", "Guardar imagen says it saved",
      el("grafico-estado").text)
driver.execute_script("""
    const canvas = HTMLCanvasElement.prototype;
    canvas.toBlob = function (resolve) { resolve(null); };""")
el("grafico-png").click()
wait.until(lambda d: el("grafico-estado").text.startswith("No se pudo"))
check("no puede hacer una imagen" in el("grafico-estado").text,
      "Guardar imagen says why when the browser makes no image", el("grafico-estado").text)

# A file's name is a name: a newline or a quote in it changes nothing read.
log = b"O2,T\n3,300\n"
open_view()
drop("informe.csv", log)
plain = lines()
for name in ("informe\nfueloil", 'informe"x.csv'):
    open_view()
    said = drop(name, log)
    title = driver.execute_script("return document.querySelector('#grafico .titulo-grafico').textContent")
    # (The title may show a line end as a blank, as the page's text does anyway.)
    check(lines() == plain and "todas las filas calculadas" in said
          and title.replace("\n", " ") == "Eficiencia y O2 de " + name.replace("\n", " "),
          f"a file named {name!r} is read with the page's fuel, its name as it is", f"{lines()} / {plain} {title!r}")

# The policy: in the page and in the server's headers; every view used with no
# violation; and an inline script, which it forbids, is seen blocked.
meta = driver.execute_script(
    "return document.querySelector('meta[http-equiv=\"Content-Security-Policy\"]').content")
header = urllib.request.urlopen(url).headers["Content-Security-Policy"]
check(meta == POLICY == header, "the same policy in the page's meta and the server's header", f"{meta}\n{header}")
driver.get(url + "#lectura")
driver.refresh()
wait.until(lambda d: d.execute_script("return 'guardadas' in document.body.dataset"))
for box, text in (("o2", "3"), ("temp", "180"), ("caldera", "=Sótano")):
    el(box).send_keys(Keys.CONTROL, "a", Keys.DELETE)
    el(box).send_keys(text)
driver.execute_script("document.getElementById('guardar').click()")
wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, "#lecturas li"))
driver.execute_script("document.getElementById('exportar').click()")
wait.until(lambda d: [f for f in os.listdir(downloads) if f.startswith("lecturas-") and f.endswith(".csv")])
time.sleep(0.2)
exported = open(os.path.join(downloads, [f for f in os.listdir(downloads) if f.startswith("lecturas-")][0]),
                encoding="utf-8-sig").read().splitlines()
check(exported[1].split(";")[1] == "'=Sótano", "the export writes a formula-like boiler as text", exported[:2])
driver.execute_script("window.dispatchEvent(new Event('beforeprint'))")
for view in ("#guardadas", "#ayuda"):
    driver.get(url + view)
    wait.until(lambda d: d.execute_script("return 'guardadas' in document.body.dataset"))
driver.get(url + "#ayuda")
wait.until(lambda d: "Siegert" in el("ayuda-texto").text)
driver.execute_script("document.getElementById('guardadas-grafico').click()")
wait.until(lambda d: d.execute_script("return document.body.dataset.registro === 'lecturas-guardadas.csv'"))
el("grafico-png").click()
wait.until(lambda d: el("grafico-estado").text)
violations = driver.execute_script("return violations")
check(violations == [], "every view under the policy: no violation", violations)
driver.execute_script("const s = document.createElement('script'); s.textContent = 'window.ran = 1'; document.body.append(s)")
wait.until(lambda d: d.execute_script("return violations.length > 0"))
check(driver.execute_script("return window.ran === undefined && violations[0].startsWith('script-src')"),
      "the policy blocks an inline script", driver.execute_script("return violations"))

driver.quit()
server.shutdown()
tally.finish()
