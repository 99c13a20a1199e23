#!/usr/bin/env bash
# Measures the longest stall of the user-interface thread during each operation that makes the user
# wait for the probe (target: under 100 ms each), beside a control clock's on a thread of its own,
# and how long the user waits to be told that a probe which fell silent around a wizard is gone
# (target: under 20 s each), on the simulated probe, in a Release build, with a settings store of
# its own. The program's own time-outs and pauses apply: the run takes about ten minutes, most of it
# the time-outs of the silent probe and Reset Comm's sweep.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BENCH=ON -DTARNWICK_TESTS=OFF >/dev/null
cmake --build "$build" -j3 --target uistall >/dev/null
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT
NORVANE_CONFIG_DIR="$config" XDG_STATE_HOME="$config" XDG_DOCUMENTS_DIR="$config" \
    QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$build/bench/uistall"
