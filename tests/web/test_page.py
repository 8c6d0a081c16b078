#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The page in real headless Chromium, served on localhost, as independent cases: the
table of readings gives quemador1-calc's texts; what was typed and a saved reading
survive a reload; an exported CSV read by quemador1-calc --csv gives the same results;
with the server stopped the page reloads from its service worker and calculates; axe-core
finds nothing at 360×640 and 1280×800; the keyboard alone goes from the first box to a
saved reading; the ticket prints on one page. Screenshots are left in OUT_DIR to be
looked at.
Usage: test_page.py SITE_DIR QUEMADOR1_CALC AXE_MIN_JS OUT_DIR [CASE...]"""

import base64
import glob
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
from harness import case, log_results, run, width_and_axe
from site_server import serve

site, calc_path, axe_path, out_dir = sys.argv[1:5]
sources = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "web")
os.makedirs(out_dir, exist_ok=True)

# A reading with a long notice: a CO above the limit, air and a target.
LONG_NOTICE = {"combustible": "gas", "o2": "3", "co2": "7", "co": "500", "temp": "180", "unidad": "C",
               "aire": "20", "objetivo-o2": "2"}


def ready(p):
    p.wait.until(lambda d: d.execute_script(
        "return 'listo' in document.body.dataset && 'guardadas' in document.body.dataset"))


def open_page(p, width=360, height=640):
    p.driver.set_window_size(width, height)
    p.driver.get(p.url)
    ready(p)


def fill(p, boxes):
    """Types each box as a user would: the choices picked, every number box retyped."""
    Select(p.el("combustible")).select_by_value(boxes.get("combustible", "gas"))
    Select(p.el("unidad")).select_by_value(boxes.get("unidad", "C"))
    for box in ("o2", "co2", "co", "temp", "aire", "objetivo-o2", "objetivo-temp"):
        field = p.el(box)
        field.send_keys(Keys.CONTROL, "a", Keys.DELETE)
        if boxes.get(box):
            field.send_keys(boxes[box])


def saved_count(p):
    return len(p.driver.find_elements(By.CSS_SELECTOR, "#lecturas li"))


def save(p, boxes, boiler=""):
    """Types a reading and its boiler, and saves it."""
    fill(p, boxes)
    p.el("caldera").send_keys(Keys.CONTROL, "a", Keys.DELETE)
    if boiler:
        p.el("caldera").send_keys(boiler)
    count = saved_count(p)
    p.press("guardar")
    p.wait.until(lambda d: saved_count(p) == count + 1)


def shown(p):
    """What the page shows: the figures and bases, the notices, the boxes marked."""
    return p.driver.execute_script("""
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


@case
def readings_as_quemador1_calc(p):
    """Every reading of the table as quemador1-calc prints it, in the page's numbers."""
    open_page(p)
    for name, boxes in ROWS:
        fill(p, boxes)
        p.el("o2").send_keys(Keys.ENTER)
        page = shown(p)
        native = calc(calc_path, boxes)
        notices = ([native["failure"]] if native["failure"] else []) + native["notices"]
        same = (page["figures"] == native["figures"] and page["bases"] == native["bases"]
                and page["notices"] == notices)
        if native["failure"]:
            same = same and page["errors"] == ["o2-error"] and page["focused"] == "o2"
        if native["refused"]:
            same = same and page["errors"] == ["o2-error"] and not page["figures"]
        p.check(same, name, f"\n  page:   {page}\n  native: {native}")


@case
def results_as_you_type(p):
    open_page(p)
    fill(p, dict(combustible="gas", o2="3", temp="18", unidad="C"))
    before = p.el("eficiencia").text
    p.el("temp").send_keys("0")
    p.check(p.el("eficiencia").text != before and p.el("eficiencia").text.strip() == calc(
        calc_path, dict(combustible="gas", o2="3", temp="180", unidad="C"))["figures"]["eficiencia"],
        "a keystroke updates the results")


@case
def oxygen_of_the_air(p):
    open_page(p)
    fill(p, dict(combustible="gas", o2="21", temp="300", unidad="F", aire="70"))
    p.el("o2").send_keys(Keys.ENTER)
    p.check(p.el("o2").get_attribute("value") == "21" and p.el("aire").get_attribute("value") == "70"
            and p.driver.switch_to.active_element.get_attribute("id") == "o2"
            and "Compruebe la lectura de oxígeno" in p.el("o2-error").text,
            "the message at its box, the focus there, nothing emptied")


@case
def outside_the_model(p):
    """A reading outside the model shows "—" and says so, on the page and in the saved list."""
    open_page(p)
    save(p, dict(combustible="gas", o2="3", temp="40", unidad="F"))
    figure = p.el("eficiencia").text.strip()
    basis = p.el("base-eficiencia").text
    saved = p.driver.find_elements(By.CSS_SELECTOR, "#lecturas li")[0].text
    p.check(figure == "—" and basis == "(fuera del modelo)" and "eficiencia — (fuera del modelo)" in saved,
            "«—» and «fuera del modelo» on the page and in the saved list", f"{figure} {basis} / {saved}")


