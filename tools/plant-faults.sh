#!/usr/bin/env bash
# Plants single-line faults one at a time, rebuilds and runs the fast tests against each, and
# reports which faults the tests catch. Every planted file is restored after its run, also when
# the script is interrupted.
#
#   tools/plant-faults.sh BUILD_DIR [FAULT_LIST]
#
# BUILD_DIR is a configured build tree of this checkout. FAULT_LIST (default tools/faults.txt)
# holds lines "file => original text => replacement [=> occurrence] [=> label]": the first line
# of file (or the occurrence-th, a number) that contains the original text has it replaced, and
# the tests of the ctest label (a word; default unit) run against it. A fault whose text is not
# in the file is listed as absent and not counted. PLANT_CTEST_ARGS selects the tests of faults
# without a label instead of "-L unit".
set -uo pipefail

if [ $# -lt 1 ] || [ "$1" = "--help" ]; then
    awk 'NR == 1 { next } !/^#/ { exit } { sub(/^# ?/, ""); print }' "$0"
    [ $# -ge 1 ] && exit 0 || exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)" || { echo "plant-faults: no build directory '$1'" >&2; exit 2; }
list="${2:-$root/tools/faults.txt}"
[ -f "$list" ] || { echo "plant-faults: no fault list '$list'" >&2; exit 2; }
read -r -a ctest_args <<< "${PLANT_CTEST_ARGS:--L unit}"

backup="$(mktemp)"
planted=""
restore() {
    if [ -n "$planted" ]; then
        cp "$backup" "$planted"
        planted=""
    fi
}
trap 'restore; rm -f "$backup"' EXIT
trap 'restore; exit 130' INT
trap 'restore; exit 143' TERM

caught=0 missed=0 absent=0 broken=0
missed_list=()
while IFS= read -r line; do
    case "$line" in '' | '#'*) continue ;; esac
    file="${line%% => *}"
    rest="${line#* => }"
    original="${rest%% => *}"
    rest="${rest#* => }"
    replacement="${rest%% => *}"
    occurrence=1
    tests=("${ctest_args[@]}")
    while [ "$rest" != "${rest#* => }" ]; do
        rest="${rest#* => }"
        field="${rest%% => *}"
        case "$field" in
        *[!0-9]*) tests=(-L "$field") ;;
        *) occurrence="$field" ;;
        esac
    done
    label="$file: $original -> $replacement"
    [ "${tests[*]}" != "${ctest_args[*]}" ] && label="$label (${tests[*]})"

    target="$root/$file"
    if [ ! -f "$target" ]; then
        echo "absent   $label"
        absent=$((absent + 1))
        continue
    fi
    cp "$target" "$backup"
    planted="$target"
    ORIGINAL="$original" REPLACEMENT="$replacement" awk -v n="$occurrence" '
        BEGIN { o = ENVIRON["ORIGINAL"]; r = ENVIRON["REPLACEMENT"]; seen = 0 }
        {
            i = index($0, o)
            if (i > 0 && ++seen == n) {
                $0 = substr($0, 1, i - 1) r substr($0, i + length(o))
                done = 1
            }
            print
        }
        END { exit done ? 0 : 1 }' "$backup" > "$target"
    if [ $? -ne 0 ]; then
        restore
        echo "absent   $label"
        absent=$((absent + 1))
        continue
    fi
    if ! cmake --build "$build" -j2 > "$build/plant-build.log" 2>&1; then
        echo "nobuild  $label"
        broken=$((broken + 1))
    elif ctest --test-dir "$build" "${tests[@]}" -j2 --timeout 300 \
        > "$build/plant-test.log" 2>&1; then
        echo "MISSED   $label"
        missed=$((missed + 1))
        missed_list+=("$label")
    else
        failing=$(sed -n '/tests FAILED:/,$s/^[[:space:]]*[0-9]* - \([^ ]*\) (.*/\1/p' \
            "$build/plant-test.log" | tr '\n' ' ')
        echo "caught   $label [ $failing]"
        caught=$((caught + 1))
    fi
    restore
done < "$list"

# Rebuild the restored sources, so the build tree matches the checkout again.
cmake --build "$build" -j2 > "$build/plant-build.log" 2>&1
echo "caught $caught of $((caught + missed)) planted faults ($absent absent, $broken not building)"
for label in "${missed_list[@]}"; do
    echo "  missed: $label"
done
[ "$missed" -eq 0 ]
