#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The page in real headless Chromium, served on localhost: the table of readings gives
quemador1-calc's texts; what was typed and a saved reading survive a reload; an exported
CSV read by quemador1-calc --csv gives the same results; with the server stopped the
page reloads from its service worker and calculates; axe-core finds nothing at 360×640
and 1280×800; the keyboard alone goes from the first box to a saved reading; the ticket
prints on one page. Screenshots are left in OUT_DIR to be looked at.
Usage: test_page.py SITE_DIR QUEMADOR1_CALC AXE_MIN_JS OUT_DIR"""

import base64
import csv
import functools
import glob
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

from readings import FIGURES, ROWS, calc
from harness import Tally, chromium, width_and_axe
from site_server import serve

built_site, calc_path, axe_path, out_dir = sys.argv[1:5]
# A copy, which the test changes to make a new version of the site.
site = os.path.join(tempfile.mkdtemp(), "site")
shutil.copytree(built_site, site)
sources = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "web")
os.makedirs(out_dir, exist_ok=True)
tally = Tally()
check = tally.check


server, url = serve(site)
downloads = tempfile.mkdtemp()

driver = chromium(360, 640, downloads)
wait = WebDriverWait(driver, 15)
el = functools.partial(driver.find_element, By.ID)


def ready():
    wait.until(lambda d: d.execute_script("return 'listo' in document.body.dataset && 'guardadas' in document.body.dataset"))


def fill(boxes):
    """Types each box as a user would: the choices picked, every number box retyped."""
    Select(el("combustible")).select_by_value(boxes.get("combustible", "gas"))
    Select(el("unidad")).select_by_value(boxes.get("unidad", "C"))
    for box in ("o2", "co2", "co", "temp", "aire", "objetivo-o2", "objetivo-temp"):
        field = el(box)
        field.send_keys(Keys.CONTROL, "a", Keys.DELETE)
        if boxes.get(box):
            field.send_keys(boxes[box])


def press(element_id):
    """Clicks a button as a user would: scrolled into sight first, and once the page has
    answered the scroll."""
    driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", el(element_id))
    wait.until(lambda d: d.execute_script(
        "const r = arguments[0].getBoundingClientRect();"
        "return document.elementFromPoint(r.x + r.width / 2, r.y + r.height / 2) === arguments[0]",
        el(element_id)))
    el(element_id).click()


def shown():
    """What the page shows: the figures and bases, the notices, the boxes marked."""
    texts = driver.execute_script("""
        const text = (id) => document.getElementById(id).textContent;
        const figures = {}, bases = {};
        for (const id of arguments[0]) {
          if (text(id).trim()) figures[id] = text(id).trim();
          const base = document.getElementById('base-' + id)?.textContent;
          if (base) bases[id] = base.slice(1, -1);
        }
        const errors = [...document.querySelectorAll('.error')].filter((e) => !e.hidden).map((e) => e.id);
        return {figures, bases, notices: [...document.querySelectorAll('#avisos li')].map((li) => li.textContent),
                errors, focused: document.activeElement.id};""", FIGURES)
    return texts


# The table: every reading as quemador1-calc prints it.
driver.get(url)
ready()
for name, boxes in ROWS:
    fill(boxes)
    el("o2").send_keys(Keys.ENTER)
    page = shown()
    native = calc(calc_path, boxes)
    notices = ([native["failure"]] if native["failure"] else []) + native["notices"]
    same = (page["figures"] == native["figures"] and page["bases"] == native["bases"]
            and page["notices"] == notices)
    if native["failure"]:
        same = same and page["errors"] == ["o2-error"] and page["focused"] == "o2"
    if native["refused"]:
        same = same and page["errors"] == ["o2-error"] and not page["figures"]
    check(same, f"reading: {name}", f"\n  page:   {page}\n  native: {native}")

# Results as you type: each keystroke updates them.
fill(dict(combustible="gas", o2="3", temp="18", unidad="C"))
before = el("eficiencia").text
el("temp").send_keys("0")
check(el("eficiencia").text != before and el("eficiencia").text.strip() == calc(
    calc_path, dict(combustible="gas", o2="3", temp="180", unidad="C"))["figures"]["eficiencia"],
    "a keystroke updates the results")

# The oxygen box blamed, its text kept, the focus on it.
fill(dict(combustible="gas", o2="21", temp="300", unidad="F", aire="70"))
el("o2").send_keys(Keys.ENTER)
check(el("o2").get_attribute("value") == "21" and el("aire").get_attribute("value") == "70"
      and driver.switch_to.active_element.get_attribute("id") == "o2"
      and "Compruebe la lectura de oxígeno" in el("o2-error").text,
      "oxygen of 21 %: the message at its box, the focus there, nothing emptied")

# What was typed survives a reload.
long_notice = {"combustible": "gas", "o2": "3", "co2": "7", "co": "500", "temp": "180", "unidad": "C",
               "aire": "20", "objetivo-o2": "2"}
fill(long_notice)
el("caldera").send_keys("Caldera 1, sótano")
el("nota").send_keys('Revisión anual; "quemador nuevo"')
before = shown()
driver.refresh()
ready()
after = shown()
check({**after, "focused": ""} == {**before, "focused": ""} and el("caldera").get_attribute("value") == "Caldera 1, sótano",
      "what was typed survives a reload")

# Screenshots with a long notice, then the print ticket on one page.
driver.set_window_size(360, 640)
driver.execute_script("window.scrollTo(0, document.getElementById('resultados-titulo').offsetTop)")
driver.save_screenshot(os.path.join(out_dir, "page-360x640-notices.png"))
driver.set_window_size(1280, 800)
driver.save_screenshot(os.path.join(out_dir, "page-1280x800-notices.png"))
driver.execute_script("window.dispatchEvent(new Event('beforeprint'))")
ticket = el("ticket").get_attribute("textContent")
pdf = base64.b64decode(driver.execute_cdp_cmd("Page.printToPDF", {})["data"])
pages = len(re.findall(rb"/Type\s*/Page[^s]", pdf))
check(pages == 1 and "Caldera 1, sótano" in ticket and "82.8" in ticket
      and "el quemador produce CO" in ticket and "sobre el PCI" in ticket,
      "the ticket: boiler, readings, results with bases, notices, on one page", f"{pages} pages: {ticket}")
driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
driver.save_screenshot(os.path.join(out_dir, "ticket-1280x800.png"))
driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": ""})

# axe-core at both sizes, with the notices shown and one box marked.
axe = open(axe_path, encoding="utf-8").read()
el("objetivo-temp").send_keys("x")
for width, height in ((360, 640), (1280, 800)):
    driver.set_window_size(width, height)
    sizes, violations = width_and_axe(driver, axe)
    check(sizes == [width, 0], f"the page is {width} px wide, nothing sticks out", sizes)
    check(violations == [], f"axe-core at {width}×{height}", violations)
el("objetivo-temp").send_keys(Keys.BACKSPACE)

# Saved, it survives a reload; exported, quemador1-calc reads back the same results.
driver.set_window_size(360, 640)
press("guardar")
second = dict(combustible="fueloil", o2="4,5", temp="410", unidad="F", aire="68")
fill(second)
el("caldera").send_keys(Keys.CONTROL, "a", Keys.DELETE)
press("guardar")
wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#lecturas li")) == 2)
fill(dict(combustible="gas", o2="3", temp="40", unidad="F"))  # °C typed as °F: outside the model
press("guardar")
wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#lecturas li")) == 3)
driver.refresh()
ready()
items = driver.find_elements(By.CSS_SELECTOR, "#lecturas li")
check(len(items) == 3 and "Caldera 1, sótano" in items[2].text and "Fuel Oil" in items[1].text,
      "saved readings survive a reload, newest first", [i.text for i in items])
driver.save_screenshot(os.path.join(out_dir, "page-360x640-saved.png"))

press("exportar")
wait.until(lambda d: glob.glob(os.path.join(downloads, "*.csv")))
exported = glob.glob(os.path.join(downloads, "*.csv"))[0]
time.sleep(0.2)
reread = subprocess.run([calc_path, "--csv", exported], capture_output=True, check=False)
columns = ("exceso_aire", "eficiencia", "eficiencia_neta", "eficiencia_corregida")


def results(data):
    rows = list(csv.DictReader(io.StringIO(data.decode("utf-8-sig")), delimiter=";"))
    return [[row[c] for c in columns] for row in rows]


written = results(open(exported, "rb").read())
# Two readings with results, in °C and °F (so the file is in °F), and one outside the
# model, which a log gives no numbers: the program's status says so.
check(reread.returncode == 1 and written == results(reread.stdout) and len(written) == 3
      and written[0] == ["15,66", "82,61", "92,69", "82,8"] and all(written[1])
      and written[2] == ["", "", "", ""],
      "an exported CSV read by quemador1-calc --csv gives the same results",
      f"{written} / {reread.stdout!r} {reread.stderr!r}")

# Keyboard only: from the first box, a reading typed, saved, and a saved one reopened.
driver.refresh()
ready()
driver.execute_script("document.activeElement.blur()")


def keys(*sequence):
    webdriver.ActionChains(driver).send_keys(*sequence).perform()


def tab_to(element_id, limit=40):
    for _ in range(limit):
        if driver.switch_to.active_element.get_attribute("id") == element_id:
            return True
        keys(Keys.TAB)
    return False


erase = (Keys.END,) + (Keys.BACKSPACE,) * 12
first_box = tab_to("combustible")
keys(Keys.TAB, *erase, "3,2", Keys.TAB, Keys.TAB, *erase, "175")
reached = tab_to("guardar")
webdriver.ActionChains(driver).send_keys(Keys.ENTER).perform()
wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#lecturas li")) == 4)
opened = None
for _ in range(40):
    webdriver.ActionChains(driver).send_keys(Keys.TAB).perform()
    focused = driver.switch_to.active_element
    if "Abrir" in focused.text and "Caldera 1" in (focused.get_attribute("aria-label") or ""):
        focused.send_keys(Keys.ENTER)
        opened = el("o2").get_attribute("value")
        break
check(first_box and reached and opened == "3" and el("temp").get_attribute("value") == "180"
      and driver.find_elements(By.CSS_SELECTOR, "#lecturas li")[0].text.count("3,2") == 1,
      "keyboard only: first box, typing, Guardar, a saved reading reopened")

# Light screenshots: a plain reading.
fill(dict(combustible="gas", o2="3", temp="180", unidad="C", aire="20"))
driver.set_window_size(360, 640)
driver.execute_script("window.scrollTo(0, 0)")
try:
    wait.until(lambda d: el("franja").is_displayed())
except TimeoutException:
    pass
check(el("franja").text == "Eficiencia 82.61 % · neta 92.69 %",
      "at 360 px, the efficiencies stay in sight while the results are below", el("franja").text)
driver.save_screenshot(os.path.join(out_dir, "page-360x640.png"))
driver.set_window_size(1280, 800)
driver.save_screenshot(os.path.join(out_dir, "page-1280x800.png"))

# The help, from the window's file.
driver.get(url + "#ayuda")
ready()
wait.until(lambda d: "Siegert" in el("ayuda-texto").text)
check("versión" in el("ayuda-texto").text and "@PROJECT_VERSION@" not in el("ayuda-texto").text,
      "Ayuda shows the window's help, with the version")

# Offline: the service worker in control, the server stopped, the page reloads and calculates.
driver.get(url)
ready()
wait.until(lambda d: d.execute_script("return !!navigator.serviceWorker.controller"))
caches = "const done = arguments[arguments.length - 1]; caches.keys().then(done)"
first_cache = driver.execute_async_script(caches)
port = server.server_address[1]
server.shutdown()
server.server_close()
driver.refresh()
ready()
fill(dict(combustible="gas", o2="3", temp="300", unidad="F"))
check(el("eficiencia").text.strip() == "83.94", "with the server stopped, the page reloads and calculates")

# A new version of any file makes a new cache, which replaces the old one.
with open(os.path.join(site, "style.css"), "a", encoding="utf-8") as style:
    style.write("\n/* a new version */\n")
subprocess.run(["cmake", f"-DSITE={site}", f"-DTEMPLATE={sources}/site/sw.js.in", "-DVERSION=0",
                "-P", f"{sources}/service_worker.cmake"], check=True)
server, _ = serve(site, port)
driver.refresh()
# The new service worker takes over (its activation, then the page's controllerchange),
# and the page reloads itself to be all of the new version, saying so.
try:
    wait.until(lambda d: d.execute_script("return 'actualizada' in document.body.dataset"))
except TimeoutException:
    pass
ready()
new_cache = driver.execute_async_script(caches)
css = driver.execute_async_script(
    "const done = arguments[arguments.length - 1];"
    "caches.match('style.css').then((r) => r.text()).then(done)")
check(len(first_cache) == 1 and len(new_cache) == 1 and new_cache != first_cache
      and "a new version" in css and el("version").text == "La página se ha actualizado a su versión nueva.",
      "a new version replaces the cache, and the page reloads into it", f"{first_cache} → {new_cache}")
server.shutdown()

driver.quit()
tally.finish()