@case
def typed_survives_a_reload(p):
    open_page(p)
    fill(p, LONG_NOTICE)
    p.el("caldera").send_keys("Caldera 1, sótano")
    p.el("nota").send_keys('Revisión anual; "quemador nuevo"')
    before = shown(p)
    p.driver.refresh()
    ready(p)
    after = shown(p)
    p.check({**after, "focused": ""} == {**before, "focused": ""}
            and p.el("caldera").get_attribute("value") == "Caldera 1, sótano",
            "what was typed survives a reload")


@case
def ticket_on_one_page(p):
    """Screenshots with a long notice, then the print ticket on one page, in the page's numbers."""
    open_page(p)
    fill(p, LONG_NOTICE)
    p.el("caldera").send_keys("Caldera 1, sótano")
    p.driver.execute_script("window.scrollTo(0, document.getElementById('resultados-titulo').offsetTop)")
    p.driver.save_screenshot(os.path.join(out_dir, "page-360x640-notices.png"))
    p.driver.set_window_size(1280, 800)
    p.driver.save_screenshot(os.path.join(out_dir, "page-1280x800-notices.png"))
    p.driver.execute_script("window.dispatchEvent(new Event('beforeprint'))")
    ticket = p.el("ticket").get_attribute("textContent")
    pdf = base64.b64decode(p.driver.execute_cdp_cmd("Page.printToPDF", {})["data"])
    pages = len(re.findall(rb"/Type\s*/Page[^s]", pdf))
    p.check(pages == 1 and "Caldera 1, sótano" in ticket and "82,8" in ticket and "82.8" not in ticket
            and "el quemador produce CO" in ticket and "sobre el PCI" in ticket and "20,9" in ticket,
            "boiler, readings, results with bases, notices, on one page", f"{pages} pages: {ticket}")
    p.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
    p.driver.save_screenshot(os.path.join(out_dir, "ticket-1280x800.png"))


@case
def accessible_at_both_sizes(p):
    """axe-core at both sizes, with the notices shown and one box marked."""
    open_page(p)
    fill(p, LONG_NOTICE)
    axe = open(axe_path, encoding="utf-8").read()
    p.el("objetivo-temp").send_keys("x")
    for width, height in ((360, 640), (1280, 800)):
        p.driver.set_window_size(width, height)
        sizes, violations = width_and_axe(p.driver, axe)
        p.check(sizes == [width, 0], f"the page is {width} px wide, nothing sticks out", sizes)
        p.check(violations == [], f"axe-core at {width}×{height}", violations)


@case
def saved_and_exported(p):
    """Saved, readings survive a reload; exported by the module, quemador1-calc reads back
    the same results."""
    open_page(p)
    save(p, LONG_NOTICE, "Caldera 1, sótano")
    save(p, dict(combustible="fueloil", o2="4,5", temp="410", unidad="F", aire="68"))
    save(p, dict(combustible="gas", o2="3", temp="40", unidad="F"))  # °C typed as °F: outside the model
    p.driver.refresh()
    ready(p)
    items = p.driver.find_elements(By.CSS_SELECTOR, "#lecturas li")
    p.check(len(items) == 3 and "Caldera 1, sótano" in items[2].text and "Fuel Oil" in items[1].text,
            "saved readings survive a reload, newest first", [i.text for i in items])
    p.driver.save_screenshot(os.path.join(out_dir, "page-360x640-saved.png"))

    p.press("exportar")
    p.wait.until(lambda d: glob.glob(os.path.join(p.downloads, "*.csv")))
    exported = glob.glob(os.path.join(p.downloads, "*.csv"))[0]
    time.sleep(0.2)
    reread = subprocess.run([calc_path, "--csv", exported], capture_output=True, check=False)
    written = log_results(open(exported, "rb").read())
    # Two readings with results, in °C and °F (so the file is in °F), and one outside the
    # model, which a log gives no numbers: the program's status says so.
    p.check(reread.returncode == 1 and written == log_results(reread.stdout) and len(written) == 3
            and written[0] == ["15,66", "82,61", "92,69", "82,8"] and all(written[1])
            and written[2] == ["", "", "", ""],
            "an exported CSV read by quemador1-calc --csv gives the same results",
            f"{written} / {reread.stdout!r} {reread.stderr!r}")


