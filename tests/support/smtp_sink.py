#!/usr/bin/python3
"""A local SMTP server for the mail tests and the mail benchmark.

Listens on 127.0.0.1 on a free port and prints the port on the first line of its output.
Each message it accepts is stored in FOLDER as NNNN.json (envelope sender and recipients)
and NNNN.eml (the message bytes exactly as received, dot-stuffing undone). It stops when its
standard input is closed.

  smtp_sink.py FOLDER [--starttls CERT KEY | --tls CERT KEY] [--auth USER PASSWORD MECHANISMS]

--starttls offers STARTTLS and requires it before any mail; --tls speaks TLS from the first
byte. --auth offers the comma-separated MECHANISMS (PLAIN, LOGIN) and requires a login.
"""
import asyncio
import json
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult


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


def tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


async def main(folder, options):
    loop = asyncio.get_running_loop()
    store = Store(folder)
    settings = {"data_size_limit": None, "hostname": "sink.test"}
    implicit = None
    if options[:1] == ["--starttls"]:
        settings.update(tls_context=tls_context(options[1], options[2]), require_starttls=True)
        options = options[3:]
    elif options[:1] == ["--tls"]:
        implicit = tls_context(options[1], options[2])
        options = options[3:]
    if options[:1] == ["--auth"]:
        user, password = options[1].encode(), options[2].encode()
        offered = options[3].split(",")

        def check(server, session, envelope, mechanism, auth_data):
            ok = mechanism in offered and auth_data.login == user and auth_data.password == password
            return AuthResult(success=ok, handled=False)
        settings.update(authenticator=check, auth_required=True,
                        auth_require_tls=implicit is None,
                        auth_exclude_mechanism=[m for m in ("PLAIN", "LOGIN")
                                                 if m not in offered])
    server = await loop.create_server(
        lambda: SMTP(store, **settings), "127.0.0.1", 0, ssl=implicit)
    print(server.sockets[0].getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1], sys.argv[2:]))
