#!/usr/bin/env python3
"""Expected values for the string tests, from Python's standard library.

Usage: string_oracle.py MODE IN OUT
Every line of IN and OUT is the hex of one text's UTF-16LE units (or, for
base64 input, of its bytes), so any character survives the trip.
  cp1252      IN: bytes      OUT: the bytes decoded as cp1252
  encode1252  IN: text       OUT: the text encoded as cp1252 (unmappable -> '?'),
                                  written back as text, one unit per byte
  urldecode   IN: text       OUT: urllib.parse.unquote_plus, latin-1 escapes
  base64      IN: bytes      OUT: base64.b64encode
"""
import base64
import sys
import urllib.parse


def text_of(line):
    return bytes.fromhex(line).decode("utf-16-le")


def hex_of(text):
    return text.encode("utf-16-le").hex()


def main():
    mode, source, target = sys.argv[1:4]
    with open(source) as f:
        lines = [line.strip() for line in f]
    out = []
    for line in lines:
        if mode == "cp1252":
            out.append(hex_of(bytes.fromhex(line).decode("cp1252")))
        elif mode == "encode1252":
            encoded = text_of(line).encode("cp1252", errors="replace")
            out.append(hex_of(encoded.decode("latin-1")))
        elif mode == "urldecode":
            out.append(hex_of(urllib.parse.unquote_plus(text_of(line), encoding="latin-1")))
        elif mode == "base64":
            out.append(hex_of(base64.b64encode(bytes.fromhex(line)).decode("ascii")))
        else:
            sys.exit("unknown mode " + mode)
    with open(target, "w") as f:
        f.write("\n".join(out) + ("\n" if out else ""))


if __name__ == "__main__":
    main()
