#!/usr/bin/env python3
"""Expected text forms of date-times, from Python's strftime.

Usage: date_formats.py INPUT OUTPUT. Each input line holds
"year month day hour minute second"; each output line holds, separated by
'|': compact date, date in styles 1, 2 and 3, stamp, date-time in style 1
with seconds, style 2 with seconds, style 3 without seconds.
"""
import datetime
import sys

FORMATS = ["%Y%m%d", "%Y.%m.%d", "%m/%d/%Y", "%d.%m.%Y", "%Y%m%d%H%M%S",
           "%Y.%m.%d %H:%M:%S", "%m/%d/%Y %H:%M:%S", "%d.%m.%Y %H:%M"]

with open(sys.argv[1]) as source, open(sys.argv[2], "w") as target:
    for line in source:
        if not line.strip():
            continue
        value = datetime.datetime(*map(int, line.split()))
        target.write("|".join(value.strftime(f) for f in FORMATS) + "\n")
