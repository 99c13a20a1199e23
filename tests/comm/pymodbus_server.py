"""A Modbus RTU or ASCII server by pymodbus, a slave that nobody here wrote, on a serial line.

Usage: pymodbus_server.py PORT rtu|ascii SLAVE

Holding registers 0..9 hold 0x1000 + n and input registers 0..4 hold 0x2000 + n (wire addresses);
anything past them answers exception 2. Prints "ready" once the line is open and serves until it
is killed.
"""
import asyncio
import logging
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.framer.ascii_framer import ModbusAsciiFramer
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.server import StartAsyncSerialServer


async def serve(port, framer, slave):
    block = ModbusSlaveContext(
        hr=ModbusSequentialDataBlock(0, [0x1000 + n for n in range(10)]),
        ir=ModbusSequentialDataBlock(0, [0x2000 + n for n in range(5)]),
        zero_mode=True,
    )
    context = ModbusServerContext(slaves={slave: block}, single=False)
    server = await StartAsyncSerialServer(
        context=context, framer=framer, port=port, baudrate=19200, parity="N", bytesize=8, stopbits=1,
        timeout=0.05, defer_start=True)
    await server.start()
    if server.transport is None:
        print("open failed", flush=True)
        return 1
    print("ready", flush=True)
    await server.serve_forever()
    return 0


def main():
    port, mode, slave = sys.argv[1], sys.argv[2], int(sys.argv[3])
    # pymodbus configures the root logger when it is imported; exception replies are no errors here.
    logging.getLogger().setLevel(logging.CRITICAL)
    framer = ModbusAsciiFramer if mode == "ascii" else ModbusRtuFramer
    return asyncio.run(serve(port, framer, slave))


if __name__ == "__main__":
    sys.exit(main())
