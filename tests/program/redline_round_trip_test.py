#!/usr/bin/python3
"""Markups round trip through the desktop program: a document opened with a
companion file made here (tarfile, zlib) is saved into a new TIFF by the
save command (WM_COMMAND 562 from the window probe, its file dialog filled
the same way); each page's tag 40000, found by a struct walker of the TIFF,
must inflate to the very text that went into the companion file."""
import io
import os
import struct
import sys
import tarfile
import zlib

from program_peer import (FRAME, WM_COMMAND, IDOK, begin, check, finish, make_tiff, probe, quit_program, reg_set,
                          start, wait_for, wait_for_frame, windows_path)

REDLINE_SAVE, EDIT_NAME, COMBO_NAME = 562, 1152, 1148
HEADER = bytes([0x1F, 0x8B, 0x08, 0, 0, 0, 0, 0, 0, 0x0B])


def element(tag, value):
    return "<r:%s>%s</r:%s>" % (tag, value, tag)


def page_text(objects):
    """The stored text of a page: objects as (id, type, geometry, [(kind, form)])."""
    lines = ['<?xml encoding="iso-8859-1"?>', "<?version=3?>",
             '<r:document xmlns:r="http://www.plovex.com/xml/redline.dtd" r:version="4.3">',
             '<r:layer r:version="4.3">', element("id", 1)]
    for oid, otype, geometry, attributes in objects:
        lines += ['<r:object r:version="4.3">', element("id", oid), element("type", otype)]
        for kind, form in attributes:
            lines += ['<r:attribute r:version="4.3">', element("type", kind), element("data", form), "</r:attribute>"]
        lines += [element("data", geometry), "</r:object>"]
    return ("\r\n".join(lines + ["</r:layer>", "</r:document>"]) + "\r\n").encode("cp1252")


def deflated(text):
    deflater = zlib.compressobj(9, zlib.DEFLATED, -15)
    return HEADER + deflater.compress(text) + deflater.flush()


def tag_payloads(path):
    """Tag 40000 of every directory of a little-endian TIFF, in file order."""
    data = open(path, "rb").read()
    if data[:4] != b"II*\x00":
        return None
    payloads, offset = [], struct.unpack_from("<I", data, 4)[0]
    while offset:
        count = struct.unpack_from("<H", data, offset)[0]
        found = None
        for i in range(count):
            tag, ftype, n, value = struct.unpack_from("<HHII", data, offset + 2 + 12 * i)
            if tag == 40000 and ftype == 1:
                found = data[offset + 10 + 12 * i:offset + 10 + 12 * i + n] if n <= 4 else data[value:value + n]
        payloads.append(found)
        offset = struct.unpack_from("<I", data, offset + 2 + 12 * count)[0]
    return payloads


def inflated(payload):
    inflater = zlib.decompressobj(-15)
    text = inflater.decompress(payload[10:])
    return text if payload[:10] == HEADER and inflater.eof else None


work = begin("redline-round-trip")
document = os.path.join(work, "plan.tif")
make_tiff(document, ["800x600", "640x480"])
texts = [page_text([(1, 2, "10.000000:20.000000:300.500000:400.250000", [(0, "0:255:1:0.500000"), (6, "1:0")]),
                    (2, 3, "5.000000:6.000000:50.000000:60.000000", [(0, "0:0:0:0.350000"), (1, "1:65280:0")])]),
         page_text([(1, 7, "1.000000:2.000000:30.000000:40.000000", [(4, "2:5:Hello5:World")])])]
with tarfile.open(os.path.join(work, "plan.PLR"), "w", format=tarfile.USTAR_FORMAT) as archive:
    for index, text in enumerate(texts):
        info = tarfile.TarInfo(str(index))
        member = deflated(text)
        info.size = len(member)
        archive.addfile(info, io.BytesIO(member))

reg_set({"REDLINING_ACTIVE": "1"})
target = os.path.join(work, "with-markups.tif")
try:
    viewer = start(windows_path(document))
    frame = wait_for_frame("plan.tif")
    if check(frame, "a frame shows plan.tif"):
        probe("post", frame[0], WM_COMMAND, REDLINE_SAVE, 0)
        dialog = wait_for(lambda: probe("windows", "#32770"), 20)
        if check(dialog, "the save command shows its file dialog"):
            box = dialog[0][0]
            for child in probe("children", box):
                if child[2] in (str(EDIT_NAME), str(COMBO_NAME)):
                    probe("text", child[0], windows_path(target))
            probe("post", box, WM_COMMAND, IDOK, 0)
            check(wait_for(lambda: os.path.exists(target) and not probe("windows", "#32770"), 30),
                  "the TIFF with markups was written and no box asks anything")
    payloads = tag_payloads(target) if os.path.exists(target) else None
    check(payloads is not None and len(payloads) == 2, "two directories: %r" % (payloads and len(payloads)))
    for index, payload in enumerate(payloads or []):
        check(payload is not None and inflated(payload) == texts[index],
              "page %d: the tag holds the companion file's text:\n%r" % (index, payload and inflated(payload)))
    check(quit_program(viewer), "Quit ends the viewer without asking")
finally:
    reg_set({"REDLINING_ACTIVE": None})
sys.exit(finish())
