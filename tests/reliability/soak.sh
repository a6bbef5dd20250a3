#!/usr/bin/env bash
# A long run of sphere-sim that checks, at the end, that nothing diverged or grew:
#   - every body is finite in the last frame of the trace;
#   - the alive count never rises from one frame to the next;
#   - the tree's peak node count stays below L per leaf ever inserted (one per body; L is 3 by
#     default; a sparse scene, where most leaves have a chain of five bounding nodes to
#     themselves, needs the structural bound 6: the leaf and one node per level);
#   - resident memory, sampled as each frame from the baseline frame M on ends, grows by less
#     than 5 % of its size at frame M, from the first ten samples to the last ten; only its
#     anonymous part (heap, stacks) is followed, since pages of the program's and libraries'
#     files come and go with the code that runs (unless --no-rss: under AddressSanitizer the
#     quarantine of freed memory makes it meaningless).
# Prints one line of figures; exits non-zero with a message when a check fails.
#
# Usage: soak.sh SPHERE_SIM [--frames F] [--bodies N] [--seed S] [--keys-every P]
#                           [--rss-after M] [--no-rss] [--nodes-per-leaf L] [--work DIR]
#   --keys-every P  every P frames: pause, resume, turn and move the camera, recall with "b"
#   --rss-after M   the baseline frame, below F (default 1000)
#   --work DIR      keep trace.csv, frames.csv and rss.csv (frame, resident kB, anonymous kB)
set -euo pipefail

usage() {
    awk 'NR == 1 { next } !/^#/ { exit } { sub(/^# ?/, ""); print }' "$0"
}

if [ $# -lt 1 ] || [ "$1" = "--help" ]; then
    usage
    [ $# -ge 1 ] && exit 0
    exit 2
fi
sim=$1
shift
frames=20000 bodies=100 seed=1 keysEvery=0 rssAfter=1000 perLeafLimit=3 checkRss=1 work=""
while [ $# -gt 0 ]; do
    if [ "$1" = "--no-rss" ]; then
        checkRss=0
        shift
        continue
    fi
    [ $# -ge 2 ] || { echo "soak.sh: $1 needs a value" >&2; exit 2; }
    case $1 in
    --frames) frames=$2 ;;
    --bodies) bodies=$2 ;;
    --seed) seed=$2 ;;
    --keys-every) keysEvery=$2 ;;
    --rss-after) rssAfter=$2 ;;
    --nodes-per-leaf) perLeafLimit=$2 ;;
    --work) work=$2 ;;
    *) echo "soak.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
    shift 2
done
for value in "$frames" "$bodies" "$seed" "$keysEvery" "$rssAfter" "$perLeafLimit"; do
    [[ $value =~ ^[0-9]+$ ]] || { echo "soak.sh: '$value' is not a whole number" >&2; exit 2; }
done
[ -x "$sim" ] || { echo "soak.sh: $sim is not an executable" >&2; exit 2; }
if [ "$checkRss" -eq 1 ] && [ "$rssAfter" -ge "$frames" ]; then
    echo "soak.sh: --rss-after $rssAfter leaves no frame of the $frames to sample" >&2
    exit 2
