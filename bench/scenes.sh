#!/usr/bin/env bash
# The scene benchmarks' results as a Markdown table: for every scene and size, nanoseconds per
# body per frame of the tree on one thread and on all cores, btDbvt and the grid, the tree's time
# over each peer's, contacts per frame, the share of the one-thread frame spent in the World's
# step (integration and the tree's update), the share of queries walked again, and the query
# snapshot's bytes per body.
#
#   bench/scenes.sh RESULTS.csv [CHART.png]
#
# RESULTS.csv is sphere-bench --benchmark_filter=^Scene/ --benchmark_out=RESULTS.csv
# --benchmark_out_format=csv (the filter makes a tree benchmark the first, whose counters head
# the file); several runs appended to one file count with their fastest repetition.
# CLOCK=cpu_time reads the measuring thread's processor time instead of the wall-clock time.
# With CHART.png it also draws, with gnuplot, the one-thread tree, btDbvt and the grid for every
# scene and size (log scale), written to a temporary file and renamed when gnuplot succeeds.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ] || [ "$1" = --help ] || [ "$1" = -h ]; then
    awk 'NR == 1 { next } !/^#/ { exit } { sub(/^# ?/, ""); print }' "$0" >&2
    [ $# -eq 1 ] && exit 0
    exit 2
fi
[ -r "$1" ] || { echo "scenes.sh: cannot read '$1'" >&2; exit 2; }
chart=${2:-}
if [ -n "$chart" ] && [ ! -d "$(dirname "$chart")" ]; then
    echo "scenes.sh: no folder for '$chart'" >&2
    exit 2
fi
table=$(mktemp)
data=$(mktemp)
partial=${chart:+$chart.tmp-$$}
trap 'rm -f "$table" "$data" ${partial:+"$partial"}' EXIT

{
echo "| scene | bodies | tree | tree, all cores | btDbvt | grid | tree / btDbvt | tree / grid | contacts per frame | step share | walked again | snapshot bytes per body |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
awk -F, -v clock="${CLOCK:-real_time}" '
    /^name,/ { for (i = 1; i <= NF; i++) { h = $i; gsub(/"/, "", h); col[h] = i }; next }
    !/^"Scene\// || !/_min"?,/ { next }
    {
        name = $1; gsub(/"/, "", name); split(name, part, "/")
        scene = part[2]; structure = part[3]; n = part[4] + 0
        unit = $(col["time_unit"])
        scale = (unit == "ms") ? 1e6 : (unit == "us") ? 1e3 : (unit == "ns") ? 1 : 1e9
        ns = $(col[clock]) * scale / n
        key = scene SUBSEP n
        if (!((key, structure) in t) || ns < t[key, structure]) t[key, structure] = ns
        if (!(key in seen)) { seen[key] = 1; order[++rows] = key }
        if (structure == "tree") {
            contacts[key] = $(col["contacts_per_frame"])
            if ("update_share" in col) step[key] = $(col["update_share"])
            if ("requeried_share" in col) again[key] = $(col["requeried_share"])
            if ("snapshot_bytes_per_body" in col) bytes[key] = $(col["snapshot_bytes_per_body"])
        }
    }
    function cell(key, s) { return ((key, s) in t) ? sprintf("%.0f", t[key, s]) : "-" }
    function ratio(key, a, b) {
        return ((key, a) in t && (key, b) in t && t[key, b] > 0) ? sprintf("%.2f", t[key, a] / t[key, b]) : "-"
    }
    function share(v) { return v == "" ? "-" : sprintf("%.0f %%", 100 * v) }
    END {
        for (r = 1; r <= rows; r++) {
            key = order[r]; split(key, k, SUBSEP)
            printf "| %s | %d | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", k[1], k[2],
                cell(key, "tree"), cell(key, "tree-threads"), cell(key, "dbvt"), cell(key, "grid"),
                ratio(key, "tree", "dbvt"), ratio(key, "tree", "grid"), contacts[key],
                share(step[key]), share(again[key]), (key in bytes) ? sprintf("%.0f", bytes[key]) : "-"
        }
    }' "$1"
} >"$table"
cat "$table"

[ -n "$chart" ] || exit 0
# One line per scene and size: label, tree, btDbvt, grid.
awk -F'|' 'NR > 2 { gsub(/ /, ""); printf "%s/%dk %s %s %s\n", $2, $3 / 1000, $4, $6, $7 }' \
    "$table" >"$data"
gnuplot <<PLOT
set terminal pngcairo size 1100,500 font "sans,10" noenhanced
set output "$partial"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.8 border -1
set logscale y
set ylabel "ns per body per frame (${CLOCK:-real_time})"
set xtics rotate by -45 nomirror
set key top left
set grid ytics
plot "$data" using 2:xtic(1) title "tree (one thread)", "" using 3 title "btDbvt", "" using 4 title "grid"
PLOT
mv "$partial" "$chart"
