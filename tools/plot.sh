#!/usr/bin/env bash
# Turns sphere-sim's per-frame table into a PNG chart with gnuplot (Debian package gnuplot-nox).
#
#   tools/plot.sh frames FRAMES.csv OUT.png   drawn, alive and contacts per frame
#                                             (from sphere-sim --frames-out FRAMES.csv)
#   tools/plot.sh --help                      this text
#
# The benchmark results' table and chart come from bench/chart.sh.
#
# The chart is written to a temporary file beside OUT.png and renamed when gnuplot succeeds, so a
# failed run leaves an existing OUT.png as it was. Exit status: 0 done, 2 bad arguments, 1 gnuplot
# failed.
set -euo pipefail

usage() {
    awk 'NR == 1 { next } !/^#/ { exit } { sub(/^# ?/, ""); print }' "$0"
}

if [ "${1:-}" = --help ] || [ "${1:-}" = -h ]; then
    usage
    exit 0
fi
[ $# -eq 3 ] || { usage >&2; exit 2; }
if [ "$1" != frames ]; then
    echo "plot.sh: no chart '$1'; the benchmark results' table and chart: bench/chart.sh" >&2
    exit 2
fi
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

check_output
command -v gnuplot >/dev/null || { echo "plot.sh: gnuplot not found (apt-get install gnuplot-nox)" >&2; exit 2; }

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
# Headroom above the highest count, so that a line at it (alive, at first every body) shows
# instead of lying on the top border.
set yrange [0:*]
set offsets 0, 0, graph 0.1, 0
set grid
set title "sphere-sim: bodies drawn and alive, collision responses per frame"
plot "$input" skip 1 using 1:2 with lines lw 2 title "drawn", \
     "" skip 1 using 1:3 with lines lw 2 title "alive", \
     "" skip 1 using 1:4 axes x1y2 with impulses lc rgb "#aa3333" title "contacts"
GNUPLOT
echo "wrote $output"
