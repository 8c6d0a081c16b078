# SPDX-License-Identifier: GPL-3.0-or-later
"""What the page's browser tests share: a tally of their checks, Debian's Chromium
started headless (nothing downloaded at run time), downloading into a folder, and the
page's width and axe-core's verdict at one size."""

import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service


class Tally:
    """Checks that print as they go; finish() prints the count and exits 1 on a failure."""

    def __init__(self):
        self.checks = 0
        self.failures = 0

    def check(self, ok, what, detail=""):
        self.checks += 1
        if ok:
            print(f"ok: {what}")
        else:
            self.failures += 1
            print(f"FAIL: {what} {detail}")

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
