#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A straightforward Python peer of quemador1-calc --csv for natural gas: reads a CSV
log (O2, CO2, temperature in °F) with the csv module and appends the excess air and
the efficiency, to hundredths. Used by bench/csv_throughput.sh."""
import csv
import sys


def main():
    reader = csv.reader(sys.stdin)
    writer = csv.writer(sys.stdout, lineterminator="\n")
    header = next(reader)
    writer.writerow(header + ["exceso_aire", "eficiencia"])
    for row in reader:
        o2, temp = float(row[0]), float(row[2])
        excess_air = o2 * (4.5557 - o2 * 0.026942) / (1 - o2 * 0.0476)
        slope = -(10 ** (1.66403 + excess_air * -0.0025767))
        limit = 10 ** (3.6226 + excess_air * -0.0025225)
        efficiency = (temp - limit) * (1 / slope)
        writer.writerow(row + [f"{excess_air:.2f}", f"{efficiency:.2f}"])


if __name__ == "__main__":
    main()
