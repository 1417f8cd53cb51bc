#!/usr/bin/python3
"""Makes the test data of the band decoder tests with outside tools.

Usage: make-decoder-data.py strips|gif|bmp OUTDIR

Every case NAME gets three files:
  NAME.meta    "key value" lines; "strip OFFSET LENGTH" lines locate the
               coded pieces inside NAME.data
  NAME.data    the coded bytes (TIFF strips, GIF LZW data, BMP RLE data)
  NAME.expect  the pixels the decoder must deliver, rows in the order they
               are stored, one byte per pixel (three, blue green red, for
               colour)
The compressed data come from libtiff (tiffcp), ImageMagick and Pillow, the
expected pixels from libtiff's uncompressed copy or from Pillow's or
ImageMagick's decode.
"""
import io
import os
import random
import struct
import subprocess
import sys

from PIL import Image, ImageDraw


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def write_case(out, name, meta, data, expect):
    with open(os.path.join(out, name + ".meta"), "w") as f:
        for key, value in meta:
            f.write("%s %s\n" % (key, value))
    with open(os.path.join(out, name + ".data"), "wb") as f:
        f.write(data)
    with open(os.path.join(out, name + ".expect"), "wb") as f:
        f.write(expect)


def drawing(width, height, levels, seed):
    """Line art with some noise: long runs for the string tables, noise
    for the short codes."""
    rnd = random.Random(seed)
    im = Image.new("L", (width, height), 0)
    d = ImageDraw.Draw(im)
    for _ in range(12):
        x0, y0 = rnd.randrange(width), rnd.randrange(height)
        x1, y1 = rnd.randrange(width), rnd.randrange(height)
        d.line((x0, y0, x1, y1), fill=rnd.randrange(levels), width=rnd.randrange(1, 6))
        d.rectangle((min(x0, x1), min(y0, y1), max(x0, x1), max(y0, y1)), outline=rnd.randrange(levels))
    px = im.load()
    for _ in range(width * height // 6):
        px[rnd.randrange(width), rnd.randrange(height)] = rnd.randrange(levels)
    return im


# ---------------------------------------------------------------- TIFF strips

def tiff_entries(raw):
    """The first directory's entries of a TIFF: tag -> list of values."""
    order = "<" if raw[:2] == b"II" else ">"
    (ifd,) = struct.unpack(order + "I", raw[4:8])
    (count,) = struct.unpack(order + "H", raw[ifd:ifd + 2])
    sizes = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 6: 1, 7: 1, 8: 2, 9: 4, 10: 8, 11: 4, 12: 8}
    codes = {1: "B", 2: "B", 3: "H", 4: "I", 6: "b", 7: "B", 8: "h", 9: "i"}
    entries = {}
    for i in range(count):
        e = ifd + 2 + 12 * i
        tag, typ, n = struct.unpack(order + "HHI", raw[e:e + 8])
        size = sizes.get(typ, 1) * n
        where = e + 8 if size <= 4 else struct.unpack(order + "I", raw[e + 8:e + 12])[0]
        if typ in codes:
            entries[tag] = list(struct.unpack(order + codes[typ] * n, raw[where:where + sizes[typ] * n]))
    return entries


def tiff_strips(raw):
    e = tiff_entries(raw)
    return [raw[o:o + n] for o, n in zip(e[273], e[279])], e


