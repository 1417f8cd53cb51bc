#!/usr/bin/python3
"""Makes the test files of the GIF, BMP and CALS reader tests with outside
tools.

Usage: make-reader-data.py gif|bmp|cals OUTDIR

Every case NAME gets NAME.data (the file: written by ImageMagick, Pillow or
netpbm, or such a file with bytes changed where the tools cannot write the
variant), NAME.meta ("key value" lines: what the reader must report, and
status, the error code the parse must give, 0 for none) and, for files that
parse, NAME.expect, the oracle's decode as binary PNM (P6, or P5 for CALS),
top line first. NAME.text holds the expected description where there is
one. cases.txt lists the names.
"""
import io
import os
import random
import struct
import subprocess
import sys

import numpy as np
from PIL import Image, ImageDraw


def run(*args, **kwargs):
    return subprocess.run(args, check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, **kwargs).stdout


def picture(width, height, seed):
    """Coloured line art over a gradient: runs for the coders, edges for the
    colour tables."""
    rnd = random.Random(seed)
    x = np.linspace(0, 255, width)[None, :]
    y = np.linspace(0, 255, height)[:, None]
    base = np.stack([x + 0 * y, y + 0 * x, (x + y) / 2], axis=2).astype(np.uint8)
    im = Image.fromarray(base, "RGB")
    d = ImageDraw.Draw(im)
    for _ in range(10):
        box = sorted((rnd.randrange(width), rnd.randrange(width))), sorted((rnd.randrange(height),
                                                                            rnd.randrange(height)))
        colour = tuple(rnd.randrange(256) for _ in range(3))
        d.rectangle((box[0][0], box[1][0], box[0][1], box[1][1]), outline=colour, width=rnd.randrange(1, 4))
        d.line((rnd.randrange(width), rnd.randrange(height), rnd.randrange(width), rnd.randrange(height)),
               fill=colour, width=rnd.randrange(1, 5))
    return im


