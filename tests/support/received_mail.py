#!/usr/bin/python3
"""Reads one message stored by smtp_sink.py with Python's email package and prints what a
mail reader would see, one tab-separated record per line:

  from    <envelope sender>
  rcpt    <envelope recipient>              (one line each)
  header  <name> <value>                    (top-level headers, in order)
  body    <text of the message body>
  attach  <file name> <content type> <transfer encoding> <path of the decoded bytes>
  defect  <what the email package (default policy) found wrong in the message>

Decoded attachments are written into OUTDIR. Uuencoded attachments (a message without MIME)
are found by their "begin" and "end" lines. Text fields escape backslash, tab, CR and LF.
"""
import binascii
import email
import email.policy
import json
import os
import sys


def esc(text):
    return (text.replace("\\", "\\\\").replace("\t", "\\t")
            .replace("\r", "\\r").replace("\n", "\\n"))


def out(*fields):
    print("\t".join(fields))


def save(outdir, index, data):
    path = os.path.join(outdir, "attachment%03d.bin" % index)
    with open(path, "wb") as f:
        f.write(data)
    return path


def uudecoded(lines):
    data = bytearray()
    for line in lines:
        if line in (b"`", b""):
            continue
        data += binascii.a2b_uu(line)
    return bytes(data)


def main(eml, outdir):
    raw = open(eml, "rb").read()
    with open(eml[:-4] + ".json") as f:
        envelope = json.load(f)
    out("from", envelope["mail_from"])
    for r in envelope["rcpt_tos"]:
        out("rcpt", esc(r))
    strict = email.message_from_bytes(raw, policy=email.policy.default)
    for entity in strict.walk():
        for defect in entity.defects:
            out("defect", esc(repr(defect)))
        for name, value in entity.items():
            for defect in getattr(value, "defects", ()):
                # A non-ASCII file name goes into the older name parameter as encoded words
                # between quotes on purpose: readers that know no other form understand it.
                if name == "Content-Type" and str(defect) in (
                        "encoded word inside quoted string",
                        "missing trailing whitespace after encoded-word"):
                    continue
                out("defect", esc(name + ": " + repr(defect)))
    msg = email.message_from_bytes(raw, policy=email.policy.compat32)
    for name, value in msg.items():
        out("header", name, esc(value))
    index = 0
    if msg.get("Mime-Version") is None:
        lines = raw.partition(b"\r\n\r\n")[2].split(b"\r\n")
        text, i = [], 0
        while i < len(lines) and not lines[i].startswith(b"begin "):
            text.append(lines[i])
            i += 1
        # The empty line before the first "begin" separates the body from the attachment.
        if text and text[-1] == b"":
            text.pop()
        out("body", esc(b"\r\n".join(text).decode("latin-1")))
        while i < len(lines):
            if lines[i].startswith(b"begin "):
                name = lines[i].split(b" ", 2)[2].decode("latin-1")
                j = i + 1
                while lines[j] != b"end":
                    j += 1
                path = save(outdir, index, uudecoded(lines[i + 1:j]))
                index += 1
                out("attach", name, "", "uuencode", path)
                i = j
            i += 1
        return
    for entity in msg.walk():
        if entity.is_multipart():
            continue
        filename = entity.get_filename()
        payload = entity.get_payload(decode=True)
        if filename is None:
            charset = entity.get_content_charset() or "us-ascii"
            out("body", esc(payload.decode(charset)))
        else:
            path = save(outdir, index, payload)
            index += 1
            out("attach", filename, entity.get_content_type(),
                entity.get("Content-Transfer-Encoding", ""), path)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
