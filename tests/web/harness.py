# SPDX-License-Identifier: GPL-3.0-or-later
"""What the page's browser tests share: independent cases over one fixture (the site
served on localhost, and for each case Debian's Chromium started headless with a fresh
profile, nothing downloaded at run time, downloading into a folder of its own), a tally
that counts every failure, an exception included, and the page's width and axe-core's
verdict at one size.

A test file declares its cases with @case and ends with run(); its command line takes
the fixture's arguments, then optionally the names of the cases to run (a part of a
name picks every case whose name holds it)."""

import csv
import functools
import io
import os
import sys
import tempfile
import traceback

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from site_server import serve  # noqa: E402

CASES = []


def case(function):
    """Declares a case: a function of a Page, run on its own fresh browser."""
    CASES.append(function)
    return function


class Tally:
    """Checks that print as they go; finish() prints the count and exits 1 on a failure."""

    def __init__(self):
        self.checks = 0
        self.failures = 0

    def check(self, ok, what, detail=""):
        self.checks += 1
        if ok:
            print(f"ok: {what}", flush=True)
        else:
            self.failures += 1
            print(f"FAIL: {what} {detail}", flush=True)

    def finish(self):
        print(f"{self.checks - self.failures} passed, {self.failures} failed")
        sys.exit(1 if self.failures else 0)


def chromium(width, height, downloads):
    """Headless Chromium with a profile of its own, its window width × height."""
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", f"--window-size={width},{height}",
                     "--disable-gpu", "--lang=es-ES", f"--user-data-dir={tempfile.mkdtemp()}"):
        options.add_argument(argument)
    options.binary_location = "/usr/bin/chromium"
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Page.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": downloads})
    return driver


class Page:
    """A case's browser on the served site: the driver, the site's address, a folder for
    its downloads, a wait, the element by id, and check(), which names the case."""

    def __init__(self, url, tally, name, width, height, timeout):
        self.url = url
        self.downloads = tempfile.mkdtemp()
        self.driver = chromium(width, height, self.downloads)
        self.wait = WebDriverWait(self.driver, timeout)
        self.el = functools.partial(self.driver.find_element, By.ID)
        self._tally = tally
        self._name = name

    def check(self, ok, what, detail=""):
        self._tally.check(ok, f"{self._name}: {what}", detail)

    def press(self, element_id):
        """Clicks a button as a user would: scrolled into sight first, and once the page
        has answered the scroll."""
        self.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", self.el(element_id))
        self.wait.until(lambda d: d.execute_script(
            "const r = arguments[0].getBoundingClientRect();"
            "return document.elementFromPoint(r.x + r.width / 2, r.y + r.height / 2) === arguments[0]",
            self.el(element_id)))
        self.el(element_id).click()


# The result columns a log gives, which the page's export and quemador1-calc --csv share.
RESULT_COLUMNS = ("exceso_aire", "eficiencia", "eficiencia_neta", "eficiencia_corregida")


def log_results(data):
    """Each row's results in a log's bytes (UTF-8, ';'), by RESULT_COLUMNS."""
    rows = list(csv.DictReader(io.StringIO(data.decode("utf-8-sig")), delimiter=";"))
    return [[row[c] for c in RESULT_COLUMNS] for row in rows]


def width_and_axe(driver, axe):
    """[the window's inner width, how far the page sticks out sideways] and axe-core's
    violations (AXE, the text of axe.min.js), each as 'id: help targets'."""
    sizes = driver.execute_script(
        "const e = document.documentElement; return [innerWidth, e.scrollWidth - e.clientWidth]")
    driver.execute_script(axe)
    violations = driver.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "axe.run(document).then((r) => done(r.violations.map((v) => v.id + ': ' + v.help + ' ' +"
        " v.nodes.map((n) => n.target.join(' ')).join(', '))))")
    return sizes, violations


def type_in(p, element_id, text):
    """Retypes a box as a user would, scrolled into sight; a date box takes its value, a
    list its option."""
    field = p.el(element_id)
    p.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", field)
    if field.get_attribute("type") == "date":
        p.driver.execute_script("arguments[0].value = arguments[1];"
                                "arguments[0].dispatchEvent(new Event('input', {bubbles: true}))", field, text)
        return
    if field.tag_name == "select":
        Select(field).select_by_value(text)
        return
    field.send_keys(Keys.CONTROL, "a", Keys.DELETE)
    if text:
        field.send_keys(text)


def fill(p, boxes):
    for element_id, text in boxes.items():
        type_in(p, element_id, text)


def run(site, chosen, width=1280, height=800, timeout=15):
    """Serves the site and runs each case chosen by name (all when none is), each on a
    fresh browser; a case that raises counts as a failure and the others still run."""
    tally = Tally()
    server, url = serve(site)
    picked = [c for c in CASES if not chosen or any(name in c.__name__ for name in chosen)]
    if not picked:
        tally.check(False, f"cases named {chosen}", "(none is)")
    for function in picked:
        print(f"== {function.__name__}", flush=True)
        page = None
        try:
            page = Page(url, tally, function.__name__, width, height, timeout)
            function(page)
        except Exception:  # noqa: BLE001 (any fault of a case is its failure)
            tally.check(False, f"{function.__name__} ran to its end", traceback.format_exc())
        finally:
            if page:
                page.driver.quit()
    server.shutdown()
    tally.finish()
