#!/usr/bin/python3
"""A TCP relay on 127.0.0.1 that delays every chunk by a fixed time each way,
so that a fixture SSH server behind it looks like a server across a slow
network (a round trip of twice the delay).

    relay.py TARGET_PORT DELAY_MS

Prints the port it listens on, one line, then relays until it is ended.
Only loopback: it listens on 127.0.0.1 and connects to 127.0.0.1.
"""
import asyncio
import sys


async def pipe(reader, writer, delay):
    # Chunks leave in the order they came, each delay seconds after it came.
    queue = asyncio.Queue()

    async def send():
        while True:
            due, chunk = await queue.get()
            if chunk is None:
                break
            wait = due - asyncio.get_running_loop().time()
            if wait > 0:
                await asyncio.sleep(wait)
            writer.write(chunk)
            await writer.drain()
        writer.close()

    sender = asyncio.ensure_future(send())
    try:
        while True:
            chunk = await reader.read(65536)
            due = asyncio.get_running_loop().time() + delay
            if not chunk:
                await queue.put((due, None))
                break
            await queue.put((due, chunk))
        await sender
    except (ConnectionError, asyncio.CancelledError):
        sender.cancel()
        writer.close()


async def main():
    target = int(sys.argv[1])
    delay = int(sys.argv[2]) / 1000.0

    async def relay(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target)
        except OSError:
            client_writer.close()
            return
        await asyncio.gather(pipe(client_reader, server_writer, delay),
                             pipe(server_reader, client_writer, delay),
                             return_exceptions=True)

    server = await asyncio.start_server(relay, "127.0.0.1", 0, backlog=4096)
    print(server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        pass
