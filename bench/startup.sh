#!/usr/bin/env bash
# Measures the program's start-up to a connected main window on the simulated probe, told apart
# into the protocol's pauses, the probe's answers and the program's own time (target: under
# 300 ms), and its resident memory while connected (target: under 100 MB), in a Release build, with
# a settings store of its own so the user's profile is not touched.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BENCH=ON -DTARNWICK_TESTS=OFF >/dev/null
cmake --build "$build" -j3 --target startup >/dev/null
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT
NORVANE_CONFIG_DIR="$config" QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$build/bench/startup"
