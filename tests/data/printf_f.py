#!/usr/bin/env python3
"""'%f' texts of doubles, from Python's own formatting.

Usage: printf_f.py INPUT OUTPUT. Each input line holds the 64-bit pattern of
one double in hexadecimal; each output line holds '%f' % that double.
"""
import struct
import sys

with open(sys.argv[1]) as source, open(sys.argv[2], "w") as target:
    for line in source:
        if line.strip():
            value = struct.unpack("<d", int(line, 16).to_bytes(8, "little"))[0]
            target.write("%f\n" % value)
