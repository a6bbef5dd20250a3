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
#   tools/plot.sh table RESULTS.csv VISITS.csv  the Markdown table of docs/benchmarks.md, from
#                                             the results of sphere-bench and sphere-bench-visits
#   tools/plot.sh --help                      this text
#
# A chart is written to a temporary file beside OUT.png and renamed when gnuplot succeeds, so a
# failed run leaves an existing OUT.png as it was. Exit status: 0 done, 2 bad arguments, 1 gnuplot
# failed.
set -euo pipefail

usage() {
    sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'
}

if [ "${1:-}" = --help ] || [ "${1:-}" = -h ]; then
    usage
    exit 0
fi
[ $# -eq 3 ] || { usage >&2; exit 2; }
kind=$1
input=$2
output=$3
[ -r "$input" ] || { echo "plot.sh: cannot read '$input'" >&2; exit 2; }

# Checks OUT.png before gnuplot runs: gnuplot that cannot open its output writes the PNG's bytes
# to standard output instead.
check_output() {
    local folder
    folder=$(dirname -- "$output")
    if [ -d "$output" ]; then
        echo "plot.sh: cannot write '$output': it is a directory" >&2
        exit 2
    elif [ ! -d "$folder" ]; then
        echo "plot.sh: cannot write '$output': no folder '$folder'" >&2
        exit 2
    elif [ ! -w "$folder" ] || [ ! -x "$folder" ] || { [ -e "$output" ] && [ ! -w "$output" ]; }; then
        echo "plot.sh: cannot write '$output': permission denied" >&2
        exit 2
    fi
}

# Runs gnuplot on the script on standard input with the output set to a temporary file, which
# replaces OUT.png only if gnuplot made it; gnuplot's standard output never reaches a terminal.
plot() {
    local partial
    partial=$(mktemp "$output.tmp-XXXXXX")
    if { echo "set output \"$partial\""; cat; } | gnuplot >/dev/null && [ -s "$partial" ]; then
        # mktemp makes the file private: give it the mode the replaced or a new file would have.
        if [ -e "$output" ]; then
            chmod --reference="$output" -- "$partial"
        else
            chmod "$(printf '%o' $((0666 & ~$(umask))))" -- "$partial"
        fi
        mv -f -- "$partial" "$output"
    else
        rm -f -- "$partial"
        echo "plot.sh: gnuplot failed; '$output' is unchanged" >&2
        exit 1
    fi
}

if [ "$kind" = table ]; then
    [ -r "$output" ] || { echo "plot.sh: cannot read '$output'" >&2; exit 2; }
    # Minimum rows of both files; columns found by the names in each file's header.
    awk -F, '
        function span(us) {
            if (us >= 1e6) return sprintf("%.2f s", us / 1e6)
            if (us >= 1e3) return sprintf("%.2f ms", us / 1e3)
            return sprintf("%.1f µs", us)
        }
        function nanos(ns) { return ns >= 1e3 ? sprintf("%.2f µs", ns / 1e3) : sprintf("%.0f ns", ns) }
        FNR == 1 { file++ }
        /^name,/ { for (i = 1; i <= NF; i++) { h = $i; gsub(/"/, "", h); col[file, h] = i }; next }
        {
            name = $1; gsub(/"/, "", name)
            if (name !~ /_min$/ && file == 1) next
            split(name, part, "/"); kind = part[1]; n = part[2] + 0
            unit = $(col[file, "time_unit"])
            scale = (unit == "ms") ? 1e3 : (unit == "us") ? 1 : (unit == "ns") ? 1e-3 : 1e6
            us = $(col[file, "real_time"]) * scale
            # A results file may hold several runs one after the other: the fastest counts.
            if (file == 1) {
                if (!((kind, n) in t) || us < t[kind, n]) t[kind, n] = us
                sizes[n] = 1
            }
            else {
                visits[n] = $(col[file, "sweep_visits_per_query"])
                nodes[n] = $(col[file, "tree_nodes_per_leaf"])
            }
        }
        END {
            print "| bodies | tree frame | per body | brute-force frame | per body | brute force / tree | nodes visited per sweep query | sweep query | per visit | tree nodes per leaf |"
            print "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
            count = 0
            for (n in sizes) list[++count] = n + 0
            for (i = 1; i <= count; i++) for (j = i + 1; j <= count; j++)
                if (list[j] < list[i]) { x = list[i]; list[i] = list[j]; list[j] = x }
            for (i = 1; i <= count; i++) {
                n = list[i]
                tree = t["TreeFrame", n]; brute = t["BruteForceFrame", n]
                query = t["SweepQueries", n] * 1000 / n
                printf "| %d | %s | %s | %s | %s | %s | %.0f | %s | %.1f ns | %.2f |\n", n,
                    span(tree), nanos(tree * 1000 / n),
                    brute ? span(brute) : "-", brute ? nanos(brute * 1000 / n) : "-",
                    brute ? sprintf("%.1f", brute / tree) : "-",
                    visits[n], nanos(query), visits[n] ? query / visits[n] : 0, nodes[n]
            }
        }' "$input" "$output"
    exit 0
fi
check_output
command -v gnuplot >/dev/null || { echo "plot.sh: gnuplot not found (apt-get install gnuplot-nox)" >&2; exit 2; }

case "$kind" in
frames)
    head -1 "$input" | grep -qxE 'frame,drawn,alive,contacts(,ms)?' ||
        { echo "plot.sh: '$input' is not a sphere-sim --frames-out file" >&2; exit 2; }
    plot <<GNUPLOT
set terminal pngcairo size 900,500 font ",11"
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
                v = $3 * scale / n
                if (!(n in best) || v < best[n]) best[n] = v
            }
            END { for (n in best) printf "%d %.6g\n", n, best[n] }' "$input" | sort -n >"$data.$bench"
    done
    [ -s "$data.TreeFrame" ] ||
        { echo "plot.sh: no TreeFrame minimum rows in '$input'" >&2; exit 2; }
    plot <<GNUPLOT
set terminal pngcairo size 900,500 font ",11"
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