def bilevel(width, height, seed):
    rnd = random.Random(seed)
    im = Image.new("1", (width, height), 1)
    d = ImageDraw.Draw(im)
    for _ in range(30):
        x0, y0, x1, y1 = (rnd.randrange(width), rnd.randrange(height), rnd.randrange(width), rnd.randrange(height))
        d.line((x0, y0, x1, y1), fill=0, width=rnd.randrange(1, 6))
        d.rectangle((min(x0, x1), min(y0, y1), max(x0, x1), max(y0, y1)), outline=0)
    d.text((width // 8, height // 3), "A-A 1:50", fill=0)
    return im


class Cases:
    def __init__(self, outdir):
        self.outdir = outdir
        self.names = []

    def add(self, name, data, meta, expect=None, text=None):
        stem = os.path.join(self.outdir, name)
        with open(stem + ".data", "wb") as f:
            f.write(data)
        meta.setdefault("status", 0)
        with open(stem + ".meta", "w") as f:
            for key, value in meta.items():
                f.write("%s %d\n" % (key, value))
        if expect is not None:
            with open(stem + ".expect", "wb") as f:
                f.write(expect)
        if text is not None:
            with open(stem + ".text", "wb") as f:
                f.write(text)
        self.names.append(name)

    def finish(self):
        with open(os.path.join(self.outdir, "cases.txt"), "w") as f:
            f.write("\n".join(self.names) + "\n")


def pnm(im):
    out = io.BytesIO()
    im.save(out, "PPM")
    return out.getvalue()


def pillow_decode(data):
    return pnm(Image.open(io.BytesIO(data)).convert("RGB"))


def magick_decode(data, kind):
    return run("convert", kind + ":-", "-depth", "8", "ppm:-", input=data)


# ---------------------------------------------------------------- GIF


def gif_blocks(data):
    """(end of the header and global table, position of the first image
    descriptor)."""
    flags = data[10]
    pos = 13 + (3 << ((flags & 7) + 1) if flags & 0x80 else 0)
    header_end = pos
    while data[pos] == 0x21:
        pos += 2
        while data[pos]:
            pos += data[pos] + 1
        pos += 1
    assert data[pos] == 0x2C
    return header_end, pos


def gif_meta(data):
    _, image = gif_blocks(data)
    flags = data[image + 9]
    table = flags if flags & 0x80 else data[10]
    width, height = struct.unpack("<HH", data[image + 5:image + 9])
    aspect = data[12]
    dpiy = 25.4 * (aspect + 15) / 64 if aspect else 25.4
    return {"width": width, "height": height, "bits": (table & 7) + 1, "version": int(data[3:5]),
            "interlaced": (flags >> 6) & 1, "dpiy1000": round(dpiy * 1000)}


def magick_gif(source, *options):
    return run("convert", "png:-", *options, "gif:-", input=source)


def make_gif(cases):
    source = io.BytesIO()
    picture(97, 61, 1).save(source, "PNG")
    source = source.getvalue()

    for name, options in [("im_2_colours", ["-colors", "2"]), ("im_4_interlaced", ["-colors", "4", "-interlace", "GIF"]),
                          ("im_16_colours", ["-colors", "16"]), ("im_256_interlaced", ["-colors", "256", "-interlace", "GIF"]),
                          ("im_transparent_loop", ["-colors", "32", "-transparent", "white", "-loop", "0"])]:
        data = magick_gif(source, *options)
        cases.add(name, data, gif_meta(data), pillow_decode(data))
    data = magick_gif(source, "-colors", "8", "-set", "comment", "Sheet 12 of 40")
    cases.add("im_comment", data, gif_meta(data), pillow_decode(data), b"Sheet 12 of 40")

    out = io.BytesIO()
    base = picture(130, 77, 2).convert("P", palette=Image.ADAPTIVE, colors=256)
    base.save(out, "GIF")
    plain = out.getvalue()
    assert plain[:6] == b"GIF87a"
    cases.add("pil_87a", plain, gif_meta(plain), pillow_decode(plain))

    # A comment longer than one sub-block, and then a second comment extension.
    text = b"Revision C, drawn by the design office; " * 8
    out = io.BytesIO()
    base.save(out, "GIF", comment=text)
    data = out.getvalue()
    header_end, image = gif_blocks(data)
    data = data[:image] + b"\x21\xfe\x05 END.\x00" + data[image:]
    cases.add("pil_two_comments", data, gif_meta(data), pillow_decode(data), text + b" END.")

    # The global table moved into the image descriptor as a local one.
    header_end, image = gif_blocks(plain)
    flags = plain[10]
    table = plain[13:header_end]
    screen = plain[:10] + bytes([flags & 0x7F]) + plain[11:13]
    descriptor = plain[image:image + 9] + bytes([plain[image + 9] | 0x80 | (flags & 7)])
    data = screen + plain[header_end:image] + descriptor + table + plain[image + 10:]
    cases.add("local_table", data, gif_meta(data), pillow_decode(data))

    # No colour table at all: the indices show as grey levels.
    indices = np.asarray(Image.open(io.BytesIO(plain)))
    assert Image.open(io.BytesIO(plain)).mode == "P" and (plain[10] & 7) == 7
    data = screen + plain[header_end:]
    cases.add("no_table", data, gif_meta(data), pnm(Image.fromarray(indices.astype(np.uint8), "L").convert("RGB")))

    # Files of under 128 bytes: ImageMagick's one transparent pixel (a
    # spacer) and a 3 x 2 picture.
    for name, size, drawing in [("im_spacer", "1x1", ["xc:white", "-transparent", "white"]),
                                ("im_tiny", "3x2", ["xc:red", "-fill", "blue", "-draw", "point 1,1"])]:
        data = run("convert", "-size", size, *drawing, "gif:-")
        assert len(data) < 128, len(data)
        cases.add(name, data, gif_meta(data), pillow_decode(data))

    # A pixel aspect ratio of 2 (y resolution doubled), and an extension of
    # a label no standard defines, before the image.
    data = plain[:12] + bytes([113]) + plain[13:image] + b"\x21\x77\x03abc\x02de\x00" + plain[image:]
    cases.add("aspect_unknown_extension", data, gif_meta(data), pillow_decode(plain))


# ---------------------------------------------------------------- BMP


def bmp_meta(data, expect_palette=None, grey=None):
    (offset,) = struct.unpack("<I", data[10:14])
    size, width, height, planes, bits, compression, image_size, xppm, yppm, used = struct.unpack(
        "<IiiHHIIiiI", data[14:50])
    meta = {"width": width, "height": abs(height), "bits": bits, "compression": 1 if compression else 0,
            "dpix1000": round(xppm * 25.4) if xppm > 0 else 25400,
            "dpiy1000": round(yppm * 25.4) if yppm > 0 else 25400, "given": 1 if xppm > 0 or yppm > 0 else 0}
    if expect_palette is not None:
        meta["palette"] = expect_palette
    if grey is not None:
        meta["grey"] = grey
    return meta


def bmp_parts(data):
    """(file and info header bytes, palette bytes, pixel bytes) of a
    BITMAPINFOHEADER file with a full palette."""
    (offset,) = struct.unpack("<I", data[10:14])
    return data[:54], data[54:offset], data[offset:]


def bmp_file(info_header, palette, pixels):
    offset = 14 + len(info_header) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info_header + palette + pixels


def set_info(info, **fields):
    """A BITMAPINFOHEADER (40 bytes, or longer) with some fields replaced."""
    names = ["size", "width", "height", "planes", "bits", "compression", "image_size", "xppm", "yppm", "used",
             "important"]
    values = dict(zip(names, struct.unpack("<IiiHHIIiiII", info[:40])))
    values.update(fields)
    return struct.pack("<IiiHHIIiiII", *[values[n] for n in names]) + info[40:]


def rle_stream(rows, rle4, width):
    """RLE4 or RLE8 of index rows (bottom row first): runs, absolute runs of
    odd and even lengths, deltas within a row and down over rows."""
    rnd = random.Random(5)
    out = bytearray()
    y = 0
    x = 0
    while y < len(rows):
        row = rows[y]
        while x < width:
            left = width - x
            choice = rnd.randrange(4)
            if choice == 0 and left >= 3:
                n = rnd.randrange(3, min(left, 40) + 1)
                chunk = row[x:x + n]
                if rle4:
                    packed = bytes((chunk[i] << 4) | (chunk[i + 1] if i + 1 < n else 0) for i in range(0, n, 2))
                else:
                    packed = bytes(chunk)
                out += bytes([0, n]) + packed + (b"\x00" if len(packed) % 2 else b"")
                x += n
            elif choice == 1 and left > 4 and y % 5 == 2:
                dx = rnd.randrange(1, left - 2)
                dy = 1 if y + 1 < len(rows) and rnd.randrange(2) else 0
                out += bytes([0, 2, dx, dy])
                x += dx
                if dy:
                    y += 1
                    row = rows[y]
            else:
                n = rnd.randrange(1, min(left, 255) + 1)
                a = row[x]
                b = row[x + 1] if rle4 and x + 1 < width else a
                out += bytes([n, (a << 4) | b if rle4 else a])
                x += n
        out += b"\x00\x00"
        y += 1
        x = 0
    return bytes(out[:-2]) + b"\x00\x01"


def make_bmp(cases):
    source = picture(61, 43, 3)
    ppm = pnm(source)
    png = io.BytesIO()
    source.save(png, "PNG")
    png = png.getvalue()

    for name, options in [("im_bmp3_2", ["-colors", "2"]), ("im_bmp3_8", ["-colors", "100", "-compress", "None"]),
                          ("im_rle8", ["-colors", "100", "-compress", "RLE"]),
                          ("im_rle8_few", ["-colors", "7", "-compress", "RLE"])]:
        data = run("convert", "png:-", *options, "bmp3:-", input=png)
        cases.add(name, data, bmp_meta(data, 1), magick_decode(data, "bmp"))
    # Under 128 bytes: 3 x 2 pixels of 24 bits.
    data = run("convert", "-size", "3x2", "xc:red", "-fill", "blue", "-draw", "point 1,1", "bmp3:-")
    assert len(data) < 128, len(data)
    cases.add("im_bmp3_tiny", data, bmp_meta(data, 0), magick_decode(data, "bmp"))
    data = run("convert", "png:-", "-density", "96", "-units", "PixelsPerInch", "bmp:-", input=png)
    assert data[14] == 124
    cases.add("im_v5_24", data, bmp_meta(data, 0, 0), magick_decode(data, "bmp"))

    five = run("convert", "ppm:-", "-colors", "5", "ppm:-", input=ppm)
    two = run("convert", "ppm:-", "-colors", "2", "ppm:-", input=ppm)
    netpbm = {}
    for bits, colours in [(1, two), (4, five), (8, five), (24, ppm)]:
        data = run("ppmtobmp", "-bpp", str(bits), input=colours)
        netpbm[bits] = data
        cases.add("ppm_%d" % bits, data, bmp_meta(data, 1 if bits < 24 else 0), pillow_decode(data))

    grey = source.convert("L")
    for name, im in [("pil_1", source.convert("1")), ("pil_l", grey), ("pil_p", source.convert("P", palette=Image.ADAPTIVE, colors=5)),
                     ("pil_rgb", source)]:
        out = io.BytesIO()
        im.save(out, "BMP")
        data = out.getvalue()
        is_grey = im.mode in ("1", "L")
        cases.add(name, data, bmp_meta(data, 0 if is_grey or im.mode == "RGB" else 1, 1 if is_grey else 0),
                  pillow_decode(data))

    # An 8-bit grey ramp from white to black, and a 1-bit one.
    out = io.BytesIO()
    grey.save(out, "BMP")
    header, palette, pixels = bmp_parts(out.getvalue())
    falling = b"".join(bytes([255 - i, 255 - i, 255 - i, 0]) for i in range(256))
    data = bmp_file(header[14:], falling, bytes(255 - p for p in pixels))
    cases.add("descending_grey_8", data, bmp_meta(data, 0, 1), pillow_decode(out.getvalue()))
    out = io.BytesIO()
    source.convert("1").save(out, "BMP")
    header, palette, pixels = bmp_parts(out.getvalue())
    assert palette[:3] == b"\x00\x00\x00" and palette[4:7] == b"\xff\xff\xff"
    data = bmp_file(header[14:], palette[4:] + palette[:4], bytes(255 - p for p in pixels))
    cases.add("descending_grey_1", data, bmp_meta(data, 0, 1), pillow_decode(out.getvalue()))

    # A colour table of 5 entries (biClrUsed) for 8 bits.
    header, palette, pixels = bmp_parts(netpbm[8])
    data = bmp_file(set_info(header[14:], used=5), palette[:20], pixels)
    cases.add("short_palette_8", data, bmp_meta(data, 1), pillow_decode(netpbm[8]))

    # A V4 header (108 bytes) in front of a 4-bit palette.
    header, palette, pixels = bmp_parts(netpbm[4])
    v4 = set_info(header[14:], size=108) + b"\x00" * 16 + b"BGRs" + b"\x00" * 48
    data = bmp_file(v4, palette, pixels)
    cases.add("v4_header_4", data, bmp_meta(data, 1), pillow_decode(netpbm[4]))

    # Rows stored top line first (negative height).
    for bits in (8, 24):
        header, palette, pixels = bmp_parts(netpbm[bits])
        stride = len(pixels) // 43
        rows = [pixels[i * stride:(i + 1) * stride] for i in range(43)]
        data = bmp_file(set_info(header[14:], height=-43), palette, b"".join(rows[::-1]))
        cases.add("top_down_%d" % bits, data, bmp_meta(data, 1 if bits < 24 else 0), pillow_decode(netpbm[bits]))

    # Run-length streams written here, decoded by ImageMagick.
    for bits in (4, 8):
        header, palette, _ = bmp_parts(netpbm[bits])
        indices = np.asarray(Image.open(io.BytesIO(netpbm[4])))
        rows = [list(map(int, r)) for r in indices[::-1]]
        stream = rle_stream(rows, bits == 4, 61)
        data = bmp_file(set_info(header[14:], compression=2 if bits == 4 else 1, image_size=len(stream),
                                 xppm=3780, yppm=0), palette, stream)
        cases.add("crafted_rle%d" % bits, data, bmp_meta(data, 1), magick_decode(data, "bmp"))


# ---------------------------------------------------------------- CALS


def cals_patch(data, old, new):
    """Replaces a header record's text, keeping the record's length (a longer
    text takes up the blanks behind the old one)."""
    if len(new) > len(old):
        old += b" " * (len(new) - len(old))
    assert old in data[:2048], old
    patched = data.replace(old, new.ljust(len(old)), 1)
    assert len(patched) == len(data)
    return patched


def cals_expect(data):
    pbm = run("convert", "cals:-", "pbm:-", input=data)
    out = io.BytesIO()
    Image.open(io.BytesIO(pbm)).convert("L").save(out, "PPM")
    return out.getvalue()


def make_cals(cases):
    pbm = io.BytesIO()
    bilevel(203, 151, 7).save(pbm, "PPM")
    small = run("convert", "pbm:-", "-density", "200", "cals:-", input=pbm.getvalue())
    assert b"rdensty: 0200" in small and b"rpelcnt: 000203,000151" in small
    meta = {"width": 203, "height": 151, "dpi": 200}
    # The header variants below carry the same image data.
    small_expect = cals_expect(small)
    cases.add("im_200", small, meta, small_expect, b"")

    pbm = io.BytesIO()
    bilevel(1700, 1100, 8).save(pbm, "PPM")
    large = run("convert", "pbm:-", "-density", "150", "cals:-", input=pbm.getvalue())
    cases.add("im_large_150", large, {"width": 1700, "height": 1100, "dpi": 150}, cals_expect(large), b"")

    upper = small
    for key in (b"srcdocid:", b"rtype:", b"rorient:", b"rpelcnt:", b"rdensty:", b"notes:"):
        upper = upper.replace(key, key.upper(), 1)
    cases.add("capital_keys", upper, meta, small_expect, b"")

    spelled = cals_patch(small, b"rdensty: 0200", b"rdensity: 0150")
    cases.add("rdensity_150", spelled, dict(meta, dpi=150), small_expect, b"")
    cases.add("density_none", cals_patch(small, b"rdensty: 0200", b"rdensty: NONE"), dict(meta, dpi=300),
              small_expect, b"")
    cases.add("notes", cals_patch(small, b"notes: NONE" + b" " * 40, b"notes:   Drawing 4711 rev B  "), meta,
              small_expect, b"Drawing 4711 rev B")
    cases.add("rtype_2", cals_patch(small, b"rtype: 1", b"rtype: 2"), {"status": 2005})
    cases.add("dtype_2", cals_patch(small, b"doccls: NONE", b"dtype: 2"), {"status": 2005})
    cases.add("no_pixel_count", cals_patch(small, b"rpelcnt: 000203,000151", b"rpelcnt: NONE"), {"status": 2004})
    cases.add("zero_width", cals_patch(small, b"rpelcnt: 000203,000151", b"rpelcnt: 0,151"), {"status": 2004})


def main():
    kind, outdir = sys.argv[1], sys.argv[2]
    os.makedirs(outdir, exist_ok=True)
    cases = Cases(outdir)
    {"gif": make_gif, "bmp": make_bmp, "cals": make_cals}[kind](cases)
    cases.finish()


if __name__ == "__main__":
    main()
