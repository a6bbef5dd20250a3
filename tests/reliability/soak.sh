#!/usr/bin/env bash
# A long run of sphere-sim that checks, at the end, that nothing diverged or grew:
#   - every body is finite in the last frame of the trace;
#   - the alive count never rises from one frame to the next;
#   - the tree's peak node count stays below L per leaf ever inserted (one per body; L is 3 by
#     default; a sparse scene, where most leaves have a chain of five bounding nodes to
#     themselves, needs the structural bound 6: the leaf and one node per level);
#   - resident memory grows by less than 5 % after the baseline frame (unless --no-rss: under
#     AddressSanitizer the quarantine of freed memory makes resident memory meaningless).
# Prints one line of figures; exits non-zero with a message when a check fails.
#
# Usage: soak.sh SPHERE_SIM [--frames F] [--bodies N] [--seed S] [--keys-every P]
#                           [--rss-after M] [--no-rss] [--nodes-per-leaf L] [--work DIR]
#   --keys-every P  every P frames: pause, resume, turn and move the camera, recall with "b"
#   --rss-after M   the frame after which resident memory is taken as the baseline (default 1000)
set -euo pipefail

usage() {
    sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'
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

args=(--frames "$frames" --bodies "$bodies" --seed "$seed" --every "$frames"
    --trace "$work/trace.csv" --frames-out "$work/frames.csv")
[ -n "$keys" ] && args+=(--keys "$keys")

"$sim" "${args[@]}" 2>"$work/summary.txt" &
pid=$!

# Resident memory, sampled while the run goes on: the first sample once the baseline frame is
# written (the per-frame file, under its temporary name until the run ends, lags by at most one
# buffer), then the largest one after it.
baseline=0 peak=0 polls=0
while kill -0 "$pid" 2>/dev/null; do
    rss=""
    while read -r name value _; do
        [ "$name" = "VmRSS:" ] && rss=$value
    done <"/proc/$pid/status" 2>/dev/null || true
    if [ -n "$rss" ]; then
        # Counting lines forks, so it is done only every tenth poll and only until the baseline.
        if [ "$baseline" -eq 0 ] && [ $((polls++ % 10)) -eq 0 ] &&
            [ "$(cat "$work"/frames.csv.tmp-* 2>/dev/null | wc -l)" -gt "$rssAfter" ]; then
            baseline=$rss
        fi
        if [ "$baseline" -gt 0 ] && [ "$rss" -gt "$peak" ]; then
            peak=$rss
        fi
    fi
    sleep 0.01
done
status=0
wait "$pid" || status=$?

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

# Resident memory after the baseline frame.
growth="not sampled (the run ended before frame $rssAfter was seen)"
if [ "$checkRss" -eq 0 ]; then
    growth="not checked"
elif [ "$baseline" -gt 0 ]; then
    growth=$(awk -v b="$baseline" -v p="$peak" 'BEGIN { printf "%+.2f %%", (p - b) * 100 / b }')
    awk -v b="$baseline" -v p="$peak" 'BEGIN { exit !(p * 100 < b * 105) }' ||
        fail "resident memory grew from $baseline kB to $peak kB ($growth)"
fi

msPerFrame=$(sed -n 's/.* \([0-9.]*\) ms\/frame mean.*/\1/p' "$work/summary.txt")
perLeaf=$(awk -v n="$nodes" -v b="$bodies" 'BEGIN { printf "%.2f", n / b }')
echo "soak: $frames frames, $bodies bodies, seed $seed, keys every $keysEvery: alive" \
    "$firstAlive -> $lastAlive, peak nodes $nodes ($perLeaf per leaf), RSS after frame" \
    "$rssAfter ${baseline} kB -> peak ${peak} kB ($growth), $msPerFrame ms/frame"
