#!/usr/bin/env python3
"""Builds the viewer's text resource from resources/texts.tsv.

texts.tsv is UTF-8, one text number a line: number, TAB, German text, TAB,
English text. Empty lines and lines starting with '#' are skipped. The texts
keep the escapes of the resource format (backslash n, backslash t).

The resource is the format foundation/text_table.cpp reads: one line per
language and number, "language TAB number TAB text", CR LF line ends. Every
character outside ASCII is written as a backslash and five decimal digits,
so the resource reads the same whatever the ANSI code page is.
"""
import sys

LANGUAGES = (0, 1)  # German, English
MAX_LENGTH = 1022


def escape(text):
    out = []
    for unit in text:
        code = ord(unit)
        if code < 128:
            out.append(unit)
        elif code <= 0xFFFF:
            out.append("\\%05d" % code)
        else:
            code -= 0x10000
            out.append("\\%05d\\%05d" % (0xD800 + (code >> 10), 0xDC00 + (code & 0x3FF)))
    return "".join(out)


def main(source, target):
    seen = {}
    lines = []
    with open(source, encoding="utf-8") as texts:
        for number, line in enumerate(texts, 1):
            line = line.rstrip("\r\n")
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split("\t")
            where = "%s:%d" % (source, number)
            if len(fields) != 1 + len(LANGUAGES):
                sys.exit("%s: want a number and %d texts separated by TAB" % (where, len(LANGUAGES)))
            if not fields[0].isdigit() or int(fields[0]) > 65535:
                sys.exit("%s: text number %r is not 0 to 65535" % (where, fields[0]))
            text_id = int(fields[0])
            if text_id in seen:
                sys.exit("%s: text number %d also on line %d" % (where, text_id, seen[text_id]))
            seen[text_id] = number
            for language, text in zip(LANGUAGES, fields[1:]):
                if not text:
                    sys.exit("%s: empty text for language %d" % (where, language))
                if len(text) > MAX_LENGTH:
                    sys.exit("%s: text longer than %d characters" % (where, MAX_LENGTH))
                lines.append("%d\t%d\t%s\r\n" % (language, text_id, escape(text)))
    with open(target, "w", encoding="ascii", newline="") as out:
        out.writelines(lines)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
