#!/usr/bin/python3
"""Makes the valid seed files that the robustness test mutates.

Usage: make-robustness-seeds.py OUTDIR

Small images (so that thousands of mutations parse and render in seconds)
written by outside tools: libtiff's tiffcp and tiffset, netpbm, Pillow,
cjpeg and ImageMagick. The few variants no tool here writes (BMP with
4 bits and RLE4, CALS Type 1) are put together in this script around data
the tools made, and every seed is read back by an outside reader (Pillow,
tiffinfo) before it is listed, so a seed is known to be valid.

Every seed NAME gets NAME.meta ("reader N": 0 TIFF, 1 JPEG, 2 GIF, 3 BMP,
4 CALS) and NAME.data; cases.txt lists the names.
"""
import io
import os
import random
import struct
import subprocess
import sys

from PIL import Image, ImageDraw

TIFF, JPEG, GIF, BMP, CALS = range(5)


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def drawing(mode, width, height, seed):
    rnd = random.Random(seed)
    im = Image.new("RGB", (width, height), (255, 255, 255))
    d = ImageDraw.Draw(im)
    for _ in range(14):
        x0, y0, x1, y1 = (rnd.randrange(width), rnd.randrange(height), rnd.randrange(width), rnd.randrange(height))
        colour = (rnd.randrange(256), rnd.randrange(256), rnd.randrange(256))
        d.line((x0, y0, x1, y1), fill=colour, width=rnd.randrange(1, 5))
        d.ellipse((min(x0, x1), min(y0, y1), max(x0, x1), max(y0, y1)), outline=colour)
    if mode == "1":
        return im.convert("L").point(lambda v: 255 if v > 200 else 0).convert("1")
    if mode == "P16":
        return im.quantize(16)
    if mode == "P":
        return im.quantize(200)
    return im.convert(mode)


class Seeds:
    def __init__(self, out):
        self.out = out
        self.names = []
        self.work = os.path.join(out, "work")
        os.makedirs(self.work, exist_ok=True)

    def path(self, name):
        return os.path.join(self.work, name)

    def add(self, name, reader, data):
        with open(os.path.join(self.out, name + ".meta"), "w") as f:
            f.write("reader %d\n" % reader)
        with open(os.path.join(self.out, name + ".data"), "wb") as f:
            f.write(data)
        self.names.append(name)

    def add_file(self, name, reader, path):
        with open(path, "rb") as f:
            self.add(name, reader, f.read())

    def finish(self):
        with open(os.path.join(self.out, "cases.txt"), "w") as f:
            f.write("".join(n + "\n" for n in self.names))


def check_pillow(data):
    im = Image.open(io.BytesIO(data))
    im.load()
    return im


