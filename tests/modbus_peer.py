# SPDX-FileCopyrightText: 2026 Velmora
# SPDX-License-Identifier: GPL-3.0-or-later

"""A real Modbus RTU peer (pymodbus) on the far end of a pseudo-terminal, for the tests.

    modbus_peer.py LINK slave|master SECONDS [--unit N] [--start A --count C]

LINK becomes a link to the pseudo-terminal the program opens (COM1 in its devices folder).
pymodbus needs a device path of its own, so it gets a second pseudo-terminal and this script
copies bytes between the two far ends. It prints "ready" once the link is there and pymodbus has
its port open, and ends by itself after SECONDS.

slave:  pymodbus' serial server at unit 1 (holding register n holds 100 * n + 1, coil n is n odd);
        it prints nothing more.
master: pymodbus' serial client reads C holding registers from A of unit N every 200 ms, and
        prints one line a reply: "ok v1 v2 ..." or "error TEXT".
"""

import argparse
import asyncio
import os
import select
import sys
import threading
import time
import tty


def relay(a, b, stop):
    while not stop.is_set():
        ready, _, _ = select.select([a, b], [], [], 0.1)
        for fd in ready:
            try:
                data = os.read(fd, 4096)
            except OSError:
                continue
            os.write(b if fd == a else a, data)


def serve_slave(path):
    from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                    ModbusSlaveContext)
    from pymodbus.server import StartAsyncSerialServer
    from pymodbus.transaction import ModbusRtuFramer

    holding = [100 * n + 1 for n in range(200)]
    coils = [n % 2 == 1 for n in range(200)]
    # pymodbus adds one to every address it is asked for.
    store = ModbusSlaveContext(hr=ModbusSequentialDataBlock(1, holding),
                               co=ModbusSequentialDataBlock(1, coils),
                               di=ModbusSequentialDataBlock(1, coils),
                               ir=ModbusSequentialDataBlock(1, holding))
    context = ModbusServerContext(slaves={1: store}, single=False)

    async def serve():
        server = await StartAsyncSerialServer(context=context, framer=ModbusRtuFramer, port=path,
                                              baudrate=9600, defer_start=True)
        await server.start()
        print("ready", flush=True)  # only now does a request reach it
        await server.serve_forever()

    asyncio.run(serve())


def run_master(path, unit, start, count):
    from pymodbus.client import ModbusSerialClient
    from pymodbus.transaction import ModbusRtuFramer

    client = ModbusSerialClient(path, framer=ModbusRtuFramer, baudrate=115200, timeout=1,
                                retries=0)
    client.connect()
    print("ready", flush=True)
    while True:
        try:
            reply = client.read_holding_registers(start, count, slave=unit)
            if reply.isError():
                print("error", reply, flush=True)
            else:
                print("ok", *reply.registers, flush=True)
        except Exception as error:  # a timeout or a bad frame: said, and tried again
            print("error", str(error).replace("\n", " "), flush=True)
        time.sleep(0.2)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("link")
    parser.add_argument("role", choices=["slave", "master"])
    parser.add_argument("seconds", type=float)
    parser.add_argument("--unit", type=int, default=1)
    parser.add_argument("--start", type=int, default=0)
    parser.add_argument("--count", type=int, default=2)
    args = parser.parse_args()

    program_side, program_tty = os.openpty()
    peer_side, peer_tty = os.openpty()
    for fd in (program_tty, peer_tty, program_side, peer_side):
        tty.setraw(fd)
    os.symlink(os.ttyname(program_tty), args.link)
    stop = threading.Event()
    threading.Thread(target=relay, args=(program_side, peer_side, stop), daemon=True).start()
    threading.Timer(args.seconds, lambda: os._exit(0)).start()
    path = os.ttyname(peer_tty)
    if args.role == "slave":
        serve_slave(path)
    else:
        run_master(path, args.unit, args.start, args.count)


if __name__ == "__main__":
    sys.exit(main())
