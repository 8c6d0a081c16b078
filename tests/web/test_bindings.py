#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The bindings under node: every reading of the table, through the site's WebAssembly
module, gives the texts quemador1-calc prints for it natively.
Usage: test_bindings.py SITE_DIR QUEMADOR1_CALC"""

import json
import os
import re
import subprocess
import sys
import tempfile

from readings import FIGURES, ROWS, calc

site, calc_path = sys.argv[1], sys.argv[2]
here = os.path.dirname(os.path.abspath(__file__))
run = subprocess.run(["node", os.path.join(here, "evaluate.mjs"), site],
                     input=json.dumps([boxes for _, boxes in ROWS]),
                     capture_output=True, text=True, check=True)
result = json.loads(run.stdout)
answers = result["answers"]
assert len(answers) == len(ROWS), run.stdout

failures = 0
for (name, boxes), answer in zip(ROWS, answers):
    native = calc(calc_path, boxes)
    web = {
        "figures": {k: v.strip() for k, v in answer.get("cifras", {}).items() if v},
        "bases": answer.get("bases", {}),
        "notices": answer.get("avisos", []),
        "failure": answer.get("fallo"),
        "refused": bool(answer["cajas"]),
    }
    assert set(web["figures"]) <= set(FIGURES), web
    if web != native:
        failures += 1
        print(f"FAIL: {name}\n  web:    {web}\n  native: {native}")
    elif not native["figures"] and not native["failure"] and not native["refused"]:
        failures += 1
        print(f"FAIL: {name}: quemador1-calc gave nothing to compare")
    else:
        print(f"ok: {name}")

# A file's name is data: one holding a line end or a quote changes no option.
natural_gas = "O2,T,exceso_aire,eficiencia,eficiencia_neta,aviso\n3,300,15.66,83.94,93.91,\n"
for log in result["logs"]:
    ok = (log["answer"]["estado"] == 0 and log["written"] == natural_gas
          and log["answer"]["grafico"]["titulo"] == f"Eficiencia y O2 de {log['name']}")
    failures += 0 if ok else 1
    print(f"{'ok' if ok else 'FAIL'}: a file named {log['name']!r} is read with the options given",
          "" if ok else log)

# The Consumos boxes read as quemador1-calc reads a consumptions file: "200.000" kWh is
# 200,000 beside a price of "0,09", and alone it reads two ways and gives no money.
with tempfile.TemporaryDirectory() as work:
    log_path, consumptions = os.path.join(work, "r.csv"), os.path.join(work, "consumos.csv")
    with open(log_path, "w", encoding="utf-8") as file:
        file.write("Caldera,Fecha,O2,T\nNorte,2026-01-05,3,300\n")
    with open(consumptions, "w", encoding="utf-8") as file:
        file.write("caldera;kwh;precio\nNorte;200.000;0,09\n")
    native = json.loads(subprocess.run([calc_path, "-c", "gas", "--csv", log_path, "--objetivo-o2", "2",
                                        "--consumos", consumptions, "--json", "-", "--salida", work],
                                       capture_output=True, check=True).stdout)
settled, waiting = result["money"]
kwh = [doc["veredicto"]["calderas"][0]["kwh_ahorrados"] for doc in (settled["informe"], native)]
ok = kwh[0] is not None and kwh[0] == kwh[1] and settled["veredicto"]["consumos_sin_leer"] == []
failures += 0 if ok else 1
print(f"{'ok' if ok else 'FAIL'}: Consumos \"200.000\" beside \"0,09\" as the consumptions file reads it", kwh)
said = waiting["veredicto"]["consumos_sin_leer"]
ok = (not waiting["veredicto"]["dinero"] and len(said) == 1 and "«Norte», consumo «200.000»" in said[0]
      and "dos maneras" in said[0])
failures += 0 if ok else 1
print(f"{'ok' if ok else 'FAIL'}: Consumos \"200.000\" alone is not guessed, and said", said)

# The page's report is quemador1-calc's --json document, the file's name aside: one writer.
with tempfile.TemporaryDirectory() as work:
    log_path = os.path.join(work, "registro.csv")
    with open(log_path, "w", encoding="utf-8") as file:
        file.write("O2,T\n3,300\n")
    native = json.loads(subprocess.run([calc_path, "-c", "gas", "--csv", log_path, "--json", "-",
                                        "--salida", work], capture_output=True, check=True).stdout)
for log in result["logs"]:
    page_report = log["answer"]["informe"]
    named = page_report["registros"][0]["nombre"] == log["name"]
    for document in (page_report, native):
        document["registros"][0]["nombre"] = ""
        document["salidas"] = []
    ok = named and page_report == native
    failures += 1 if not ok else 0
    print(f"{'ok' if ok else 'FAIL'}: the page's report is quemador1-calc's --json",
          "" if ok else f"\n  page:   {page_report}\n  native: {native}")

# The page's names appear once, in the module the build writes from the program's tables:
# no source of the page names a figure, its label or a log option's key itself, and every
# box the module names is an element of the page.
names = open(os.path.join(site, "names.js"), encoding="utf-8").read()
module = {m.group(1): json.loads(m.group(2)) for m in re.finditer(r"export const (\w+) = (.*);", names)}
sources = os.path.join(here, "..", "..", "web", "site")
page = {name: open(os.path.join(sources, name), encoding="utf-8").read()
        for name in sorted(os.listdir(sources)) if name.endswith((".js", ".html", ".in"))}
named = [f["id"] for f in module["figures"]] + [f["etiqueta"] for f in module["figures"]] + [
    key for key in module["logOptions"] if key.startswith("col-")]
restated = [f"{file}: {name}" for file, text in page.items() for name in named
            if re.search(r"""['"`]""" + re.escape(name) + r"""['"`]""", text)]
missing = [box for box in module["boxes"] if f'id="{box}"' not in page["index.html"]]
ok = not restated and not missing and len(module["figures"]) >= 9
failures += 0 if ok else 1
print(f"{'ok' if ok else 'FAIL'}: the page's names are the module's alone", restated, missing)

print(f"{len(ROWS) + 2 * len(result['logs']) + 1 - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
