#!/usr/bin/env bash
# Throughput and peak memory of quemador1-calc --csv on a synthetic log of ROWS
# readings (default 1,000,000; natural gas, O2 1-10 %, matching CO2, 250-600 °F),
# beside two peers doing the same calculation on the same file: a mawk one-liner and
# a Python csv script. Each program runs RUNS times (default 5); the best wall and CPU
# (user + system) times and the largest peak resident memory (GNU time's %M) are shown.
# Rates and ratios use the best CPU time, which other work on a shared machine inflates
# least. Needs the bench build.
# Usage: bench/csv_throughput.sh [rows] [runs]
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

measure() { # name, output file, command...
  local name=$1 out=$2; shift 2
  local walls=() cpus=() rss=0
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" < "$log" > "$out" 2>/dev/null || true
    read -r wall user sys kib < "$work/time"
    walls+=("$wall"); cpus+=("$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')")
    [ "$kib" -gt "$rss" ] && rss=$kib
  done
  local wall cpu
  wall=$(best "${walls[@]}"); cpu=$(best "${cpus[@]}")
  printf '%-15s %6.2f s %6.2f s %7.2f M rows/s %7.1f MB/s %7.1f MiB\n' "$name" "$wall" "$cpu" \
    "$(awk -v r="$rows" -v t="$cpu" 'BEGIN { print r / t / 1e6 }')" \
    "$(awk -v s="$size_mb" -v t="$cpu" 'BEGIN { print s / t }')" \
    "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')"
  echo "$cpu" > "$work/$name.cpu"
}
best() { printf '%s\n' "$@" | sort -n | head -n1; }

echo "program          wall    CPU    rows per CPU second   peak RSS"
measure quemador1-calc "$work/calc.csv" "$calc" --csv - --combustible gas
measure mawk "$work/awk.csv" mawk -F, "$awk_model"
measure python-csv "$work/py.csv" /usr/bin/python3 bench/csv_peer.py

# The three agree on every efficiency to the hundredth (the peers round with printf).
paste -d, <(cut -d, -f5 "$work/calc.csv") <(cut -d, -f5 "$work/awk.csv") \
  <(cut -d, -f5 "$work/py.csv") | awk -F, 'NR > 1 && (($1 - $2) > 0.011 || ($2 - $1) > 0.011 ||
    ($2 != $3)) { bad++ } END { if (bad) { print bad " rows differ"; exit 1 } print "results agree" }'
ratio() { awk -v a="$(cat "$work/$1.cpu")" -v c="$(cat "$work/quemador1-calc.cpu")" 'BEGIN { printf "%.1f", a / c }'; }
echo "by CPU time, quemador1-calc is $(ratio mawk)x faster than mawk and $(ratio python-csv)x faster than the Python csv script"
