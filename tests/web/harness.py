# SPDX-License-Identifier: GPL-3.0-or-later
"""What the page's browser tests share: a tally of their checks, and Debian's Chromium
started headless (nothing downloaded at run time), downloading into a folder."""

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