def tiff_seeds(s):
    bilevel = drawing("1", 83, 61, 1)
    pbm = s.path("bilevel.pbm")
    bilevel.save(pbm)
    raw = s.path("bilevel.tif")
    # pnmtotiff names the input in DocumentName: a relative name keeps the
    # seeds the same in every scratch folder.
    with open(raw, "wb") as f:
        subprocess.run(["pnmtotiff", "-none", "-miniswhite", "bilevel.pbm"], stdout=f, check=True, cwd=s.work)
    grey, rgb = drawing("L", 70, 50, 2), drawing("RGB", 64, 48, 3)
    grey_tif, rgb_tif, pal_tif = s.path("grey.tif"), s.path("rgb.tif"), s.path("pal.tif")
    grey.save(grey_tif, compression="raw")
    rgb.save(rgb_tif, compression="raw")
    drawing("P16", 45, 33, 4).save(pal_tif, compression="raw")
    variants = [
        ("tiff-none", raw, ["-c", "none"]),
        ("tiff-g3", raw, ["-c", "g3"]),
        ("tiff-g3-2d", raw, ["-c", "g3:2d:fill"]),
        ("tiff-g4", raw, ["-c", "g4", "-r", "20"]),
        ("tiff-packbits", raw, ["-c", "packbits"]),
        ("tiff-lzw-grey", grey_tif, ["-c", "lzw", "-r", "9"]),
        ("tiff-lzw-predictor", rgb_tif, ["-c", "lzw:2"]),
        ("tiff-jpeg", rgb_tif, ["-c", "jpeg", "-r", "16"]),
        ("tiff-tiled", grey_tif, ["-c", "lzw", "-t", "-w", "16", "-l", "16"]),
        ("tiff-big-endian-palette", pal_tif, ["-B", "-c", "packbits"]),
    ]
    for name, source, options in variants:
        out = s.path(name + ".tif")
        run("tiffcp", *options, source, out)
        run("tiffinfo", "-D", out)
        s.add_file(name, TIFF, out)
    # Modified Huffman (Compression 2) through Pillow's libtiff.
    mh = s.path("mh.tif")
    bilevel.save(mh, compression="tiff_ccitt")
    s.add_file("tiff-mh", TIFF, mh)
    # Two pages, the first with a reduced-resolution copy after it.
    small = s.path("small.tif")
    bilevel.resize((42, 31)).save(small, compression="group4")
    pages = s.path("pages.tif")
    run("tiffcp", s.path("tiff-g4.tif"), small, s.path("tiff-lzw-grey.tif"), pages)
    run("tiffset", "-d", "1", "-s", "254", "1", pages)
    s.add_file("tiff-pages-reduced", TIFF, pages)
    for name, mode in (("tiff-cmyk", "CMYK"), ("tiff-rgba", "RGBA")):
        buffer = io.BytesIO()
        drawing(mode, 30, 22, 5).save(buffer, format="TIFF", compression="raw")
        check_pillow(buffer.getvalue())
        s.add(name, TIFF, buffer.getvalue())


def jpeg_seeds(s):
    ppm, pgm = s.path("photo.ppm"), s.path("photo.pgm")
    drawing("RGB", 77, 53, 6).save(ppm)
    drawing("L", 50, 40, 7).save(pgm)
    for name, source, options in (
        ("jpeg-grey", pgm, []),
        ("jpeg-colour", ppm, ["-sample", "2x2"]),
        ("jpeg-progressive-restarts", ppm, ["-progressive", "-restart", "1"]),
    ):
        out = s.path(name + ".jpg")
        run("cjpeg", *options, "-outfile", out, source)
        with open(out, "rb") as f:
            data = f.read()
        check_pillow(data)
        s.add(name, JPEG, data)


def gif_seeds(s):
    buffer = io.BytesIO()
    drawing("P", 61, 45, 8).save(buffer, format="GIF", comment=b"robustness seed")
    check_pillow(buffer.getvalue())
    s.add("gif-comment", GIF, buffer.getvalue())
    source = s.path("gif-source.png")
    drawing("RGB", 52, 38, 9).save(source)
    for name, options, prefix in (
        ("gif-interlaced", ["-interlace", "GIF", "-colors", "64"], "GIF:"),
        ("gif-87a-bilevel", ["-colors", "2"], "GIF87:"),
    ):
        out = s.path(name + ".gif")
        run("convert", source, *options, prefix + out)
        with open(out, "rb") as f:
            data = f.read()
        check_pillow(data)
        s.add(name, GIF, data)


def bmp_file(width, height, bits, palette, rows_data, compression=0):
    """A BITMAPINFOHEADER file; rows_data is the pixel data as stored."""
    colours = len(palette)
    offset = 54 + 4 * colours
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows_data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression,
                       len(rows_data) if compression else 0, 3780, 3780, colours, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    return header + info + table + rows_data


