#!/usr/bin/python3
"""Makes the test data of the CCITT decoder tests with outside tools.

Usage: make-ccitt-data.py OUTDIR

Bilevel pages (netpbm's pbmtext, drawings with all-black rows and runs over
2560, narrow pages of noise, widths that are not multiples of 8) are coded
by libtiff (tiffcp -c g3, g3:2d, g3:fill, g4, with both fill orders and
several strip heights), by netpbm's pnmtotiff, by fax2tiff and, for Modified
Huffman, by Pillow through libtiff. Every case NAME gets:
  NAME.meta    "key value" lines (width, rows, mode 0/1/2 for Compression
               2/3/4, options from T4Options or T6Options, lsb_first for
               FillOrder 2, strip_rows) and one "strip OFFSET LENGTH" line
               per strip, locating the coded strips inside NAME.data
  NAME.data    the whole TIFF file
  NAME.expect  libtiff's own decode (tiffcp -c none): packed rows, most
               significant bit first, (width + 7) / 8 bytes each
cases.txt lists the names.
"""
import os
import random
import struct
import subprocess
import sys

from PIL import Image


def run(*args, **kwargs):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kwargs)


def tiff_entries(raw):
    """The first directory's entries of a TIFF: tag -> list of values."""
    order = "<" if raw[:2] == b"II" else ">"
    (ifd,) = struct.unpack(order + "I", raw[4:8])
    (count,) = struct.unpack(order + "H", raw[ifd:ifd + 2])
    sizes = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 6: 1, 7: 1, 8: 2, 9: 4, 10: 8, 11: 4, 12: 8}
    codes = {1: "B", 3: "H", 4: "I"}
    entries = {}
    for i in range(count):
        e = ifd + 2 + 12 * i
        tag, typ, n = struct.unpack(order + "HHI", raw[e:e + 8])
        size = sizes.get(typ, 1) * n
        where = e + 8 if size <= 4 else struct.unpack(order + "I", raw[e + 8:e + 12])[0]
        if typ in codes:
            entries[tag] = list(struct.unpack(order + codes[typ] * n, raw[where:where + sizes[typ] * n]))
    return entries


