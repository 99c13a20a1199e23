#!/usr/bin/env bash
# Checks that every peer a test starts can really start. A peer that cannot start is a setup
# fault: this stops with one line naming the package, instead of letting tests fail or skip.
set -uo pipefail

fail() {
    echo "check-peers: $1 (install: $2)" >&2
    exit 1
}

command -v socat >/dev/null 2>&1 && socat -V >/dev/null 2>&1 || fail "socat does not start" socat
[ -x /usr/bin/python3 ] || fail "/usr/bin/python3 is missing" python3
/usr/bin/python3 -c 'import serial' >/dev/null 2>&1 || fail "python3 cannot import serial" python3-serial
/usr/bin/python3 -c 'import serial_asyncio' >/dev/null 2>&1 ||
    fail "python3 cannot import serial_asyncio" python3-serial-asyncio
/usr/bin/python3 -c 'import pymodbus.client, pymodbus.server' >/dev/null 2>&1 ||
    fail "python3 cannot import the pymodbus client and server" python3-pymodbus
[ -e /usr/include/modbus/modbus.h ] || fail "libmodbus headers are missing" libmodbus-dev
qtplugins=$(ls -d /usr/lib/*/qt6/plugins 2>/dev/null | head -n 1)
[ -n "$qtplugins" ] && [ -e "$qtplugins/platforms/libqoffscreen.so" ] ||
    fail "the Qt offscreen platform plugin is missing" qt6-qpa-plugins
[ -e "$qtplugins/imageformats/libqtiff.so" ] || fail "the Qt TIFF image plugin is missing" qt6-image-formats-plugins
# grep reads the whole list: one that stops at the first match would leave fc-list to die of a
# broken pipe on a machine with many fonts, which pipefail takes for a missing font.
fc-list 2>/dev/null | grep 'LiberationSans-Regular' >/dev/null || fail "the font Liberation Sans is missing" fonts-liberation
exit 0