def strip_case(out, name, source_tif, compression, rows_per_strip):
    plain = os.path.join(out, name + ".plain.tif")
    coded = os.path.join(out, name + ".coded.tif")
    run("tiffcp", "-c", "none", "-r", "100000", source_tif, plain)
    run("tiffcp", "-c", compression, "-r", str(rows_per_strip), source_tif, coded)
    plain_strips, pe = tiff_strips(open(plain, "rb").read())
    coded_strips, ce = tiff_strips(open(coded, "rb").read())
    width, height = ce[256][0], ce[257][0]
    bps = ce.get(258, [1])[0]
    spp = ce.get(277, [1])[0]
    extra = len(ce.get(338, []))
    photometric = ce[262][0]
    predictor = ce.get(317, [1])[0]
    rows = ce.get(278, [height])[0]
    raw = b"".join(plain_strips)
    # What the decoder delivers: packed rows as stored for 1 and 4 bits,
    # unpacked here to one value per pixel; colour as blue, green, red.
    expect = bytearray()
    row_bytes = (width * bps + 7) // 8 if spp == 1 else width * spp
    for y in range(height):
        row = raw[y * row_bytes:(y + 1) * row_bytes]
        if bps == 1:
            expect += bytes((row[x // 8] >> (7 - x % 8)) & 1 for x in range(width))
        elif bps == 4:
            expect += bytes((row[x // 2] >> (0 if x % 2 else 4)) & 15 for x in range(width))
        elif spp == 1 or spp - extra == 1:
            expect += bytes(row[x * spp] for x in range(width))
        elif photometric == 5:
            for x in range(width):
                c, m, yy, k = row[x * spp:x * spp + 4]
                expect += bytes(((255 - k) * (255 - v)) >> 8 for v in (yy, m, c))
        else:
            for x in range(width):
                r, g, b = row[x * spp:x * spp + 3]
                expect += bytes((b, g, r))
    meta = [("width", width), ("height", height), ("bits", bps), ("samples", spp), ("extra", extra),
            ("photometric", photometric), ("predictor", predictor), ("compression", ce[259][0]),
            ("rows_per_strip", rows)]
    data = bytearray()
    for s in coded_strips:
        meta.append(("strip", "%d %d" % (len(data), len(s))))
        data += s
    write_case(out, name, meta, bytes(data), bytes(expect))
    os.remove(plain)
    os.remove(coded)


def make_strips(out):
    sources = {}
    bilevel = drawing(203, 150, 2, 1).point(lambda v: 255 if v else 0).convert("1")
    sources["1"] = bilevel
    sources["4"] = drawing(121, 90, 16, 2)
    sources["8"] = drawing(300, 211, 256, 3)
    grey = drawing(257, 180, 256, 4)
    colour = Image.merge("RGB", (grey, drawing(257, 180, 256, 5), drawing(257, 180, 256, 6)))
    sources["24"] = colour
    for key, im in sources.items():
        path = os.path.join(out, "src%s.tif" % key)
        if key == "4":
            # Pillow writes no 4-bit TIFF; ImageMagick does.
            png = os.path.join(out, "src4.png")
            im.point(lambda v: v * 17).save(png)
            run("convert", png, "-depth", "4", "-compress", "none", "tiff:" + path)
            os.remove(png)
        else:
            im.save(path, compression=None)
    cases = []
    for key in ("1", "4", "8", "24"):
        for compression in ("lzw", "packbits", "none"):
            for rows in (100000, 16, 7):
                cases.append(("%s_%s_r%d" % (compression, key, rows), key, compression, rows))
    for key in ("8", "24"):
        for rows in (100000, 13):
            cases.append(("lzw2_%s_r%d" % (key, rows), key, "lzw:2", rows))
    for name, key, compression, rows in cases:
        strip_case(out, name, os.path.join(out, "src%s.tif" % key), compression, rows)
    # Colour with an alpha sample, and CMYK, both from ImageMagick.
    png = os.path.join(out, "rgba.png")
    rgba = colour.copy()
    rgba.putalpha(drawing(257, 180, 256, 7))
    rgba.save(png)
    run("convert", png, "-compress", "none", "tiff:" + os.path.join(out, "srcrgba.tif"))
    run("convert", png, "-alpha", "off", "-colorspace", "cmyk", "-compress", "none",
        "tiff:" + os.path.join(out, "srccmyk.tif"))
    os.remove(png)
    for key in ("rgba", "cmyk"):
        for compression in ("lzw", "lzw:2"):
            strip_case(out, "%s_%s" % (compression.replace(":", ""), key),
                       os.path.join(out, "src%s.tif" % key), compression, 10)
    for key in list(sources) + ["rgba", "cmyk"]:
        os.remove(os.path.join(out, "src%s.tif" % key))
    with open(os.path.join(out, "cases.txt"), "w") as f:
        f.write("\n".join([c[0] for c in cases] + ["lzw_rgba", "lzw2_rgba", "lzw_cmyk", "lzw2_cmyk"]) + "\n")


# ---------------------------------------------------------------- GIF

def gif_image_data(raw):
    """(width, height, table bits, interlaced, code size, LZW bytes) of the
    first image of a GIF file."""
    flags = raw[10]
    pos = 13
    bits = (flags & 7) + 1 if flags & 0x80 else 0
    if flags & 0x80:
        pos += 3 << ((flags & 7) + 1)
    while raw[pos] == 0x21:
        pos += 2
        while raw[pos]:
            pos += raw[pos] + 1
        pos += 1
    assert raw[pos] == 0x2C
    width, height, flags = struct.unpack("<HHB", raw[pos + 5:pos + 10])
    pos += 10
    if flags & 0x80:
        bits = (flags & 7) + 1
        pos += 3 << ((flags & 7) + 1)
    interlaced = 1 if flags & 0x40 else 0
    code_size = raw[pos]
    pos += 1
    data = bytearray()
    while raw[pos]:
        data += raw[pos + 1:pos + 1 + raw[pos]]
        pos += raw[pos] + 1
    return width, height, bits, interlaced, code_size, bytes(data)


def gif_case(out, name, raw):
    width, height, bits, interlaced, code_size, data = gif_image_data(raw)
    im = Image.open(io.BytesIO(raw))
    assert im.mode in ("P", "L"), im.mode
    # Pillow decodes interlaced files into picture order; the decoder
    # delivers picture rows too.
    expect = bytes(im.getdata())
    meta = [("width", width), ("height", height), ("bits", bits), ("interlaced", interlaced),
            ("code_size", code_size), ("strip", "0 %d" % len(data))]
    write_case(out, name, meta, data, expect)


def lzw_gif_encode(pixels, code_size, clear_when_full):
    """A plain GIF LZW encoder; with clear_when_full false it goes on coding
    at 12 bits once the table is full, as some encoders do (deferred clear)."""
    clear, end = 1 << code_size, (1 << code_size) + 1
    bits = []

    def put(code, width):
        bits.extend((code >> i) & 1 for i in range(width))

    def reset():
        return {bytes([i]): i for i in range(clear)}, clear + 2, code_size + 1

    table, next_code, width = reset()
    put(clear, width)
    w = b""
    for p in pixels:
        wc = w + bytes([p])
        if wc in table:
            w = wc
            continue
        put(table[w], width)
        if next_code < 4096:
            table[wc] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        elif clear_when_full:
            put(clear, width)
            table, next_code, width = reset()
        w = bytes([p])
    if w:
        put(table[w], width)
    put(end, width)
    out = bytearray()
    for i in range(0, len(bits), 8):
        out.append(sum(b << k for k, b in enumerate(bits[i:i + 8])))
    return bytes(out)


def gif_wrap(width, height, bits, code_size, data):
    palette = b"".join(bytes((i * 255 // ((1 << bits) - 1),) * 3) for i in range(1 << bits))
    out = bytearray(b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80 | (bits - 1), 0, 0) + palette)
    out += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0) + bytes((code_size,))
    for i in range(0, len(data), 255):
        piece = data[i:i + 255]
        out += bytes((len(piece),)) + piece
    out += b"\x00\x3B"
    return bytes(out)


def make_gif(out):
    names = []
    for bits in range(1, 9):
        for interlaced in (False, True):
            width, height = 97 + bits * 13, 10 + bits * 9
            im = drawing(width, height, 1 << bits, 10 + bits).convert("P")
            im.putpalette([v for i in range(1 << bits) for v in (i, 255 - i, (i * 7) & 255)])
            buf = io.BytesIO()
            im.save(buf, "GIF", interlace=interlaced, optimize=False, bits=bits)
            name = "pillow_b%d_%s" % (bits, "i" if interlaced else "n")
            gif_case(out, name, buf.getvalue())
            names.append(name)
    # ImageMagick, interlaced and not, with a comment block before the image.
    for colours, interlace in ((2, "None"), (16, "GIF"), (200, "GIF"), (256, "None")):
        png = os.path.join(out, "im.png")
        gif = os.path.join(out, "im.gif")
        drawing(150, 61, 256, colours).save(png)
        run("convert", png, "-colors", str(colours), "-interlace", interlace, "-comment", "a note", gif)
        name = "magick_c%d_%s" % (colours, interlace)
        gif_case(out, name, open(gif, "rb").read())
        names.append(name)
        os.remove(png)
        os.remove(gif)
    # A table that fills up and goes on without a clear code.
    rnd = random.Random(5)
    width, height = 160, 120
    pixels = bytes(rnd.randrange(256) if rnd.random() < 0.6 else 7 for _ in range(width * height))
    for clear_when_full in (True, False):
        data = lzw_gif_encode(pixels, 8, clear_when_full)
        name = "full_table_%s" % ("clear" if clear_when_full else "deferred")
        gif_case(out, name, gif_wrap(width, height, 8, 8, data))
        names.append(name)
    with open(os.path.join(out, "cases.txt"), "w") as f:
        f.write("\n".join(names) + "\n")


# ---------------------------------------------------------------- BMP RLE

def bmp_rle_data(raw):
    offset, = struct.unpack("<I", raw[10:14])
    width, height, _, bits, compression, size = struct.unpack("<iiHHII", raw[18:38])
    return width, height, bits, compression, raw[offset:offset + size] if size else raw[offset:]


def bmp_wrap(width, height, bits, data):
    colours = 1 << bits
    step = 255 // (colours - 1)
    palette = b"".join(bytes((i * step, i * step, i * step, 0)) for i in range(colours))
    offset = 14 + 40 + len(palette)
    header = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 2 if bits == 4 else 1, len(data),
                       2835, 2835, colours, 0)
    return header + info + palette + data


def bmp_case(out, name, raw):
    path = os.path.join(out, name + ".bmp")
    with open(path, "wb") as f:
        f.write(raw)
    width, height, bits, compression, data = bmp_rle_data(raw)
    # ImageMagick's decode, top row first, as grey levels of the palette:
    # the crafted palettes are grey ramps and the others are read back as
    # palette indices through a grey ramp of the same size.
    # ImageMagick reports a premature end of file for streams that stop at
    # their end-of-bitmap code, yet decodes them whole: judge by the size.
    grey = subprocess.run(["convert", path, "-flip", "-depth", "8", "gray:-"],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    assert len(grey) == width * height, name
    step = 255 // ((1 << bits) - 1)
    expect = bytes(v // step for v in grey)
    meta = [("width", width), ("height", height), ("bits", bits), ("compression", compression),
            ("strip", "0 %d" % len(data))]
    write_case(out, name, meta, data, expect)
    os.remove(path)


def rle_pair(count, value):
    return bytes((count, value))


def make_bmp(out):
    names = []
    # ImageMagick's RLE8, of a picture turned into palette indices on a grey
    # ramp so that its decode can be read back as indices.
    for width, height, seed in ((64, 40, 1), (101, 33, 2), (7, 5, 3)):
        png = os.path.join(out, "src.png")
        bmp = os.path.join(out, "src.bmp")
        drawing(width, height, 256, seed).save(png)
        run("convert", png, "-type", "Palette", "-colors", "256", "-compress", "RLE", "bmp3:" + bmp)
        raw = open(bmp, "rb").read()
        w, h, bits, compression, data = bmp_rle_data(raw)
        assert compression == 1 and bits == 8, (compression, bits)
        # Re-wrap the runs with a grey ramp palette: the indices then come
        # back from ImageMagick as grey levels.
        name = "magick_rle8_%dx%d" % (width, height)
        bmp_case(out, name, bmp_wrap(w, h, 8, data))
        names.append(name)
        os.remove(png)
        os.remove(bmp)
    # Crafted streams: RLE4 runs and absolute runs of every padding, deltas
    # within a row and across rows, an early end of bitmap.
    crafted = {
        "rle4_runs": (13, 4, 4, rle_pair(5, 0x1F) + rle_pair(0, 5) + bytes((0x23, 0x45, 0x60)) + b"\x00" +
                      rle_pair(3, 0xAB) + rle_pair(0, 0) +
                      rle_pair(0, 3) + bytes((0x9C, 0xD0)) + rle_pair(13, 0x77) + rle_pair(0, 0) +
                      rle_pair(0, 6) + bytes((0x12, 0x34, 0x56)) + b"\x00" + rle_pair(0, 0) +
                      rle_pair(2, 0xF0) + rle_pair(0, 1)),
        "rle8_delta": (10, 6, 8, rle_pair(2, 9) + rle_pair(0, 2) + bytes((3, 0)) + rle_pair(2, 200) +
                       rle_pair(0, 0) +
                       rle_pair(1, 50) + rle_pair(0, 2) + bytes((4, 2)) + rle_pair(3, 77) + rle_pair(0, 0) +
                       rle_pair(0, 5) + bytes((1, 2, 3, 4, 5)) + b"\x00" + rle_pair(0, 1)),
        "rle4_delta": (9, 5, 4, rle_pair(0, 2) + bytes((2, 1)) + rle_pair(4, 0x5A) + rle_pair(0, 0) +
                       rle_pair(9, 0x33) + rle_pair(0, 0) +
                       rle_pair(0, 2) + bytes((7, 0)) + rle_pair(2, 0xEE) + rle_pair(0, 0) + rle_pair(0, 1)),
    }
    for name, (width, height, bits, data) in crafted.items():
        bmp_case(out, name, bmp_wrap(width, height, bits, data))
        names.append(name)
    with open(os.path.join(out, "cases.txt"), "w") as f:
        f.write("\n".join(names) + "\n")


def main():
    kind, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    {"strips": make_strips, "gif": make_gif, "bmp": make_bmp}[kind](out)


if __name__ == "__main__":
    main()
