"""Reads and writes the simulated probe with pymodbus, a Modbus master nobody here wrote.

Usage: pymodbus_client.py PORT rtu|ascii SLAVE
Prints one line per step; the GoogleTest that runs it checks them.
"""
import logging
import sys

from pymodbus.client import ModbusSerialClient
from pymodbus.framer.ascii_framer import ModbusAsciiFramer
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.other_message import ReportSlaveIdRequest


def main():
    port, mode, slave = sys.argv[1], sys.argv[2], int(sys.argv[3])
    logging.basicConfig(level=logging.CRITICAL)
    framer = ModbusAsciiFramer if mode == "ascii" else ModbusRtuFramer
    client = ModbusSerialClient(port, framer=framer, baudrate=19200, parity="N", timeout=1, retries=1)
    if not client.connect():
        print("connect failed")
        return 1
    try:
        reply = client.read_holding_registers(0, 2, slave=slave)
        print("holding", *(reply.registers if not reply.isError() else ["error"]))
        reply = client.read_input_registers(0, 1, slave=slave)
        print("input", *(reply.registers if not reply.isError() else ["error"]))
        reply = client.write_registers(9, [0xABCD, 0x0102], slave=slave)
        print("write", "error" if reply.isError() else f"{reply.address} {reply.count}")
        reply = client.read_holding_registers(9, 2, slave=slave)
        print("readback", *(reply.registers if not reply.isError() else ["error"]))
        reply = client.read_holding_registers(100, 1, slave=slave)
        print("missing", getattr(reply, "exception_code", "none"))
        reply = client.execute(ReportSlaveIdRequest(slave))
        print("slaveid", "error" if reply.isError() else reply.identifier.hex())
    finally:
        client.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
