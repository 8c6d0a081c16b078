#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the natural-gas model against the US DOE efficiency table, and the gross and
net efficiencies of both fuels.

Reads the table from docs/data/, the coefficients from calculation/efficiency_model.h
and the net-efficiency constants from calculation/fuel.cpp, so the charts follow the
code. Writes docs/modelo-frente-tabla-doe.png and docs/bruta-y-neta.png, and prints
the side-by-side table and the gross/net band in Markdown for docs/modelo.md.

Usage: /usr/bin/python3 scripts/plot_reference.py   (needs python3-matplotlib)
"""

import csv
import pathlib
import re

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (after the back end is chosen)

ROOT = pathlib.Path(__file__).resolve().parent.parent
TABLE = ROOT / "docs/data/combustion-efficiency-natural-gas-reference.csv"
HEADER = ROOT / "calculation/efficiency_model.h"
FUELS = ROOT / "calculation/fuel.cpp"
CHART = ROOT / "docs/modelo-frente-tabla-doe.png"
NET_CHART = ROOT / "docs/bruta-y-neta.png"
AIR_F = 60.0  # combustion-air temperature the correlation assumes


def natural_gas_coefficients():
    return coefficients_of("natural_gas")


def coefficients_of(fuel):
    text = HEADER.read_text(encoding="utf-8")
    block = re.search(fuel + r"\{(.*?)\};", text, re.S)
    if block is None:
        raise SystemExit(f"no {fuel} coefficients in {HEADER}")
    pairs = re.findall(r"\.(\w+)\s*=\s*(-?[0-9.]+)", block.group(1))
    coefficients = {name: float(value) for name, value in pairs}
    if set(coefficients) != {"F0", "F1", "D0", "D1", "P0", "P1"}:
        raise SystemExit(f"unexpected coefficients: {sorted(coefficients)}")
    return coefficients


def efficiency(c, o2, temperature):
    """The model, step by step in the program's order."""
    factor = c["F0"] + o2 * c["F1"]
    excess_air = (o2 * factor) / (1.0 - o2 * 0.0476)
    slope = -(10.0 ** (c["D0"] + excess_air * c["D1"]))
    limit = 10.0 ** (c["P0"] + excess_air * c["P1"])
    return (temperature - limit) * (1.0 / slope)


def net_constants():
    """Each fuel's Siegert A2 and B and its higher over lower heating value."""
    text = FUELS.read_text(encoding="utf-8")
    rows = re.findall(r"\{Fuel::(\w+),\s*\"([^\"]*)\",\s*\"[^\"]*\",\s*\w+,\s*[0-9.]+,\s*(\w+),"
                      r"\s*([0-9.]+),\s*([0-9.]+),\s*([0-9.]+)\}", text)
    if len(rows) != 2:
        raise SystemExit(f"expected two fuels in {FUELS}")
    return [(caption, coefficients_of(coefficients), float(a2), float(b), float(ratio))
            for _, caption, coefficients, a2, b, ratio in rows]


def net_efficiency(a2, b, o2, flue_c, air_c):
    return 100.0 - (flue_c - air_c) * (a2 / (21.0 - o2) + b)


def fahrenheit(celsius):
    return celsius * 9.0 / 5.0 + 32.0


def gross_and_net_chart():
    """Gross (air-corrected), gross on the lower heating value and net, both fuels."""
    air_c = 20.0
    flue = list(range(60, 251, 2))
    fig, axes = plt.subplots(1, 2, figsize=(11, 4.8), sharey=True, constrained_layout=True)
    print("\n| combustible | PCS/PCI | diferencia bruta×PCS/PCI − neta, O2 2–9 %, humos "
          "60–250 °C, aire 20 °C |")
    print("|---|---:|---|")
    for axis, (caption, c, a2, b, ratio) in zip(axes, net_constants()):
        differences = []
        for o2 in [x / 10 for x in range(20, 91)]:
            for t in range(60, 251):
                gross = efficiency(c, o2, fahrenheit(t) - fahrenheit(air_c) + AIR_F)
                differences.append(gross * ratio - net_efficiency(a2, b, o2, t, air_c))
        print(f"| {caption} | {ratio:g} | de {min(differences):+.2f} a "
              f"{max(differences):+.2f} puntos |")
        for o2, style in ((3.0, "-"), (7.0, "--")):
            gross = [efficiency(c, o2, fahrenheit(t) - fahrenheit(air_c) + AIR_F) for t in flue]
            axis.plot(flue, gross, style, color="C0", label=f"bruta, O$_2$ {o2:g} %")
            axis.plot(flue, [g * ratio for g in gross], style, color="C1",
                      label=f"bruta × {ratio:g} (PCS/PCI), O$_2$ {o2:g} %")
            axis.plot(flue, [net_efficiency(a2, b, o2, t, air_c) for t in flue], style,
                      color="C2", label=f"neta (Siegert), O$_2$ {o2:g} %")
        axis.set_title(f"{caption}: A2 = {a2:g}, B = {b:g}, aire a {air_c:g} °C")
        axis.set_xlabel("temperatura de humos, °C")
        axis.grid(True, alpha=0.3)
    axes[0].set_ylabel("eficiencia de combustión, %")
    for axis in axes:
        axis.legend(loc="lower left", fontsize=8)
    fig.savefig(NET_CHART, dpi=100)
    print(f"\nwrote {NET_CHART.relative_to(ROOT)}")