@case
def keyboard_only(p):
    """From the first box, a reading typed, saved, and a saved one reopened."""
    open_page(p)
    save(p, dict(combustible="gas", o2="3", temp="180", unidad="C"), "Caldera 1, sótano")
    # The reading typed next has no boiler, so that the saved one is found by its own.
    p.el("caldera").send_keys(Keys.CONTROL, "a", Keys.DELETE)
    p.driver.refresh()
    ready(p)
    p.driver.execute_script("document.activeElement.blur()")

    def keys(*sequence):
        webdriver.ActionChains(p.driver).send_keys(*sequence).perform()

    def tab_to(element_id, limit=80):
        for _ in range(limit):
            if p.driver.switch_to.active_element.get_attribute("id") == element_id:
                return True
            keys(Keys.TAB)
        return False

    erase = (Keys.END,) + (Keys.BACKSPACE,) * 12
    first_box = tab_to("combustible")
    keys(Keys.TAB, *erase, "3,2", Keys.TAB, Keys.TAB, *erase, "175")
    reached = tab_to("guardar")
    keys(Keys.ENTER)
    p.wait.until(lambda d: saved_count(p) == 2)
    opened = None
    # The report's fields lie between Guardar and the saved readings.
    for _ in range(80):
        keys(Keys.TAB)
        focused = p.driver.switch_to.active_element
        if "Abrir" in focused.text and "Caldera 1" in (focused.get_attribute("aria-label") or ""):
            focused.send_keys(Keys.ENTER)
            opened = p.el("o2").get_attribute("value")
            break
    p.check(first_box and reached and opened == "3" and p.el("temp").get_attribute("value") == "180"
            and p.driver.find_elements(By.CSS_SELECTOR, "#lecturas li")[0].text.count("3,2") == 1,
            "first box, typing, Guardar, a saved reading reopened")


@case
def efficiencies_in_sight(p):
    """At 360 px the efficiencies stay in sight while the results are below; light screenshots."""
    open_page(p)
    fill(p, dict(combustible="gas", o2="3", temp="180", unidad="C", aire="20"))
    p.driver.execute_script("window.scrollTo(0, 0)")
    try:
        p.wait.until(lambda d: p.el("franja").is_displayed())
    except TimeoutException:
        pass
    p.check(p.el("franja").text == "Eficiencia 82,61 % · neta 92,69 %",
            "the strip at the bottom", p.el("franja").text)
    p.driver.save_screenshot(os.path.join(out_dir, "page-360x640.png"))
    p.driver.set_window_size(1280, 800)
    p.driver.save_screenshot(os.path.join(out_dir, "page-1280x800.png"))


@case
def help_of_the_window(p):
    p.driver.get(p.url + "#ayuda")
    ready(p)
    p.wait.until(lambda d: "Siegert" in p.el("ayuda-texto").text)
    p.check("versión" in p.el("ayuda-texto").text and "@PROJECT_VERSION@" not in p.el("ayuda-texto").text,
            "Ayuda shows the window's help, with the version")


@case
def offline_and_a_new_version(p):
    """With the service worker in control and its server stopped, the page reloads and
    calculates; a new version of any file makes a new cache, which replaces the old one.
    On a copy of the site with a server of its own, which this case changes."""
    copy = os.path.join(tempfile.mkdtemp(), "site")
    shutil.copytree(site, copy)
    server, url = serve(copy)
    p.driver.get(url)
    ready(p)
    p.wait.until(lambda d: d.execute_script("return !!navigator.serviceWorker.controller"))
    caches = "const done = arguments[arguments.length - 1]; caches.keys().then(done)"
    first_cache = p.driver.execute_async_script(caches)
    port = server.server_address[1]
    server.shutdown()
    server.server_close()
    p.driver.refresh()
    ready(p)
    fill(p, dict(combustible="gas", o2="3", temp="300", unidad="F"))
    p.check(p.el("eficiencia").text.strip() == "83,94", "with the server stopped, the page reloads and calculates")

    with open(os.path.join(copy, "style.css"), "a", encoding="utf-8") as style:
        style.write("\n/* a new version */\n")
    subprocess.run(["cmake", f"-DSITE={copy}", f"-DTEMPLATE={sources}/site/sw.js.in", "-DVERSION=0",
                    "-P", f"{sources}/service_worker.cmake"], check=True)
    server, _ = serve(copy, port)
    p.driver.refresh()
    # The new service worker takes over (its activation, then the page's controllerchange),
    # and the page reloads itself to be all of the new version, saying so.
    try:
        WebDriverWait(p.driver, 60).until(
            lambda d: d.execute_script("return 'actualizada' in document.body.dataset"))
    except TimeoutException:
        pass
    ready(p)
    new_cache = p.driver.execute_async_script(caches)
    css = p.driver.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "caches.match('style.css').then((r) => r.text()).then(done)")
    p.check(len(first_cache) == 1 and len(new_cache) == 1 and new_cache != first_cache
            and "a new version" in css
            and p.el("version").text == "La página se ha actualizado a su versión nueva.",
            "a new version replaces the cache, and the page reloads into it",
            f"{first_cache} → {new_cache}")
    server.shutdown()


run(site, sys.argv[5:], width=360, height=640)
