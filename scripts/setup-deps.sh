#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need. Does nothing when all are
# present; uses sudo when not run as root. Installs without recommended packages, so every package
# that something here uses is named, also the ones another package only recommends.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build ccache clang-14 libclang-rt-14-dev
    # tests and benchmarks
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    # the load beside the suite in scripts/test-under-load.sh
    stress-ng
    # the windows: Widgets, Print Support and Test come with qt6-base-dev; the platform plugins
    # (offscreen, xcb) and the TIFF writer are packages of their own
    qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins
    # a virtual display for running the program where there is none (xvfb-run only recommends
    # the xauth it calls)
    xvfb xauth
    # fonts with stable metrics for the windows and the calibration report (Liberation Sans)
    fontconfig fonts-dejavu-core fonts-liberation
    # peers of the Modbus tests: pymodbus only recommends the asyncio serial support its serial
    # server needs
    socat python3 python3-pymodbus python3-serial python3-serial-asyncio libmodbus-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
