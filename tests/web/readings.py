# SPDX-License-Identifier: GPL-3.0-or-later
"""The readings both web tests put through the page, and what quemador1-calc, the native
core's face, prints for each, as the page writes it: the figures and their bases by the
page's element ids (numbers with a decimal comma, a figure outside the model as "—"),
the notices and the failure."""

import re
import subprocess

# name, the page's boxes (those not given stay empty)
ROWS = [
    ("natural gas, °F, point, CO2 that does not match",
     dict(combustible="gas", o2="3", co2="7", temp="300", unidad="F")),
    ("natural gas, °C, comma, air and target",
     {"combustible": "gas", "o2": "3,5", "co2": "9,8", "temp": "180,5", "unidad": "C", "aire": "20",
      "objetivo-o2": "2"}),
    ("fuel oil, °C, target oxygen and temperature",
     {"combustible": "fueloil", "o2": "4", "co2": "12", "temp": "200", "unidad": "C", "aire": "18,5",
      "objetivo-o2": "2.5", "objetivo-temp": "190"}),
    ("fuel oil, °F, comma, air",
     dict(combustible="fueloil", o2="4,2", temp="410,5", unidad="F", aire="70")),
    ("CO above 400 ppm air-free, with a target",
     {"combustible": "gas", "o2": "3", "co": "500", "temp": "180", "unidad": "C", "objetivo-o2": "2"}),
    ("CO below the limit", dict(combustible="gas", o2="5", co="50", temp="150", unidad="C")),
    ("°C typed as °F: out of the model", dict(combustible="gas", o2="3", temp="40", unidad="F")),
    ("negative oxygen: out of the model", dict(combustible="fueloil", o2="-1", temp="350", unidad="F")),
    ("air hotter than the flue gas",
     dict(combustible="gas", o2="3", temp="50", unidad="C", aire="60")),
    ("a target less efficient than the reading",
     {"combustible": "gas", "o2": "3", "temp": "180", "unidad": "C", "objetivo-o2": "6"}),
    ("oxygen of 21 %: no result", dict(combustible="gas", o2="21", temp="300", unidad="F")),
    ("an oxygen that is not a number", dict(combustible="gas", o2="3,5 %", temp="300", unidad="F")),
]

# quemador1-calc's labels, by the id of the page's element for the figure
LABELS = {
    "Exceso de aire (%):": "exceso-aire",
    "Eficiencia (%):": "eficiencia",
    "Índice de aire λ:": "lambda",
    "Eficiencia neta (%):": "eficiencia-neta",
    "Pérdidas por humos qA (%):": "perdidas-humos",
    "Eficiencia corregida (%):": "eficiencia-corregida",
    "Eficiencia en el objetivo (%):": "eficiencia-objetivo",
    "Ahorro de combustible (%):": "ahorro",
    "CO sin aire (ppm):": "co-sin-aire",
}
FIGURES = list(LABELS.values())
OPTIONS = {"combustible": "--combustible", "o2": "--o2", "co2": "--co2", "co": "--co",
           "temp": "--temp", "aire": "--aire", "objetivo-o2": "--objetivo-o2",
           "objetivo-temp": "--objetivo-temp"}


def spanish(text):
    """A text of quemador1-calc's with the page's decimal comma."""
    return re.sub(r"(\d)\.(\d)", r"\1,\2", text)


def calc(calc_path, boxes):
    """What quemador1-calc gives for the page's boxes, as the page writes it: {"figures":
    {id: text}, "bases": {id: text}, "notices": [...], "failure": text or None,
    "refused": bool}."""
    args = [calc_path]
    for box, option in OPTIONS.items():
        if boxes.get(box, "") != "":
            args += [option, boxes[box]]
    if boxes.get("unidad") == "C":
        args.append("--celsius")
    run = subprocess.run(args, capture_output=True, text=True, check=False)
    figures, bases = {}, {}
    for line in run.stdout.splitlines():
        label = next(l for l in LABELS if line.startswith(l))
        value, _, basis = line[len(label):].strip().partition("  (")
        figures[LABELS[label]] = spanish(value.strip())
        if basis:
            bases[LABELS[label]] = spanish(basis[:-1])
    notices = [spanish(l[len("aviso: "):]) for l in run.stderr.splitlines() if l.startswith("aviso: ")]
    said = [l[len("quemador1-calc: "):] for l in run.stderr.splitlines()
            if l.startswith("quemador1-calc: ")]
    failure = said[0] if said and run.returncode == 1 else None
    # Outside the model the window's two mean nothing (status 1, and no net efficiency).
    if run.returncode == 1 and not failure and figures and "eficiencia-neta" not in figures:
        for window in ("exceso-aire", "eficiencia"):
            figures[window] = "—"
            bases[window] = "fuera del modelo"
    return {"figures": figures, "bases": bases, "notices": notices, "failure": failure,
            "refused": run.returncode == 2}
