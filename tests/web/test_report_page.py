#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The page's PDFs in real headless Chromium, as independent cases: the shared PDF module
(pdf-lib loaded on first use from the site's own files, under the page's
Content-Security-Policy; its text read back by pdftotext; a file shared where the
browser can share files, downloaded elsewhere). Screenshots and the PDFs' pages are
left in OUT_DIR to be looked at.
Usage: test_report_page.py SITE_DIR QUEMADOR1_CALC AXE_MIN_JS OUT_DIR [CASE...]"""

import base64
import glob
import os
import subprocess
import sys

from harness import case, run

site, calc_path, axe_path, out_dir = sys.argv[1:5]
os.makedirs(out_dir, exist_ok=True)

# Every violation of the page's policy, from the first script on.
WATCH_POLICY = """
    window.violations = [];
    document.addEventListener('securitypolicyviolation',
        (e) => violations.push(e.violatedDirective + ' ' + e.blockedURI));"""


def open_page(p, width=360, height=640):
    p.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": WATCH_POLICY})
    p.driver.set_window_size(width, height)
    p.driver.get(p.url)
    p.wait.until(lambda d: d.execute_script("return 'listo' in document.body.dataset"))


def pdf_text(path):
    """pdftotext's reading of a PDF, in its layout."""
    return subprocess.run(["pdftotext", "-layout", path, "-"], capture_output=True, text=True,
                          check=True).stdout


def pages_as_png(path, prefix):
    """Each page of a PDF as a PNG in OUT_DIR (pdftoppm), to be looked at; their paths."""
    subprocess.run(["pdftoppm", "-png", "-r", "60", path, os.path.join(out_dir, prefix)], check=True)
    return sorted(glob.glob(os.path.join(out_dir, prefix + "*.png")))


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
            and text.count("Cifra") == 3 and "Página 3 de 3" in text and "Firma del titular" in text,
            "pdftotext reads every block", text[:600])
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