fi
if [ -z "$work" ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"

# The key script: a pause of a few frames, camera turns and moves, then the recall of the first
# bodies halfway through each period. Presses are listed in frame order.
keys=""
if [ "$keysEvery" -gt 0 ]; then
    half=$((keysEvery / 2))
    for ((k = keysEvery; k + keysEvery <= frames; k += keysEvery)); do
        keys+="$k:space,$((k + 10)):space,$((k + 11)):s,$((k + 12)):w,$((k + 13)):X,"
        keys+="$((k + 14)):z,$((k + 15)):q,$((k + half)):b,$((k + half + 1)):S,"
    done
    keys=${keys%,}
fi

# Both tables go through FIFOs, which sphere-sim writes directly, each frame as it ends: the
# frames table is read here, so resident memory is sampled at known frames, and the trace is
# copied to a file. (A regular file would sit in the program's 1 MiB buffer until the end, and a
# buffer filling up adds resident pages that say nothing about the run.)
mkfifo "$work/frames.fifo" "$work/trace.fifo"
args=(--frames "$frames" --bodies "$bodies" --seed "$seed" --every "$frames"
    --trace "$work/trace.fifo" --frames-out "$work/frames.fifo")
[ -n "$keys" ] && args+=(--keys "$keys")

"$sim" "${args[@]}" 2>"$work/summary.txt" &
pid=$!
cat "$work/trace.fifo" >"$work/trace.csv" &
copier=$!
# A reader waits in open() until sphere-sim opens its FIFO; should sphere-sim end before that,
# opening both once here lets the readers see the end.
(
    while read -r _ _ state _ <"/proc/$pid/stat" && [ "$state" != Z ]; do
        sleep 0.1
    done 2>/dev/null
    : <>"$work/frames.fifo"
    : <>"$work/trace.fifo"
) &
guard=$!

# Resident and anonymous memory (pages in /proc/PID/statm: resident, and resident less those of
# files) as the row of each frame from the baseline frame on arrives, into rss.csv. sphere-sim
# may be ahead of the row by the rows waiting in the pipe, some hundreds at most in an empty
# scene's fast frames, so a sample can come from its exit, where file pages grow. The last frame
# is left out: it writes the trace's second batch of rows, whose longer numbers fill more of the
# output buffer than the first batch did (228 kB more for 10 000 bodies), output and not growth.
# mawk reads a pipe in whole buffers unless told otherwise; gawk takes each row as it comes.
sampler=(awk)
command -v mawk >/dev/null && sampler=(mawk -W interactive)
: >"$work/rss.csv"
# shellcheck disable=SC2016 # the quoted text is awk's program
"${sampler[@]}" -F, -v statm="/proc/$pid/statm" -v from="$rssAfter" -v last="$frames" \
    -v check="$checkRss" -v kb=$(($(getconf PAGESIZE) / 1024)) -v samples="$work/rss.csv" '
    { print }
    check && $1 ~ /^[0-9]+$/ && $1 + 0 >= from && $1 + 0 < last {
        # Zero, or no file, once sphere-sim has ended.
        if ((getline pages < statm) > 0 && split(pages, field, " ") > 2 && field[2] > 0) {
            print $1 "," field[2] * kb "," (field[2] - field[3]) * kb > samples
        }
        close(statm)
    }' <"$work/frames.fifo" >"$work/frames.csv"
status=0
wait "$pid" || status=$?
wait "$copier" || true
wait "$guard" || true

fail() {
    echo "soak.sh: FAILED ($frames frames, $bodies bodies, seed $seed): $*" >&2
    cat "$work/summary.txt" >&2
    exit 1
}

[ "$status" -eq 0 ] || fail "sphere-sim exited with status $status"

# Every body of the last traced frame is finite.
rows=$(awk -F, -v f="$frames" '$1 == f' "$work/trace.csv" | wc -l)
[ "$rows" -eq "$bodies" ] || fail "the trace has $rows rows for frame $frames, not $bodies"
bad=$(awk -F, -v f="$frames" '$1 == f && tolower($0) ~ /nan|inf/' "$work/trace.csv" | head -1)
[ -z "$bad" ] || fail "a body is not finite at the end: $bad"

# The alive count never rises.
read -r firstAlive lastAlive rise < <(awk -F, 'NR > 1 {
        if (NR == 2) first = $3
        if (NR > 2 && $3 > prev && rise == "") rise = "frame " $1 ": " prev " -> " $3
        prev = $3
    } END { print first, prev, (rise == "" ? "-" : rise) }' "$work/frames.csv")
[ "$rise" = "-" ] || fail "the alive count rose at $rise"

# Peak tree nodes below the limit per leaf ever inserted.
nodes=$(sed -n 's/.*peak tree nodes \([0-9]*\).*/\1/p' "$work/summary.txt")
[ -n "$nodes" ] || fail "no summary line on standard error"
[ "$nodes" -lt $((perLeafLimit * bodies)) ] ||
    fail "peak tree nodes $nodes, not below $perLeafLimit x $bodies"

# Memory after the baseline frame: the anonymous part's level at the end against its level at
# the start, each the lowest of ten samples, so that a sample taken while a frame holds its
# temporary blocks (up to 300 kB with 10 000 bodies) counts for neither; a leak raises both
# the level and the peaks. The limit is a share of the resident size at the baseline frame.
memory="RSS not checked"
if [ "$checkRss" -eq 1 ]; then
    read -r resident start end samples < <(awk -F, -v from="$rssAfter" -v window=10 '
        NR == 1 && $1 == from { resident = $2 }
        { anonymous[NR] = $3 }
        END {
            start = end = -1
            for (i = 1; i <= NR; i++) {
                if (i <= window && (start < 0 || anonymous[i] < start)) start = anonymous[i]
                if (i > NR - window && (end < 0 || anonymous[i] < end)) end = anonymous[i]
            }
            print resident + 0, start, end, NR
        }' "$work/rss.csv")
    [ "$resident" -gt 0 ] || fail "resident memory was not sampled at frame $rssAfter"
    growth=$(awk -v r="$resident" -v s="$start" -v e="$end" \
        'BEGIN { printf "%+d kB, %+.2f %%", e - s, (e - s) * 100 / r }')
    memory="RSS at frame $rssAfter $resident kB, anonymous $start kB -> $end kB in $samples"
    memory+=" samples ($growth)"
    awk -v r="$resident" -v s="$start" -v e="$end" 'BEGIN { exit !((e - s) * 100 < r * 5) }' ||
        fail "anonymous memory grew by 5 % of the resident size or more: $memory"
fi

msPerFrame=$(sed -n 's/.* \([0-9.]*\) ms\/frame mean.*/\1/p' "$work/summary.txt")
perLeaf=$(awk -v n="$nodes" -v b="$bodies" 'BEGIN { printf "%.2f", n / b }')
echo "soak: $frames frames, $bodies bodies, seed $seed, keys every $keysEvery: alive" \
    "$firstAlive -> $lastAlive, peak nodes $nodes ($perLeaf per leaf), $memory, $msPerFrame" \
    "ms/frame"