def rle_encode(rows, bits):
    """BMP RLE8 or RLE4 of rows (bottom first), runs of equal pixels in
    encoded mode and the rest in absolute mode."""
    out = bytearray()
    for row in rows:
        x = 0
        while x < len(row):
            run_length = 1
            while x + run_length < len(row) and run_length < 254 and row[x + run_length] == row[x]:
                run_length += 1
            if run_length >= 3 or len(row) - x < 3:
                value = row[x] if bits == 8 else (row[x] << 4) | row[x]
                out += bytes((run_length, value))
                x += run_length
                continue
            n = min(len(row) - x, 40)
            # Pillow's RLE4 reader misplaces odd absolute runs that end a row.
            if bits == 4 and n % 2 and n > 3:
                n -= 1
            pixels = row[x:x + n]
            if bits == 8:
                body = bytes(pixels)
            else:
                padded = list(pixels) + [0] * (n % 2)
                body = bytes((padded[i] << 4) | padded[i + 1] for i in range(0, len(padded), 2))
            out += bytes((0, n)) + body + b"\0" * (len(body) % 2)
            x += n
        out += b"\0\0"
    return bytes(out + b"\0\1")


def bmp_seeds(s):
    for name, mode in (("bmp-1bit", "1"), ("bmp-8bit", "P"), ("bmp-24bit", "RGB")):
        buffer = io.BytesIO()
        drawing(mode, 57, 41, 10).save(buffer, format="BMP")
        check_pillow(buffer.getvalue())
        s.add(name, BMP, buffer.getvalue())
    image = drawing("P16", 43, 29, 11)
    palette = image.getpalette()[:48]
    palette = [tuple(palette[i:i + 3]) for i in range(0, 48, 3)]
    rows = [list(image.getdata())[y * 43:(y + 1) * 43] for y in reversed(range(29))]
    packed = bytearray()
    for row in rows:
        padded = row + [0] * (len(row) % 2)
        line = bytes((padded[i] << 4) | padded[i + 1] for i in range(0, len(padded), 2))
        packed += line + b"\0" * (-len(line) % 4)
    for name, bits, data, compression in (
        ("bmp-4bit", 4, bytes(packed), 0),
        ("bmp-rle4", 4, rle_encode(rows, 4), 2),
        ("bmp-rle8", 8, rle_encode(rows, 8), 1),
    ):
        table = palette if bits == 4 else palette + [(0, 0, 0)] * 240
        file = bmp_file(43, 29, bits, table, data, compression)
        decoded = check_pillow(file)
        assert list(decoded.getdata()) == list(image.getdata()), name
        s.add(name, BMP, file)


def cals_seeds(s):
    width, height = 96, 70
    g4 = s.path("cals-g4.tif")
    drawing("1", width, height, 12).save(g4, compression="group4")
    im = Image.open(g4)
    offset, length = im.tag_v2[273][0], im.tag_v2[279][0]
    with open(g4, "rb") as f:
        strip = f.read()[offset:offset + length]
    for name, keys in (
        ("cals-lower", ["srcdocid", "dstdocid", "txtfilid", "figid", "srcgph", "doccls", "rtype", "rorient",
                        "rpelcnt", "rdensity", "notes"]),
        ("cals-upper", ["SRCDOCID", "DSTDOCID", "TXTFILID", "FIGID", "SRCGPH", "DOCCLS", "RTYPE", "RORIENT",
                        "RPELCNT", "RDENSITY", "NOTES"]),
    ):
        values = ["seed", "NONE", "NONE", "NONE", "NONE", "NONE", "1", "000,270", "%d,%d" % (width, height),
                  "200", "robustness seed"]
        header = b"".join(("%s: %s" % (k, v)).encode().ljust(128, b" ") for k, v in zip(keys, values))
        header = header.ljust(2048, b" ")
        s.add(name, CALS, header + strip)


def main():
    s = Seeds(sys.argv[1])
    tiff_seeds(s)
    jpeg_seeds(s)
    gif_seeds(s)
    bmp_seeds(s)
    cals_seeds(s)
    s.finish()


if __name__ == "__main__":
    main()
