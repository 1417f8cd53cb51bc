#!/usr/bin/env python3
"""Markup attribute texts as an independent reader and writer sees them.

Usage: redline_attribute_texts.py INPUT OUTPUT. Each input line holds an
attribute kind, a tab and the hexadecimal UTF-8 bytes of a text. Each output
line holds the hexadecimal UTF-8 bytes of the text the attribute read from it
writes back, or '-' when the text is refused. Numbers are written with
Python's '%f', which equals C's.
"""
import math
import re
import struct
import sys

FLT_MAX = struct.unpack("<f", b"\xff\xff\x7f\x7f")[0]
DECIMAL = re.compile(r"[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?")
HEXADECIMAL = re.compile(r"[+-]?0[xX]([0-9a-fA-F]+\.?[0-9a-fA-F]*|\.[0-9a-fA-F]+)([pP][+-]?\d+)?")


def wrap32(value):
    value &= 0xFFFFFFFF
    return value - (1 << 32) if value >= 1 << 31 else value


def integer(text):
    """Optional sign, decimal digits wrapping at 32 bits, the rest ignored."""
    i, negative = 0, False
    if text[:1] in ("+", "-"):
        negative, i = text[0] == "-", 1
    value = 0
    while i < len(text) and text[i].isdigit():
        value = wrap32(value * 10 + int(text[i]))
        i += 1
    if i < len(text) and text[i] == "-" and not negative:
        negative = True
    return wrap32(-value) if negative else value


def real(text):
    match = HEXADECIMAL.match(text)
    if match:
        body = match.group(0)
        value = float.fromhex(body if "p" in body.lower() else body + "p0")
    else:
        match = DECIMAL.match(text)
        if not match:
            return None
        value = float(match.group(0))
    return value if math.isfinite(value) else None


def narrow(value):
    value = max(-FLT_MAX, min(FLT_MAX, value))
    return struct.unpack("<f", struct.pack("<f", value))[0]


class Refused(Exception):
    pass


def field(fields, i):
    text = fields[i].strip(" \t\n\v\f\r")
    if not text:
        raise Refused()
    return text


def as_int(fields, i):
    return integer(field(fields, i))


def as_bool(fields, i):
    return 0 if field(fields, i)[0] == "0" else 1


def as_real(fields, i):
    value = real(field(fields, i))
    if value is None:
        raise Refused()
    return value


def split_lines(text):
    """Lines at CR, LF, CR LF or LF CR, empty lines kept."""
    lines, start, i = [], 0, 0
    while i < len(text):
        if text[i] in "\r\n":
            lines.append(text[start:i])
            if i + 1 < len(text) and text[i + 1] in "\r\n" and text[i + 1] != text[i]:
                i += 1
            start = i + 1
        i += 1
    lines.append(text[start:])
    return lines


def write_text(text):
    if not text:
        return "0:"
    lines = split_lines(text)
    return "%d:" % len(lines) + "".join("%d:%s" % (len(line), line) for line in lines)


def read_text(form):
    count_end = form.find(":")
    if count_end <= 0:
        raise Refused()
    n = integer(form[:count_end])
    if n < 0 or n >= form.count(":"):
        raise Refused()
    position, lines = count_end + 1, []
    for _ in range(n):
        colon = form.find(":", position)
        if colon < 0 or not 1 <= colon - position <= 5:
            raise Refused()
        length = integer(form[position:colon])
        if length < 0 or length + position > len(form):
            raise Refused()
        lines.append(form[colon + 1:colon + 1 + length])
        position = colon + 1 + len(lines[-1])
    return "\r\n".join(lines)


def attribute_text(kind, text):
    fields = text.split(":")
    if kind == 0:
        if len(fields) != 4:
            raise Refused()
        values = (as_bool(fields, 0), as_int(fields, 1), as_int(fields, 2), as_real(fields, 3))
        if values[3] < 0:
            raise Refused()
        return ("%d:%u:%d:%f" % (values[0], values[1] & 0xFFFFFFFF, values[2], narrow(values[3])))[:80]
    if kind == 1:
        if len(fields) != 3:
            raise Refused()
        return ("%d:%u:%d" % (as_bool(fields, 0), as_int(fields, 1) & 0xFFFFFFFF, as_int(fields, 2)))[:80]
    if kind == 2:
        trimmed = text.strip(" \t\n\v\f\r")
        if not trimmed:
            raise Refused()
        return "%d" % integer(trimmed)
    if kind == 3:
        if len(fields) < 9 or not fields[8]:
            raise Refused()
        height = max(narrow(as_real(fields, 0)), narrow(0.001))
        flags = [as_bool(fields, i) for i in range(1, 5)]
        colour, angle, reserved = as_int(fields, 5), narrow(as_real(fields, 6)), as_int(fields, 7)
        numbers = "%f:%d:%d:%d:%d:%u:%f:%d:" % (height, *flags, colour & 0xFFFFFFFF, angle, reserved)
        return numbers[:200] + fields[8]
    if kind in (4, 5):
        return write_text(read_text(text))
    if kind == 6:
        if len(fields) != 2:
            raise Refused()
        return ("%d:%d" % (as_int(fields, 0), as_int(fields, 1)))[:25]
    raise Refused()


with open(sys.argv[1]) as source, open(sys.argv[2], "w") as target:
    for line in source:
        line = line.rstrip("\n")
        if not line:
            continue
        kind, hex_text = line.split("\t")
        try:
            written = attribute_text(int(kind), bytes.fromhex(hex_text).decode("utf-8"))
            target.write(written.encode("utf-8").hex() + "\n")
        except Refused:
            target.write("-\n")