def read_table():
    with TABLE.open(encoding="utf-8") as f:
        rows = list(csv.reader(line for line in f if not line.startswith("#")))
    temperatures = [float(name.removeprefix("net_").removesuffix("F")) for name in rows[0][2:]]
    table = [(float(r[0]), float(r[1]), [float(v) for v in r[2:]]) for r in rows[1:]]
    if len(table) * len(temperatures) != 25:
        raise SystemExit(f"expected 25 cells in {TABLE}")
    return temperatures, table


def main():
    c = natural_gas_coefficients()
    temperatures, table = read_table()

    print("| O2 % | exceso de aire (tabla) | T neta °F | tabla % | modelo a T neta + 60 °F | "
          "diferencia | modelo a T neta |")
    print("|---:|---:|---:|---:|---:|---:|---:|")
    corrected, uncorrected = [], []
    for excess_air, o2, published in table:
        for t, p in zip(temperatures, published):
            ours = efficiency(c, o2, t + AIR_F)
            raw = efficiency(c, o2, t)
            corrected.append(ours - p)
            uncorrected.append(raw - p)
            print(f"| {o2:g} | {excess_air:g} | {t:g} | {p:.1f} | {ours:.2f} | "
                  f"{ours - p:+.2f} | {raw:.2f} |")
    mean = sum(abs(d) for d in corrected) / len(corrected)
    worst = max(abs(d) for d in corrected)
    print(f"\nT neta + 60 °F: diferencia media absoluta {mean:.2f}, máxima {worst:.2f} puntos")
    print(f"T neta sin corregir: de {min(uncorrected):+.2f} a {max(uncorrected):+.2f} puntos")

    fig, (top, bottom) = plt.subplots(
        2, 1, figsize=(8, 8.5), height_ratios=[3, 2], constrained_layout=True)
    colours = plt.rcParams["axes.prop_cycle"].by_key()["color"]
    fine = [100 + 5 * i for i in range(121)]
    for colour, (_, o2, published) in zip(colours, table):
        top.plot(fine, [efficiency(c, o2, t + AIR_F) for t in fine], color=colour,
                 label=f"O$_2$ {o2:g} %")
        top.plot(temperatures, published, "o", color=colour, markersize=6,
                 markerfacecolor="white")
    top.plot([], [], "o", color="grey", markerfacecolor="white", label="tabla DOE")
    top.set_xlim(150, 650)
    top.set_xlabel("temperatura neta de humos (humos − aire), °F")
    top.set_ylabel("eficiencia de combustión bruta, %")
    top.set_title("Gas natural: modelo (líneas, a T neta + 60 °F) y tabla DOE (círculos)")
    top.grid(True, alpha=0.3)
    top.legend(loc="lower left", fontsize=9)

    n = len(temperatures)
    for i, (colour, (_, o2, _)) in enumerate(zip(colours, table)):
        xs = [t + (i - 2) * 6 for t in temperatures]
        bottom.plot(xs, corrected[i * n:(i + 1) * n], "o", color=colour,
                    label=f"O$_2$ {o2:g} %")
        bottom.plot(xs, uncorrected[i * n:(i + 1) * n], "x", color=colour)
    bottom.axhspan(-0.6, 0.6, color="green", alpha=0.08, label="±0.6 puntos")
    bottom.axhline(0, color="black", linewidth=0.8)
    bottom.plot([], [], "x", color="grey", label="sin sumar 60 °F")
    bottom.set_xlim(150, 650)
    bottom.set_xlabel("temperatura neta de humos, °F")
    bottom.set_ylabel("modelo − tabla, puntos")
    bottom.set_title(f"Diferencia: media {mean:.2f}, máxima {worst:.2f} puntos (círculos); "
                     "temperatura sin corregir (cruces)", fontsize=10)
    bottom.grid(True, alpha=0.3)
    bottom.legend(loc="upper left", fontsize=8, ncol=4)

    fig.savefig(CHART, dpi=100)
    print(f"\nwrote {CHART.relative_to(ROOT)}")
    gross_and_net_chart()


if __name__ == "__main__":
    main()
