#!/usr/bin/python3
"""A local SMTP server for the mail tests and the mail benchmark.

Listens on 127.0.0.1 on a free port and prints the port on the first line of its output.
Each message it accepts is stored in FOLDER as NNNN.json (envelope sender and recipients)
and NNNN.eml (the message bytes exactly as received, dot-stuffing undone). It stops when its
standard input is closed.
"""
import asyncio
import json
import os
import sys

from aiosmtpd.smtp import SMTP


class Store:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "%04d" % self.count)
        data = envelope.original_content
        if data is None:
            data = envelope.content
        with open(base + ".json", "w") as f:
            json.dump({"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos}, f)
        # The .eml appears last and whole, so a reader that sees it sees the envelope too.
        with open(base + ".eml.part", "wb") as f:
            f.write(data)
        os.rename(base + ".eml.part", base + ".eml")
        return "250 Message accepted for delivery"


async def main(folder):
    loop = asyncio.get_running_loop()
    store = Store(folder)
    server = await loop.create_server(
        lambda: SMTP(store, data_size_limit=None, hostname="sink.test"), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1]))
