#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The peer an energy engineer would write with pandas: read_csv, the natural-gas model
on whole columns with numpy, to_csv with the results to hundredths. Reads the log on
standard input, writes it on standard output. Used by bench/csv_throughput.sh."""
import sys

import numpy as np
import pandas as pd


def main():
    log = pd.read_csv(sys.stdin)
    o2 = log["O2"].to_numpy()
    temp = log["Temperatura"].to_numpy()
    excess_air = o2 * (4.5557 - o2 * 0.026942) / (1 - o2 * 0.0476)
    slope = -np.power(10.0, 1.66403 + excess_air * -0.0025767)
    limit = np.power(10.0, 3.6226 + excess_air * -0.0025225)
    log["exceso_aire"] = excess_air
    log["eficiencia"] = (temp - limit) * (1 / slope)
    log.to_csv(sys.stdout, index=False, float_format="%.2f", lineterminator="\n")


if __name__ == "__main__":
    main()
