#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup-deps.sh
./scripts/check-peers.sh

jobs=$(nproc 2>/dev/null || echo 2)
build=build/asan
cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug \
    -DTARNWICK_SANITIZE=ON \
    -DTARNWICK_WERROR=ON
cmake --build "$build" --parallel "$jobs"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure --parallel "$jobs" --timeout 300 "$@"
