#!/usr/bin/env bash
# Runs the whole suite on a busy machine: builds as scripts/test.sh does (AddressSanitizer and
# UndefinedBehaviorSanitizer, then ThreadSanitizer), then runs every test of both builds beside
# stress-ng's processor, disk and memory workers, with three times as many tests at once as the
# machine has cores, for a number of rounds. At the end it lists which tests failed in which round
# and runs each of them once more alone on a quiet machine, so that a test that fails only under
# load stands apart from a real fault.
#
#   scripts/test-under-load.sh [--rounds N] [--only asan|tsan] [ctest arguments...]
#
# The logs of every round are kept in build/load-logs/. Exits non-zero when any test failed.
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=3
builds=(asan tsan)
while [ $# -gt 0 ]; do
    case "$1" in
    --rounds)
        rounds=${2:?--rounds needs a number}
        shift 2
        ;;
    --only)
        builds=("${2:?--only needs asan or tsan}")
        shift 2
        ;;
    *) break ;;
    esac
done
case "$rounds" in
'' | *[!0-9]* | 0)
    echo "test-under-load: --rounds takes a positive number, not '$rounds'" >&2
    exit 2
    ;;
esac
for b in "${builds[@]}"; do
    [ "$b" = asan ] || [ "$b" = tsan ] || {
        echo "test-under-load: --only takes asan or tsan, not '$b'" >&2
        exit 2
    }
done

./scripts/setup-deps.sh
./scripts/check-peers.sh

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp${TSAN_OPTIONS:+:$TSAN_OPTIONS}"

configure() {
    case "$1" in
    asan)
        cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON \
            -DTARNWICK_WERROR=ON
        ;;
    tsan)
        CC=clang-14 CXX=clang++-14 cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
            -DTARNWICK_TSAN=ON -DTARNWICK_WERROR=ON
        ;;
    esac
}

# Built before the load starts: the load is for the tests, not for the compiler.
for b in "${builds[@]}"; do
    configure "$b"
    cmake --build "build/$b" --parallel "$jobs"
done

logs=build/load-logs
mkdir -p "$logs"

# Memory workers stay modest: the sanitizer builds of the tests are large, and a machine that
# runs out of memory kills tests rather than slowing them down.
stress_pid=""
stop_load() {
    if [ -n "$stress_pid" ]; then
        kill "$stress_pid" 2>/dev/null || true
        wait "$stress_pid" 2>/dev/null || true
        stress_pid=""
    fi
}
trap stop_load EXIT INT TERM

failures=() # "<round> <build> <test>" per failed test; a test's name may hold spaces
for ((round = 1; round <= rounds; round++)); do
    for b in "${builds[@]}"; do
        stress-ng --cpu $((jobs * 2)) --io 4 --vm 4 --vm-bytes 512M --quiet >"$logs/stress-ng.log" 2>&1 &
        stress_pid=$!
        log="$logs/$b-round$round.log"
        echo "round $round of $rounds, $b, under load: log in $log"
        ctest --test-dir "build/$b" --output-on-failure --parallel $((jobs * 3)) --timeout 300 "$@" \
            >"$log" 2>&1 || true
        stop_load
        grep -E '^[0-9]+% tests passed' "$log" || echo "  (no summary: see $log)"
        # ctest's closing list, one "  <n> - <test> (<why>)" line per failed test.
        while read -r name; do
            failures+=("$round $b $name")
        done < <(sed -n '/^The following tests FAILED:/,$p' "$log" |
            sed -n 's/^[[:space:]]*[0-9][0-9]* - \(.*\) ([^)]*)$/\1/p')
        if ! grep -qE '^[0-9]+% tests passed' "$log"; then
            failures+=("$round $b (ctest did not finish)")
        fi
    done
done

echo
if [ ${#failures[@]} -eq 0 ]; then
    echo "test-under-load: every test passed in all $rounds rounds of ${builds[*]} under load"
    exit 0
fi

echo "test-under-load: failed under load (round, build, test):"
printf '  %s\n' "${failures[@]}"

echo
echo "Each failed test once more alone, without stress-ng:"
printf '%s\n' "${failures[@]}" | cut -d' ' -f2- | grep -v '^[a-z]* (ctest did not finish)$' | sort -u |
    while read -r b name; do
        count=$(printf '%s\n' "${failures[@]}" | cut -d' ' -f2- | grep -cxF "$b $name")
        # The whole name as a regular expression, its special characters standing for themselves.
        pattern="^$(printf '%s' "$name" | sed 's#[][\.*^$+?()|]#\\&#g')\$"
        if ctest --test-dir "build/$b" --timeout 300 -R "$pattern" >"$logs/alone.log" 2>&1; then
            verdict="passes alone"
        else
            verdict="FAILS ALONE TOO (see $logs/alone.log)"
        fi
        echo "  $b $name: failed in $count of $rounds rounds under load, $verdict"
    done
exit 1
