#!/usr/bin/env bash
# The run command's decisions, with the steps that install, build and start replaced by stubs that
# log what was asked of them; then its two real probe steps against the programs of the build given
# as $1: the search of the machine's own ports passes over a simulated probe on a pseudo-terminal,
# and the simulated probe it starts is entered in the port table and taken out again when stopped.
set -uo pipefail

build_under_test="${1:?usage: RunCommandTest.sh <build folder>}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../scripts/run.sh
source "$here/../../scripts/run.sh"
set +e

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
steps="$work/steps"

# ---- Decisions ----

real_probe_answers=0
sim_starts=1
set_up_and_build() { echo build >>"$steps"; }
find_real_probe() {
    echo find >>"$steps"
    [ "$real_probe_answers" -eq 1 ] && echo "COM 3 (/dev/ttyUSB0) 19200,8,E,1,RTU,1"
}
start_simulated_probe() {
    echo sim >>"$steps"
    [ "$sim_starts" -eq 1 ]
}
stop_simulated_probe() { :; }
run_program() { echo program >>"$steps"; }

# Runs main in a subshell with the display variables given; sets status, out, err and ran (the
# steps, space-separated).
run_main() {
    local display="$1"
    shift
    : >"$steps"
    (
        unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
        [ -n "$display" ] && export DISPLAY="$display"
        main "$@"
    ) >"$work/out" 2>"$work/err"
    status=$?
    out="$(cat "$work/out")"
    err="$(cat "$work/err")"
    ran="$(tr '\n' ' ' <"$steps" | sed 's/ $//')"
}

expect() {
    local what="$1" want_status="$2" want_steps="$3"
    [ "$status" -eq "$want_status" ] || fail "$what: exit status $status, expected $want_status"
    [ "$ran" = "$want_steps" ] || fail "$what: steps '$ran', expected '$want_steps'"
}

run_main "" --real-ports
expect "without a display" 1 ""
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "without a display: expected one line, got: $err"
[[ "$err" == *"no display"*"xvfb-run -a ./scripts/run.sh"* ]] || fail "without a display: $err"

real_probe_answers=0
run_main ":0"
expect "no probe attached" 0 "build find sim program"

real_probe_answers=1
run_main ":0"
expect "a probe attached" 0 "build find program"
[[ "$out" == *"COM 3 (/dev/ttyUSB0)"* ]] || fail "a probe attached: the port is not named: $out"

run_main ":0" --real-ports
expect "real ports only" 0 "build program"

real_probe_answers=0
sim_starts=0
run_main ":0"
expect "a simulated probe that does not start" 1 "build find sim"
sim_starts=1

run_main ":0" --simulate
expect "an unknown argument" 2 ""
run_main "" --help
expect "help" 0 ""

# ---- The real probe steps against the built programs ----

source "$here/../../scripts/run.sh"
set +e
build="$build_under_test"
export NORVANE_CONFIG_DIR="$work/config"
mkdir -p "$NORVANE_CONFIG_DIR"
machine="$NORVANE_CONFIG_DIR/machine.reg"

start_simulated_probe >"$work/out" 2>"$work/err" || fail "the simulated probe did not start: $(cat "$work/err")"
sim_path="$(sed -n 's/.*simulated optical DO probe on //p' "$work/out")"
# The program opens disconnected: the user is told to press Connect, here and in the README.
grep -q "press Connect" "$work/out" || fail "starting the simulated probe does not say to press Connect: $(cat "$work/out")"
grep -q "Press \*\*Connect\*\*" "$here/../../README.md" || fail "the README does not say to press Connect"
! grep -qi "finds on its own\|finds it on its own" "$here/../../README.md" ||
    fail "the README says the program finds the probe on its own"
[ -n "$sim_path" ] && grep -qF "\"$sim_path\"" "$machine" ||
    fail "the simulated probe's pseudo-terminal '$sim_path' is not in the port table"

begin=$(date +%s%N)
if found="$(find_real_probe)"; then
    fail "the search of the machine's ports found the simulated probe: $found"
fi
elapsed_ms=$((($(date +%s%N) - begin) / 1000000))
[ "$elapsed_ms" -lt 10000 ] || fail "the search of the machine's ports took $elapsed_ms ms"

stop_simulated_probe
[ -n "$sim_path" ] && ! grep -qF "\"$sim_path\"" "$machine" ||
    fail "the stopped simulated probe's pseudo-terminal is still in the port table"

exit $((failures > 0))
