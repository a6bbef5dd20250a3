#!/usr/bin/env bash
# Turns sphere-sim's per-frame table and the benchmark results into PNG charts with gnuplot
# (Debian package gnuplot-nox).
#
#   tools/plot.sh frames FRAMES.csv OUT.png   drawn, alive and contacts per frame
#                                             (from sphere-sim --frames-out FRAMES.csv)
#   tools/plot.sh bench RESULTS.csv OUT.png   cost per body per frame against scene size, tree
#                                             and brute force (from sphere-bench
#                                             --benchmark_out=RESULTS.csv
#                                             --benchmark_out_format=csv)
set -euo pipefail

usage() {
    sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

[ $# -eq 3 ] || usage
kind=$1
input=$2
output=$3
[ -r "$input" ] || { echo "plot.sh: cannot read '$input'" >&2; exit 2; }
command -v gnuplot >/dev/null || { echo "plot.sh: gnuplot not found (apt-get install gnuplot-nox)" >&2; exit 2; }

case "$kind" in
frames)
    head -1 "$input" | grep -qx 'frame,drawn,alive,contacts' ||
        { echo "plot.sh: '$input' is not a sphere-sim --frames-out file" >&2; exit 2; }
    gnuplot <<GNUPLOT
set terminal pngcairo size 900,500 font ",11"
set output "$output"
set datafile separator ","
set key right center
set xlabel "frame"
set ylabel "bodies"
set y2label "contacts in the frame"
set y2tics
set ytics nomirror
set grid
set title "sphere-sim: bodies drawn and alive, collision responses per frame"
plot "$input" skip 1 using 1:2 with lines lw 2 title "drawn", \
     "" skip 1 using 1:3 with lines lw 2 title "alive", \
     "" skip 1 using 1:4 axes x1y2 with impulses lc rgb "#aa3333" title "contacts"
GNUPLOT
    ;;
bench)
    # Rows "Kind/N/iterations:I/repeats:R_min" -> "N ns-per-body" per kind.
    data=$(mktemp)
    trap 'rm -f "$data" "$data".*' EXIT
    for bench in TreeFrame BruteForceFrame; do
        awk -F, -v want="$bench" '
            { name = $1; gsub(/"/, "", name) }
            name ~ "^" want "/[0-9]+/.*_min$" {
                split(name, part, "/")
                n = part[2]
                scale = ($5 ~ /ms/) ? 1e6 : ($5 ~ /us/) ? 1e3 : ($5 ~ /ns/) ? 1 : 1e9
                printf "%d %.6g\n", n, $3 * scale / n
            }' "$input" | sort -n >"$data.$bench"
    done
    [ -s "$data.TreeFrame" ] ||
        { echo "plot.sh: no TreeFrame minimum rows in '$input'" >&2; exit 2; }
    gnuplot <<GNUPLOT
set terminal pngcairo size 900,500 font ",11"
set output "$output"
set logscale xy
set key top left
set xlabel "bodies"
set ylabel "nanoseconds per body per frame (minimum of repetitions)"
set grid
set title "One frame: sweep queries, responses, step and frustum query"
plot "$data.TreeFrame" using 1:2 with linespoints lw 2 pt 7 title "tree", \
     "$data.BruteForceFrame" using 1:2 with linespoints lw 2 pt 5 title "brute force"
GNUPLOT
    ;;
*)
    usage
    ;;
esac
echo "wrote $output"
