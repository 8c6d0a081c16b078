#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Throughput and peak memory of quemador1-calc --csv on a synthetic log of ROWS
# readings (default 1,000,000; natural gas, O2 1-10 %, matching CO2, 250-600 °F),
# beside peers doing the same calculation on the same file: a mawk one-liner, a Python
# csv script and a pandas script (Debian's python3-pandas), and the same log as a
# Spanish Excel saves it (Windows-1252, ';', decimal commas). The programs take turns,
# RUNS rounds (default 5); the program on one thread and on two (--hilos); the best wall
# and CPU (user + system) times and the largest peak resident memory (GNU time's %M)
# are shown. Then the CSV reader alone beside libcsv (Debian's libcsv-dev). The floor
# (bench/floor.cpp: a plain loop with the same checks and model, byte-identical output)
# and the floor without its checks run too, and with BASELINE set to another build's
# quemador1-calc, that build on the same log: the program's own earlier figures,
# measured in the same rounds.
# Rates and ratios use the best CPU time, which other work on a shared machine inflates
# least. Needs the bench build.
# Usage: [BASELINE=old/quemador1-calc] bench/csv_throughput.sh [rows] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-1000000}
runs=${2:-5}
calc=build/bench/cli/quemador1-calc
floor=build/bench/bench/floor
[ -x "$calc" ] && [ -x "$floor" ] ||
  { echo "build it first: cmake --preset bench && cmake --build --preset bench" >&2; exit 2; }
baseline=${BASELINE:-}
export LC_ALL=C

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log="$work/log.csv"
mawk -v rows="$rows" 'BEGIN {
  srand(1); print "O2,CO2,Temperatura"
  for (i = 0; i < rows; i++) {
    o2 = 1 + 9 * rand(); co2 = 11.8 * (20.9 - o2) / 20.9 + (rand() - 0.5)
    printf "%.2f,%.2f,%.1f\n", o2, co2, 250 + 350 * rand()
  }
}' > "$log"
size_mb=$(awk -v b="$(stat -c %s "$log")" 'BEGIN { printf "%.1f", b / 1e6 }')
echo "log: $rows rows, $size_mb MB"

# The natural-gas model in awk, in the same order of operations.
awk_model='NR == 1 { print $0 ",exceso_aire,eficiencia"; next }
{ o2 = $1; ea = o2 * (4.5557 - o2 * 0.026942) / (1 - o2 * 0.0476)
  pe = -(10 ^ (1.66403 + ea * -0.0025767)); tl = 10 ^ (3.6226 + ea * -0.0025225)
  printf "%s,%.2f,%.2f\n", $0, ea, ($3 - tl) * (1 / pe) }'

# The same log as a Spanish Excel saves it: Windows-1252, ';' and decimal commas.
log1252="$work/log-1252.csv"
{ printf 'O2;CO2;Temperatura (\260F)\r\n'; tail -n +2 "$log" | tr ',.' ';,' | sed 's/$/\r/'; } > "$log1252"

names=(quemador1-calc quemador1-calc-2 quemador1-calc-1252 floor floor-unchecked mawk python-csv
       pandas)
declare -A inputs=([quemador1-calc]=$log [quemador1-calc-2]=$log [quemador1-calc-1252]=$log1252
                   [mawk]=$log [python-csv]=$log [pandas]=$log [floor]=$log
                   [floor-unchecked]=$log [baseline]=$log)
