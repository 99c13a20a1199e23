#!/usr/bin/env bash
# Runs the program: installs what is missing, builds it (Release, build/release, with ccache) and
# starts it. When no probe answers on the machine's own serial ports, a simulated optical DO probe
# with its sensors is started on a pseudo-terminal and entered in the port table, so that Connect in
# the program finds it through the ordinary port search; it is stopped when the program ends. The
# program opens disconnected: the user presses Connect. With --real-ports no simulated probe is
# started.
#
# The steps are functions and the script runs main only when executed, so that a test can source it
# and replace the steps that build or start something.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"
sim_pid=""

usage() {
    echo "usage: scripts/run.sh [--real-ports]"
    echo "  --real-ports  search the machine's serial ports only (no simulated probe)"
}

has_display() {
    [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]
}

set_up_and_build() {
    "$root/scripts/setup-deps.sh"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF >/dev/null
    # CMAKE_BUILD_PARALLEL_LEVEL bounds the jobs where the machine is shared.
    cmake --build "$build" --target tarnwick-software probe-sim
}

# Prints the port and connection string of a probe that answers on one of the machine's own
# serial ports; fails when none does.
find_real_probe() {
    "$build/app/tarnwick-software" --find-real-probe
}

start_simulated_probe() {
    local fifo sim_path
    fifo="$(mktemp -u)"
    mkfifo "$fifo"
    "$build/tools/probe-sim/probe-sim" --device-type 12 --serial 4711 --sensors --stay-awake --register-port \
        >"$fifo" &
    sim_pid=$!
    # The simulator prints its pseudo-terminal once it is entered in the port table.
    if ! read -r -t 10 sim_path <"$fifo"; then
        rm -f "$fifo"
        echo "run.sh: the simulated probe did not start" >&2
        return 1
    fi
    rm -f "$fifo"
    echo "run.sh: no probe answers on this machine's serial ports; simulated optical DO probe on $sim_path"
    echo "run.sh: press Connect (Alt+C) in the program to connect to it"
}

stop_simulated_probe() {
    if [ -n "$sim_pid" ]; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
        sim_pid=""
    fi
}

run_program() {
    "$build/app/tarnwick-software"
}

main() {
    local real_ports=0 arg found
    for arg in "$@"; do
        case "$arg" in
        --real-ports) real_ports=1 ;;
        -h | --help)
            usage
            return 0
            ;;
        *)
            echo "run.sh: unknown argument $arg (see --help)" >&2
            return 2
            ;;
        esac
    done

    if ! has_display; then
        echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are unset); run it as 'xvfb-run -a ./scripts/run.sh' (Debian package xvfb), or with QT_QPA_PLATFORM=offscreen for a run without a visible window." >&2
        return 1
    fi

    set_up_and_build
    trap stop_simulated_probe EXIT
    if [ "$real_ports" -eq 0 ]; then
        if found="$(find_real_probe)"; then
            echo "run.sh: a probe answers on $found; no simulated probe is started; press Connect (Alt+C) in the program"
        else
            start_simulated_probe || return 1
        fi
    fi
    run_program
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    main "$@"
fi
