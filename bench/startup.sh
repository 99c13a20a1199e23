#!/usr/bin/env bash
# Measures what the user waits for at start-up, on the simulated probe, in a Release build: start to
# the connected main window (target: the program's own time under 300 ms), and Connect to the first
# values on the live data page's screen, told apart into the time the probe's sensors measure, the
# rest of the line's time and the program's own; and the resident memory while connected (target:
# under 100 MB). Each figure is the median of several runs (5 unless given), each run a new process
# with a settings store of its own, on the run command's probe (device type 12, the DO sensor) and
# on the multi-sensor probe (type 18, four sensors).
#
#   bench/startup.sh [runs]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"
runs="${1:-5}"
types=(12 18)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BENCH=ON -DTARNWICK_TESTS=OFF >/dev/null
cmake --build "$build" -j3 --target startup >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
figures="$work/figures"
: >"$figures"
for type in "${types[@]}"; do
    for ((run = 1; run <= runs; ++run)); do
        config="$work/run-$type-$run"
        mkdir "$config"
        # Each line of the program is "<figure>\t<value>"; kept as "<type>\t<line>\t<figure>\t<value>".
        NORVANE_CONFIG_DIR="$config" XDG_STATE_HOME="$config" XDG_DOCUMENTS_DIR="$config" \
            QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$build/bench/startup" --device-type "$type" |
            awk -F '\t' -v type="$type" '{ print type "\t" NR "\t" $1 "\t" $2 }' >>"$figures"
        rm -rf "$config"
    done
done

# The median of each figure per probe, one row per figure and one column per probe.
sort -t "$(printf '\t')" -k2,2n -k1,1n -k4,4g "$figures" |
    awk -F '\t' -v runs="$runs" -v types="${types[*]}" '
    {
        key = $2 SUBSEP $1
        n = ++count[key]
        value[key, n] = $4
        label[$2] = $3
        if ($2 > lines) lines = $2
    }
    END {
        ntypes = split(types, type, " ")
        printf "%-50s", "median of " runs " runs (ms)"
        for (t = 1; t <= ntypes; ++t) printf "%12s", "type " type[t]
        printf "\n"
        for (line = 1; line <= lines; ++line) {
            printf "%-50s", label[line]
            for (t = 1; t <= ntypes; ++t) {
                key = line SUBSEP type[t]
                n = count[key]
                if (n == 0) { printf "%12s", "-"; continue }
                median = n % 2 ? value[key, (n + 1) / 2] : (value[key, n / 2] + value[key, n / 2 + 1]) / 2
                printf "%12.1f", median
            }
            printf "\n"
        }
    }'
