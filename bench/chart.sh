#!/usr/bin/env bash
# The frame benchmark's results as a Markdown table or a PNG chart (gnuplot, Debian gnuplot-nox).
#
#   bench/chart.sh table RESULTS.csv        nanoseconds per body per frame, and contacts per
#                                           frame, of every frame benchmark at every size
#   bench/chart.sh png RESULTS.csv OUT.png  the same figures against scene size, log-log
#
# RESULTS.csv is sphere-bench --benchmark_out=RESULTS.csv --benchmark_out_format=csv; several
# runs appended to one file count with their fastest repetition. CLOCK=cpu_time charts the
# measuring thread's processor time instead of the wall-clock time (for a busy machine).
set -euo pipefail

usage() {
    awk 'NR == 1 { next } !/^#/ { exit } { sub(/^# ?/, ""); print }' "$0" >&2
    exit 2
}
[ $# -ge 2 ] || usage
kind=$1
input=$2
[ -r "$input" ] || { echo "chart.sh: cannot read '$input'" >&2; exit 2; }

series="LiteralFrame SnapshotFrame BatchedFrame BatchedFrameAllCores DbvtFrame GridFrame BruteForceFrame"

# One line per size: bodies, then ns per body per frame of each series ("-" where not run),
# then contacts per frame of the batched frame, btDbvt and the grid.
figures() {
    awk -F, -v series="$series" -v clock="${CLOCK:-real_time}" '
        /^name,/ { for (i = 1; i <= NF; i++) { h = $i; gsub(/"/, "", h); col[h] = i }; next }
        !/_min"?,/ { next }
        {
            name = $1; gsub(/"/, "", name); split(name, part, "/"); s = part[1]; n = part[2] + 0
            unit = $(col["time_unit"])
            scale = (unit == "ms") ? 1e6 : (unit == "us") ? 1e3 : (unit == "ns") ? 1 : 1e9
            ns = $(col[clock]) * scale / n
            if (!((s, n) in t) || ns < t[s, n]) t[s, n] = ns
            c[s, n] = $(col["contacts_per_frame"]); sizes[n] = 1
        }
        END {
            count = split(series, names, " ")
            for (n in sizes) list[++m] = n + 0
            for (i = 1; i <= m; i++) for (j = i + 1; j <= m; j++)
                if (list[j] < list[i]) { x = list[i]; list[i] = list[j]; list[j] = x }
            for (i = 1; i <= m; i++) {
                n = list[i]; line = n
                for (k = 1; k <= count; k++) line = line " " (((names[k], n) in t) ? sprintf("%.0f", t[names[k], n]) : "-")
                line = line " " c["BatchedFrame", n] " " c["DbvtFrame", n] " " c["GridFrame", n]
                print line
            }
        }' "$input"
}

case "$kind" in
table)
    echo "| bodies | literal | snapshot | batched, 1 thread | batched, all cores | btDbvt | grid | brute force | batched / btDbvt | contacts per frame: tree, btDbvt, grid |"
    echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|"
    figures | awk '{
        ratio = ($6 != "-" && $4 != "-") ? sprintf("%.2f", $4 / $6) : "-"
        printf "| %d | %s | %s | %s | %s | %s | %s | %s | %s | %s, %s, %s |\n", $1, $2, $3, $4, $5, $6, $7, $8, ratio, $9, $10, $11
    }'
    ;;
png)
    [ $# -eq 3 ] || usage
    command -v gnuplot >/dev/null || { echo "chart.sh: gnuplot not found" >&2; exit 2; }
    data=$(mktemp)
    trap 'rm -f "$data"' EXIT
    figures | sed 's/ - / NaN /g; s/ - / NaN /g; s/ -$/ NaN/' >"$data"
    # Processor time says nothing about the threads' wall-clock gain: that series is left out.
    ylabel="nanoseconds per body per frame"
    columns="2:tree, literal walk|3:tree, snapshot|4:tree, batched, 1 thread|5:tree, batched, all cores|6:btDbvt|7:uniform grid|8:brute force"
    if [ "${CLOCK:-real_time}" = cpu_time ]; then
        ylabel="$ylabel (processor time)"
        columns=${columns/|5:tree, batched, all cores/}
    fi
    plot=""
    IFS='|' read -ra pairs <<<"$columns"
    for pair in "${pairs[@]}"; do
        plot+="${plot:+, }\"$data\" using 1:${pair%%:*} with linespoints title \"${pair#*:}\""
    done
    gnuplot <<GNUPLOT
set terminal pngcairo size 900,560 font ",11"
set output "$3"
set logscale xy
set xlabel "bodies"
set ylabel "$ylabel"
set key top left
set grid
set datafile missing "NaN"
plot $plot
GNUPLOT
    ;;
*)
    usage
    ;;
esac
