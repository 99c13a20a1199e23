#!/usr/bin/env bash
# Measures the longest stall of the user-interface thread during each operation that makes the user
# wait for the probe (target: under 100 ms each), beside a control clock's on a thread of its own,
# and how long the user waits to be told "Device connection lost." from the moment the probe stops
# answering (target: 20 s at most each): around each calibration wizard (Cancel, Calibrate... on a
# silent probe, the conductivity wizard's restore of the calibration defaults, a stop just after a
# sample read of the wizard's reading, Calibrate... while the sensor watch's read goes unanswered on
# a probe that sleeps between polls), in the connect's loading of the pages, in a firmware upload,
# and in the live data page's polling into a file at its shortest rate, stopped just after the last
# reply of a round (target: the period, printed beside it, plus 20 s: the keep-alive rests while the
# page reads). It prints a table of these cases and exits 1 when one misses its target or an
# operation does not end as it should. On the simulated probe, in a Release build, with a settings
# store of its own and a folder of its own for the files it writes, so that runs at the same time
# keep apart; the program's own time-outs (3.5 s, three retries) and pauses apply: the run takes
# about a quarter of an hour, most of it the time-outs of the silent probe and Reset Comm's sweep.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"
mkdir -p "$build"
# Runs started together build one after the other: two configures of one build folder at once spoil it.
(
    flock 9
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BENCH=ON -DTARNWICK_TESTS=OFF >/dev/null
    cmake --build "$build" -j3 --target uistall >/dev/null
) 9>"$build/uistall-build.lock"
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT
NORVANE_CONFIG_DIR="$config" XDG_STATE_HOME="$config" XDG_DOCUMENTS_DIR="$config" \
    QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$build/bench/uistall"
