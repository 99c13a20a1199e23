#!/usr/bin/env bash
# Runs the program: installs what is missing, builds it (Release, build/release, with ccache) and
# starts it. Without --real-ports a simulated optical DO probe with its sensors is started on a
# pseudo-terminal and entered in the port table, so the program finds it through its ordinary
# port search; it is stopped when the program ends. With --real-ports only the machine's serial
# ports are searched.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"
real_ports=0
for arg in "$@"; do
    case "$arg" in
    --real-ports) real_ports=1 ;;
    -h | --help)
        echo "usage: scripts/run.sh [--real-ports]"
        echo "  --real-ports  search the machine's serial ports only (no simulated probe)"
        exit 0
        ;;
    *)
        echo "run.sh: unknown argument $arg (see --help)" >&2
        exit 2
        ;;
    esac
done

"$root/scripts/setup-deps.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "run.sh: no display (DISPLAY and WAYLAND_DISPLAY are unset); run it as 'xvfb-run -a scripts/run.sh', or with QT_QPA_PLATFORM=offscreen for a look without a window." >&2
    exit 1
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target tarnwick-software probe-sim

sim_pid=""
stop_sim() {
    if [ -n "$sim_pid" ]; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
}
trap stop_sim EXIT

if [ "$real_ports" -eq 0 ]; then
    fifo="$(mktemp -u)"
    mkfifo "$fifo"
    "$build/tools/probe-sim/probe-sim" --device-type 12 --serial 4711 --sensors --stay-awake --register-port \
        >"$fifo" &
    sim_pid=$!
    # The simulator prints its pseudo-terminal once it is entered in the port table.
    if ! read -r -t 10 sim_path <"$fifo"; then
        rm -f "$fifo"
        echo "run.sh: the simulated probe did not start" >&2
        exit 1
    fi
    rm -f "$fifo"
    echo "run.sh: simulated optical DO probe on $sim_path"
fi

"$build/app/tarnwick-software"