def write_pbm(path, width, rows):
    """rows: lists of 0/1 pixels, 1 black (PBM's own meaning)."""
    with open(path, "wb") as f:
        f.write(b"P4\n%d %d\n" % (width, len(rows)))
        for row in rows:
            packed = bytearray((width + 7) // 8)
            for x, v in enumerate(row):
                if v:
                    packed[x >> 3] |= 0x80 >> (x & 7)
            f.write(bytes(packed))


def drawing(width, height, seed):
    """Long runs in both colours (over 2560), all-black rows, lines, a band
    of noise and rows of alternating pixels."""
    rnd = random.Random(seed)
    rows = []
    for y in range(height):
        if 10 <= y < 14 or y == height - 1:
            row = [1] * width
        elif y % 37 == 5:
            row = [(x & 1) for x in range(width)]
        elif 40 <= y < 60:
            row = [1 if rnd.random() < 0.3 else 0 for _ in range(width)]
        else:
            row = [0] * width
            for _ in range(rnd.randrange(0, 6)):
                a = rnd.randrange(width)
                b = min(width, a + rnd.choice([1, 2, 3, 50, 700, 2600, 3000, 5000]))
                for x in range(a, b):
                    row[x] = 1
            x = (y * 7) % width  # a slanted line: vertical modes
            row[x] = 1
        rows.append(row)
    return rows


def noise(width, height, seed, density):
    rnd = random.Random(seed)
    return [[1 if rnd.random() < density else 0 for _ in range(width)] for _ in range(height)]


def sources(work):
    made = []
    text = os.path.join(work, "text.pbm")
    with open(text, "wb") as f:
        subprocess.run(["pbmtext", "-builtin", "fixed",
                        "CCITT T.4 / T.6 test page\nThe quick brown fox 0123456789\n"
                        "jumps over the lazy dog !@#$%^&*()"],
                       check=True, stdout=f, stderr=subprocess.DEVNULL)
    made.append(("text", text))
    for name, width, rows in (
        ("drawing", 5003, drawing(5003, 160, 1)),
        ("noise77", 77, noise(77, 40, 2, 0.5)),
        ("narrow1", 1, noise(1, 30, 3, 0.5)),
        ("narrow9", 9, noise(9, 30, 4, 0.5)),
        ("black", 100, [[1] * 100 for _ in range(6)] + [[0] * 100] * 3 + [[1] * 100] * 3),
    ):
        path = os.path.join(work, name + ".pbm")
        write_pbm(path, width, rows)
        made.append((name, path))
    return made


def write_case(out, names, name, tif, work):
    raw = open(tif, "rb").read()
    e = tiff_entries(raw)
    width, rows = e[256][0], e[257][0]
    compression = e[259][0]
    mode = {2: 0, 3: 1, 4: 2}[compression]
    options = e.get(292, e.get(293, [0]))[0]
    plain = os.path.join(work, name + "-none.tif")
    run("tiffcp", "-c", "none", "-f", "msb2lsb", "-r", str(rows), tif, plain)
    plain_raw = open(plain, "rb").read()
    pe = tiff_entries(plain_raw)
    expect = b"".join(plain_raw[o:o + n] for o, n in zip(pe[273], pe[279]))
    stride = (width + 7) // 8
    assert len(expect) == stride * rows, name
    with open(os.path.join(out, name + ".meta"), "w") as f:
        f.write("width %d\nrows %d\nmode %d\noptions %d\n" % (width, rows, mode, options))
        f.write("lsb_first %d\n" % (1 if e.get(266, [1])[0] == 2 else 0))
        f.write("strip_rows %d\n" % min(e.get(278, [rows])[0], rows))
        for o, n in zip(e[273], e[279]):
            f.write("strip %d %d\n" % (o, n))
    with open(os.path.join(out, name + ".data"), "wb") as f:
        f.write(raw)
    with open(os.path.join(out, name + ".expect"), "wb") as f:
        f.write(expect)
    names.append(name)


def main():
    out = sys.argv[1]
    work = os.path.join(out, "work")
    os.makedirs(work, exist_ok=True)
    names = []
    for source, pbm in sources(work):
        base = os.path.join(work, source + ".tif")
        with open(base, "wb") as f:
            subprocess.run(["pnmtotiff", "-none", pbm], check=True, stdout=f, stderr=subprocess.DEVNULL)
        rows = tiff_entries(open(base, "rb").read())[257][0]
        for codec in ("g3", "g3:2d", "g3:fill", "g3:2d:fill", "g4"):
            for order in ("msb2lsb", "lsb2msb"):
                for strip in (rows, 7, 1):
                    if strip == 1 and (order == "lsb2msb" or source == "drawing"):
                        continue
                    name = "%s-tiffcp-%s-%s-r%d" % (source, codec.replace(":", "_"), order, strip)
                    tif = os.path.join(work, name + ".tif")
                    run("tiffcp", "-c", codec, "-f", order, "-r", str(strip), base, tif)
                    write_case(out, names, name, tif, work)
        for flags in (["-g3"], ["-g3", "-2d", "-fill"], ["-g4"], ["-g4", "-lsb2msb"], ["-g3", "-2d", "-lsb2msb"]):
            name = "%s-pnmtotiff%s" % (source, "".join(flags))
            tif = os.path.join(work, name + ".tif")
            with open(tif, "wb") as f:
                subprocess.run(["pnmtotiff"] + flags + [pbm], check=True, stdout=f, stderr=subprocess.DEVNULL)
            write_case(out, names, name, tif, work)
        # Modified Huffman (Compression 2): libtiff's encoder, through Pillow.
        name = "%s-pillow-mh" % source
        tif = os.path.join(work, name + ".tif")
        Image.open(pbm).save(tif, compression="tiff_ccitt")
        write_case(out, names, name, tif, work)
        # fax2tiff takes the raw T.4 data of one strip and codes it again.
        g3 = os.path.join(work, source + "-raw.tif")
        run("tiffcp", "-c", "g3", "-f", "lsb2msb", "-r", str(rows), base, g3)
        g3_raw = open(g3, "rb").read()
        g3e = tiff_entries(g3_raw)
        width = g3e[256][0]
        fax = os.path.join(work, source + ".fax")
        with open(fax, "wb") as f:
            f.write(b"".join(g3_raw[o:o + n] for o, n in zip(g3e[273], g3e[279])))
        for flags in (["-5", "-a"], ["-6", "-p", "-m"], ["-8"], ["-6", "-a", "-r", "5"]):
            name = "%s-fax2tiff%s" % (source, "".join(flags).replace(" ", ""))
            tif = os.path.join(work, name + ".tif")
            run("fax2tiff", "-X", str(width), "-3", "-1", "-L", *flags, "-o", tif, fax)
            write_case(out, names, name, tif, work)
    with open(os.path.join(out, "cases.txt"), "w") as f:
        f.write("\n".join(names) + "\n")


if __name__ == "__main__":
    main()
