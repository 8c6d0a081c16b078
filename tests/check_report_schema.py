#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs quemador1-calc --json over every folder of tests/data/cli (its args, its
input.csv) and holds each document to the schema in docs/, and to what the run said
otherwise: the status it ended with, its counts line on standard error, and the
rows it counted. A folder's resultado.json, when it has one, is a document too.

usage: check_report_schema.py QUEMADOR1_CALC DATA_FOLDER SCHEMA
"""

import json
import pathlib
import subprocess
import sys
import tempfile

import jsonschema

calc = str(pathlib.Path(sys.argv[1]).resolve())
data, schema_path = pathlib.Path(sys.argv[2]), sys.argv[3]
schema = json.loads(pathlib.Path(schema_path).read_text(encoding="utf-8"))
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)

failures = []

# Runs refused before any log is read (an option at fault): no document, status 2.
REFUSED_BEFORE_READING = {"summary-is-the-log"}


def check(ok, what):
    if not ok:
        failures.append(what)


def errors_of(document):
    return [f"{'/'.join(map(str, e.absolute_path))}: {e.message}"
            for e in validator.iter_errors(document)]


folders = sorted(p for p in data.iterdir() if p.is_dir())
if not folders:
    sys.exit(f"no folders in {data}: nothing was checked")

for folder in folders:
    args = [a for a in (folder / "args").read_text(encoding="utf-8").split("\n") if a]
    with tempfile.TemporaryDirectory() as work:
        report = pathlib.Path(work) / "informe.json"
        run = subprocess.run([calc, *args, "--csv", "input.csv", "--json", str(report)],
                             cwd=folder, capture_output=True, check=False)
        if folder.name in REFUSED_BEFORE_READING:
            check(run.returncode == 2 and not report.exists(),
                  f"{folder.name}: a run refused before reading wrote a document")
            continue
        if not report.exists():
            failures.append(f"{folder.name}: no document (status {run.returncode}): "
                            f"{run.stderr.decode(errors='replace')[-300:]}")
            continue
        text = report.read_bytes()
    check(text.endswith(b"\n") and text.count(b"\n") == 1,
          f"{folder.name}: the document is not one line ending with a line end")
    document = json.loads(text.decode("utf-8"))
    for error in errors_of(document):
        failures.append(f"{folder.name}: {error}")
    check(document["estado"] == run.returncode,
          f"{folder.name}: estado {document['estado']}, status {run.returncode}")
    logs = document["registros"]
    check([log["nombre"] for log in logs] == ["input.csv"], f"{folder.name}: registros {logs!r}")
    log = logs[0] if logs else {}
    if run.returncode == 2:
        check(log.get("estado") == 2 and log.get("motivo") and document["leido"] is None,
              f"{folder.name}: a refused log's document: {log!r}")
        check(log.get("motivo", {}).get("texto", "?") in run.stderr.decode("utf-8", "replace"),
              f"{folder.name}: the reason is not what standard error says")
        continue
    # The counts are those the run says last before the list of files written, and each
    # log's status the run's.
    said = [line for line in run.stderr.decode("utf-8", "replace").rstrip("\n").split("\n")
            if not line.startswith("quemador1-calc: escrito: ")][-1]
    check(said == "quemador1-calc: " + log["linea"],
          f"{folder.name}: counts {log['linea']!r}, standard error {said!r}")
    counts = log["cuentas"]
    check(counts["leidas"] >= counts["calculadas"] + counts["fuera_de_rango"] + counts["con_error"]
          and counts["co_peligroso"] <= counts["dudosas"],
          f"{folder.name}: counts that do not add up: {counts!r}")
    check(log["estado"] == run.returncode, f"{folder.name}: the log's estado {log['estado']}")
    check(log["secciones"] and log["notas"][0]["tipo"] == "lectura",
          f"{folder.name}: no section or no reading note")

for golden in sorted(data.glob("*/resultado.json")):
    for error in errors_of(json.loads(golden.read_text(encoding="utf-8"))):
        failures.append(f"{golden}: {error}")

for failure in failures:
    print(failure)
print(f"{len(folders)} folders, {len(failures)} failures")
sys.exit(1 if failures else 0)
