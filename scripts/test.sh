#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test, then
# builds everything a second time with ThreadSanitizer (clang) and runs every test again. Any
# sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup-deps.sh
./scripts/check-peers.sh

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen

build=build/asan
cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug \
    -DTARNWICK_SANITIZE=ON \
    -DTARNWICK_WERROR=ON
cmake --build "$build" --parallel "$jobs"
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    ctest --test-dir "$build" --output-on-failure --parallel "$jobs" --timeout 300 "$@"

build=build/tsan
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug \
    -DTARNWICK_TSAN=ON \
    -DTARNWICK_WERROR=ON
cmake --build "$build" --parallel "$jobs"
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp${TSAN_OPTIONS:+:$TSAN_OPTIONS}" \
    ctest --test-dir "$build" --output-on-failure --parallel "$jobs" --timeout 300 "$@"
