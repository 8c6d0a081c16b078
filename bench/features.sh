#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What grouping and the chart add to a log's reading: a synthetic log of ROWS readings
# (default 1,000,000) of three boilers over a year, with a date column, read by
# quemador1-calc on one thread with --agrupar ninguno, caldera and mes and with
# --grafico, taking turns for RUNS rounds (default 5). Shows each one's best CPU time
# (user + system) and its ratio to --agrupar ninguno. Needs the bench build.
# Usage: bench/features.sh [rows] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-1000000}
runs=${2:-5}
calc=build/bench/cli/quemador1-calc
[ -x "$calc" ] || { echo "build it first: cmake --preset bench && cmake --build --preset bench" >&2; exit 2; }
export LC_ALL=C

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log="$work/log.csv"
mawk -v rows="$rows" 'BEGIN {
  srand(1); print "Fecha,Caldera,O2,CO2,Temperatura"
  split("Norte Sur Este", boilers, " "); start = 1767225600 # 2026-01-01
  for (i = 0; i < rows; i++) {
    t = start + int(i * 31536000 / rows); o2 = 1 + 9 * rand()
    co2 = 11.8 * (20.9 - o2) / 20.9 + (rand() - 0.5)
    printf "%s,%s,%.2f,%.2f,%.1f\n", strftime("%Y-%m-%d %H:%M", t, 1), boilers[i % 3 + 1], o2, co2,
      250 + 350 * rand()
  }
}' > "$log"
echo "log: $rows rows, $(stat -c %s "$log") bytes"

names=(ninguno caldera mes grafico)
command_of() {
  case $1 in
    grafico) echo "$calc --csv $log -c gas --hilos 1 --agrupar ninguno --grafico $work/chart.svg" ;;
    *) echo "$calc --csv $log -c gas --hilos 1 --agrupar $1" ;;
  esac
}
declare -A cpus
TIMEFORMAT='%3U %3S'
for _ in $(seq "$runs"); do
  for name in "${names[@]}"; do
    { time $(command_of "$name") > /dev/null 2>&1 || true; } 2> "$work/time"
    read -r user sys < "$work/time"
    cpus[$name]+="$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }') "
  done
done
best() { printf '%s\n' $1 | sort -n | head -n1; }
none=$(best "${cpus[ninguno]}")
for name in "${names[@]}"; do
  cpu=$(best "${cpus[$name]}")
  printf '%-10s %6.3f s CPU  %+5.1f %%\n' "$name" "$cpu" \
    "$(awk -v a="$cpu" -v b="$none" 'BEGIN { print (a / b - 1) * 100 }')"
done
echo "(load average $(cut -d' ' -f1-3 /proc/loadavg))"
