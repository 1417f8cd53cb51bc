#!/usr/bin/env python3
"""Builds the viewer's text resource and the header of text names from
resources/texts.tsv.

texts.tsv is UTF-8, one text a line: number, TAB, name, TAB, German text, TAB,
English text. Empty lines and lines starting with '#' are skipped. The texts
keep the escapes of the resource format (backslash n, backslash t). A name is
the C++ name of the text's number ("k" and a capital, then letters and
digits), unique in the file.

The resource is the format foundation/text_table.cpp reads: one line per
language and number, "language TAB number TAB text", CR LF line ends. Every
character outside ASCII is written as a backslash and five decimal digits,
so the resource reads the same whatever the ANSI code page is.

The header holds one constant per text in namespace text, in file order.
Usage: make_text_resource.py texts.tsv resource.txt [text_ids.h]
"""
import re
import sys

LANGUAGES = (0, 1)  # German, English
MAX_LENGTH = 1022
NAME = re.compile(r"k[A-Z][A-Za-z0-9]*$")


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


def comment_text(text):
    # The English text as a one-line comment: escapes stay visible, and a
    # backslash at the end would continue the comment onto the next line.
    text = text.split("\\t")[0]
    if len(text) > 60:
        text = text[:57] + "..."
    return text.rstrip("\\")


def write_header(target, names):
    lines = [
        "// Generated from resources/texts.tsv by resources/make_text_resource.py;\n",
        "// edit texts.tsv, not this file. One name per user-interface text.\n",
        "#pragma once\n",
        "\n",
        "#include <cstdint>\n",
        "\n",
        "namespace text {\n",
        "\n",
    ]
    for name, text_id, english in names:
        lines.append('inline constexpr uint32_t %s = %d;  // "%s"\n' % (name, text_id, comment_text(english)))
    lines.append("\n}  // namespace text\n")
    content = "".join(lines)
    # Rewrite only on change, so that a text edit does not rebuild every
    # source that names a text.
    try:
        with open(target, encoding="utf-8") as old:
            if old.read() == content:
                return
    except OSError:
        pass
    with open(target, "w", encoding="utf-8", newline="\n") as out:
        out.write(content)


def main(source, target, header=None):
    seen = {}
    seen_names = {}
    names = []
    lines = []
    with open(source, encoding="utf-8") as texts:
        for number, line in enumerate(texts, 1):
            line = line.rstrip("\r\n")
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split("\t")
            where = "%s:%d" % (source, number)
            if len(fields) != 2 + len(LANGUAGES):
                sys.exit("%s: want a number, a name and %d texts separated by TAB" % (where, len(LANGUAGES)))
            if not fields[0].isdigit() or int(fields[0]) > 65535:
                sys.exit("%s: text number %r is not 0 to 65535" % (where, fields[0]))
            text_id = int(fields[0])
            if text_id in seen:
                sys.exit("%s: text number %d also on line %d" % (where, text_id, seen[text_id]))
            seen[text_id] = number
            name = fields[1]
            if not NAME.match(name):
                sys.exit("%s: text name %r is not k, a capital, then letters and digits" % (where, name))
            if name in seen_names:
                sys.exit("%s: text name %s also on line %d" % (where, name, seen_names[name]))
            seen_names[name] = number
            names.append((name, text_id, fields[-1]))
            for language, text in zip(LANGUAGES, fields[2:]):
                if not text:
                    sys.exit("%s: empty text for language %d" % (where, language))
                if len(text) > MAX_LENGTH:
                    sys.exit("%s: text longer than %d characters" % (where, MAX_LENGTH))
                lines.append("%d\t%d\t%s\r\n" % (language, text_id, escape(text)))
    with open(target, "w", encoding="ascii", newline="") as out:
        out.writelines(lines)
    if header:
        write_header(header, names)


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit("usage: make_text_resource.py texts.tsv resource.txt [text_ids.h]")
    main(*sys.argv[1:])
