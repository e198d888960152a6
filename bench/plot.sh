#!/bin/sh
# Draws the scaling runs of a benchmark JSON file (ssh_msg_def_bench
# --benchmark_out=FILE --benchmark_out_format=json) as a PNG: the CPU time of
# each further port of a PortList and of each further string byte of a
# FileTrans, counted from the smallest record of the run,
# (t(n) - t(1)) / (units(n) - units(1)), for each operation and its floors.
# Flat lines mean the total cost grows linearly with what the record carries;
# fixed costs (one list, one string copy) are left out by the subtraction.
#
# Usage: bench/plot.sh BENCH_JSON OUTPUT_PNG
set -eu
[ $# -eq 2 ] || { echo "usage: $0 BENCH_JSON OUTPUT_PNG" >&2; exit 2; }
json=$1 png=$2
for tool in jq gnuplot; do
    command -v $tool >/dev/null || { echo "plot.sh: $tool is not installed (scripts/deps.sh bench)" >&2; exit 1; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# One data block per operation: units, ns per unit above the first point, for
# the points from argument 3 on.
extract() {
    # With --benchmark_repetitions, the fastest repetitions; otherwise the single runs.
    jq -r --arg kind "$1" '(if any(.benchmarks[]; .aggregate_name == "min") then "min" else null end) as $agg
        | .benchmarks[] | select(.aggregate_name == $agg)
        | (.run_name | split("/")) as $p | select($p[0] == "Scaling" and $p[1] == $kind)
        | "\($p[2]) \($p[3]) \(.cpu_time)"' "$json" |
        awk -v per="$2" -v from="$3" '
            !($1 in base) { base[$1] = $3; first[$1] = $2; next }
            { op[$1] = op[$1] " " $2 ":" $3; if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 } }
            END {
                for (i = 1; i <= n; ++i) {
                    o = order[i]
                    if (!(o in base)) continue
                    printf "\"%s\"\n", o
                    k = split(op[o], pts, " ")
                    for (j = 1; j <= k; ++j) {
                        split(pts[j], v, ":")
                        if (v[1] < from) continue
                        printf "%d %g\n", v[1] * per, (v[2] - base[o]) / ((v[1] - first[o]) * per)
                    }
                    printf "\n\n"
                }
            }'
}
# Strings below 256 bytes add too little time to tell a cost per byte from noise.
extract PortList 1 1 >"$tmp/ports.dat"
extract FileTransBytes 2 256 >"$tmp/bytes.dat"
# A run filtered down to other benchmarks has nothing to draw; that is no error.
if [ ! -s "$tmp/ports.dat" ] || [ ! -s "$tmp/bytes.dat" ]; then
    echo "plot.sh: $json lacks the scaling runs, no plot drawn"
    exit 0
fi

machine=$(jq -r '.context | "\(.num_cpus) x \(.mhz_per_cpu) MHz"' "$json")
gnuplot <<EOF
set terminal pngcairo size 1200,500 font "sans,10"
set output "$png"
set multiplot layout 1,2 title "CPU time per further unit ($machine)"
set logscale x 2
set logscale y 10
set grid
set key top right
set xlabel "ports in the list"
set ylabel "ns per port"
set title "PortList: n ports"
plot for [i=0:3] "$tmp/ports.dat" index i using 1:2 with linespoints title columnheader(1)
set xlabel "string bytes (two strings of n/2 bytes)"
set ylabel "ns per byte"
set title "FileTrans: two strings"
plot for [i=0:3] "$tmp/bytes.dat" index i using 1:2 with linespoints title columnheader(1)
unset multiplot
EOF
echo "plot.sh: wrote $png"
