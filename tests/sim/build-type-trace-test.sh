#!/usr/bin/env bash
# Builds sphere-sim a second time with the other build type (Debug beside an optimised build,
# Release beside a Debug one) and checks that both write byte-identical traces.
#   build-type-trace-test.sh SOURCE_DIR WORK_DIR SPHERE_SIM BUILD_TYPE GENERATOR
set -euo pipefail

source_dir=$1
work=$2
sim=$3
this_type=${4:-Release}
generator=${5:-Unix Makefiles}

other_type=Debug
if [ "$this_type" = Debug ]; then
    other_type=Release
fi
other="$work/sphere-sim-$other_type"

# The second build is kept between runs, so only the first run pays for it.
cmake -S "$source_dir" -B "$other" -G "$generator" -DCMAKE_BUILD_TYPE="$other_type" \
    -DSPHERES_TESTS=OFF -DSPHERES_BENCHMARKS=OFF >"$work/configure-$other_type.log"
cmake --build "$other" --target sphere-sim -j2 >"$work/build-$other_type.log"

options=(--frames 300 --keys 120:b,200:space,210:space --quiet)
"$sim" "${options[@]}" --trace "$work/trace-$this_type.csv"
"$other/sim/sphere-sim" "${options[@]}" --trace "$work/trace-$other_type.csv"
cmp "$work/trace-$this_type.csv" "$work/trace-$other_type.csv"
rows=$(wc -l <"$work/trace-$this_type.csv")
[ "$rows" -eq 30101 ] || { echo "FAIL: $rows lines, expected 30101" >&2; exit 1; }
echo "PASS: $this_type and $other_type traces are identical ($rows lines)"