[ -n "$baseline" ] && names+=(baseline)
command_of() {
  case $1 in
    quemador1-calc|quemador1-calc-1252) echo "$calc --csv - --combustible gas --hilos 1" ;;
    quemador1-calc-2) echo "$calc --csv - --combustible gas --hilos 2" ;;
    floor) echo "$floor" ;;
    floor-unchecked) echo "$floor --unchecked" ;;
    baseline) echo "$baseline --csv - --combustible gas" ;;
    mawk) echo "mawk -F, \"\$awk_model\"" ;;
    python-csv) echo "/usr/bin/python3 bench/csv_peer.py" ;;
    pandas) echo "/usr/bin/python3 bench/csv_pandas.py" ;;
  esac
}
declare -A walls cpus rss
# Times to the millisecond from the shell (GNU time gives hundredths), the peak memory
# from GNU time.
TIMEFORMAT='%3R %3U %3S'
# The programs take turns, round after round, so that a busy moment of a shared
# machine does not fall on one of them only.
for _ in $(seq "$runs"); do
  for name in "${names[@]}"; do
    { time eval "/usr/bin/time -f %M -o '$work/rss' $(command_of "$name")" \
        < "${inputs[$name]}" > "$work/$name.out" 2>/dev/null || true; } 2> "$work/time"
    read -r wall user sys < "$work/time"
    read -r kib < "$work/rss"
    walls[$name]+="$wall "
    cpus[$name]+="$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }') "
    [ "$kib" -gt "${rss[$name]:-0}" ] && rss[$name]=$kib
  done
done
best() { printf '%s\n' $1 | sort -n | head -n1; }

echo "program                wall       CPU     rows per CPU second   peak RSS"
for name in "${names[@]}"; do
  wall=$(best "${walls[$name]}"); cpu=$(best "${cpus[$name]}")
  echo "$cpu" > "$work/$name.cpu"
  printf '%-20s %6.3f s %6.3f s %7.2f M rows/s %7.1f MB/s %7.1f MiB\n' "$name" "$wall" "$cpu" \
    "$(awk -v r="$rows" -v t="$cpu" 'BEGIN { print r / t / 1e6 }')" \
    "$(awk -v s="$size_mb" -v t="$cpu" 'BEGIN { print s / t }')" \
    "$(awk -v k="${rss[$name]}" 'BEGIN { print k / 1024 }')"
done

# All agree on every efficiency to the hundredth (the peers round with printf), and
# the Windows-1252 run gives the same texts as the UTF-8 one.
paste -d, <(cut -d, -f5 "$work/quemador1-calc.out") <(cut -d, -f5 "$work/mawk.out") \
  <(cut -d, -f5 "$work/python-csv.out") <(cut -d, -f5 "$work/pandas.out") \
  <(cut -d';' -f5 "$work/quemador1-calc-1252.out" | tr -d '\r' | tr , .) |
  awk -F, 'NR > 1 && (($1 - $2) > 0.011 || ($2 - $1) > 0.011 || $2 != $3 || $3 != $4 ||
    $1 != $5) { bad++ } END { if (bad) { print bad " rows differ"; exit 1 } print "results agree" }'
cmp -s "$work/quemador1-calc.out" "$work/floor.out" || { echo "the floor's output differs"; exit 1; }
cmp -s "$work/quemador1-calc.out" "$work/quemador1-calc-2.out" ||
  { echo "the output on two threads differs"; exit 1; }
ratio() { awk -v a="$(cat "$work/$1.cpu")" -v c="$(cat "$work/$2.cpu")" 'BEGIN { printf "%.2f", a / c }'; }
echo "by CPU time, quemador1-calc is $(ratio mawk quemador1-calc)x faster than mawk," \
  "$(ratio python-csv quemador1-calc)x faster than the Python csv script and" \
  "$(ratio pandas quemador1-calc)x faster than pandas;" \
  "the Windows-1252 log takes $(ratio quemador1-calc-1252 quemador1-calc)x the UTF-8 one's time"
echo "quemador1-calc takes $(ratio quemador1-calc floor)x the floor's CPU time" \
  "and $(ratio quemador1-calc floor-unchecked)x that of the floor without its checks" \
  "(load average $(cut -d' ' -f1-3 /proc/loadavg))"
[ -n "$baseline" ] && echo "and $(ratio quemador1-calc baseline)x that of $baseline"
wall_ratio() { awk -v a="$(best "${walls[$1]}")" -v c="$(best "${walls[$2]}")" 'BEGIN { printf "%.2f", a / c }'; }
echo "on two threads it takes $(wall_ratio quemador1-calc-2 quemador1-calc)x the wall time of one" \
  "and $(ratio quemador1-calc-2 quemador1-calc)x its CPU time"

# The reader alone beside libcsv, on the same log.
readers=build/bench/bench/csv_readers
[ -x "$readers" ] && "$readers" "$log" "$runs"
