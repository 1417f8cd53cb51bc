#!/usr/bin/python3
"""Makes the test data of the JPEG tests with outside tools.

Usage: make-jpeg-data.py jfif|tiff OUTDIR

jfif: every case NAME gets NAME.jpg (made by cjpeg, or ImageMagick for
CMYK) and, except CMYK, NAME.pnm, djpeg's decode of it (the same
libjpeg-turbo version the program links). cases.txt lists the names.

tiff: every case NAME gets NAME.data (a TIFF from tiffcp -c jpeg),
NAME.tables (its JPEGTables bytes), NAME.meta ("key value" lines; "strip
OFFSET LENGTH" lines locate the strips or tiles in NAME.data) and
NAME.expect, libtiff's
decode of it (tiffcp -c none), rows top first, one byte per pixel for grey,
blue green red for colour.
"""
import importlib.util
import os
import sys

from PIL import Image, ImageDraw, ImageFilter

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location("decoder_data", os.path.join(HERE, "make-decoder-data.py"))
decoder_data = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(decoder_data)
run = decoder_data.run


def picture(width, height, seed):
    """Colour line art over soft gradients, with noise: sharp edges for the
    chroma, smooth areas for the upsampling, noise for the entropy coder."""
    grey = decoder_data.drawing(width, height, 256, seed).filter(ImageFilter.GaussianBlur(0.7))
    ramp = Image.linear_gradient("L").resize((width, height))
    noise = Image.effect_noise((width, height), 40).convert("L")
    rgb = Image.merge("RGB", (grey, ramp, Image.blend(noise, ramp.transpose(Image.FLIP_LEFT_RIGHT), 0.5)))
    d = ImageDraw.Draw(rgb)
    d.ellipse((width // 5, height // 5, width * 3 // 4, height * 4 // 5), outline=(250, 20, 40), width=3)
    return rgb


# ---------------------------------------------------------------- JFIF

JFIF_CASES = [
    # name, size, grey, cjpeg options
    ("grey", (203, 151), True, []),
    ("grey_progressive", (203, 151), True, ["-progressive"]),
    ("colour420", (203, 151), False, ["-sample", "2x2"]),
    ("colour422", (203, 151), False, ["-sample", "2x1"]),
    ("colour444", (203, 151), False, ["-sample", "1x1"]),
    ("colour440", (97, 61), False, ["-sample", "1x2"]),
    ("progressive420", (203, 151), False, ["-progressive"]),
    ("progressive444", (130, 77), False, ["-progressive", "-sample", "1x1"]),
    ("restart_rows", (203, 151), False, ["-restart", "1"]),
    ("restart_blocks", (203, 151), False, ["-restart", "3B"]),
    ("restart_grey", (150, 99), True, ["-restart", "2B"]),
    ("optimized_low_quality", (203, 151), False, ["-optimize", "-quality", "20"]),
    ("arithmetic", (120, 90), False, ["-arithmetic"]),
    ("one_pixel", (1, 1), False, []),
    ("one_pixel_grey", (1, 1), True, []),
    ("odd_17x9", (17, 9), False, []),
    ("thin_3x300", (3, 300), False, ["-sample", "2x1"]),
    ("wide_500x7", (500, 7), False, []),
    ("tall_progressive", (61, 700), False, ["-progressive"]),
    ("large", (1203, 905), False, []),
]


def make_jfif(out):
    names = []
    for index, (name, size, grey, options) in enumerate(JFIF_CASES):
        source = os.path.join(out, name + ".src.pnm")
        im = picture(size[0], size[1], index + 1)
        (im.convert("L") if grey else im).save(source)
        jpg = os.path.join(out, name + ".jpg")
        run("cjpeg", *options, *(["-grayscale"] if grey else []), "-outfile", jpg, source)
        run("djpeg", "-pnm", "-outfile", os.path.join(out, name + ".pnm"), jpg)
        os.remove(source)
        names.append(name)
    # Four components (Adobe CMYK): a JPEG the viewer reads but cannot show.
    png = os.path.join(out, "cmyk.png")
    picture(40, 30, 99).save(png)
    run("convert", png, "-colorspace", "cmyk", "jpg:" + os.path.join(out, "cmyk.jpg"))
    os.remove(png)
    with open(os.path.join(out, "cases.txt"), "w") as f:
        f.write("\n".join(names) + "\n")


# ---------------------------------------------------------------- TIFF

TIFF_CASES = [
    # name, size, grey, tiffcp options
    ("strips_r16", (203, 151), False, ["-c", "jpeg", "-r", "16"]),
    ("strips_r32", (203, 151), False, ["-c", "jpeg", "-r", "32"]),
    ("one_strip", (203, 151), False, ["-c", "jpeg", "-r", "160"]),
    ("rgb_strips_r8", (203, 151), False, ["-c", "jpeg:r", "-r", "8"]),
    ("grey_strips_r8", (203, 151), True, ["-c", "jpeg", "-r", "8"]),
    ("grey_strips_r24", (150, 99), True, ["-c", "jpeg", "-r", "24"]),
    ("tiles_64x48", (203, 151), False, ["-c", "jpeg", "-t", "-w", "64", "-l", "48"]),
    ("tiles_16x16", (75, 41), False, ["-c", "jpeg", "-t", "-w", "16", "-l", "16"]),
    ("grey_tiles_32x32", (203, 151), True, ["-c", "jpeg", "-t", "-w", "32", "-l", "32"]),
    ("rgb_tiles_48x32", (130, 77), False, ["-c", "jpeg:r", "-t", "-w", "48", "-l", "32"]),
]


def make_tiff(out):
    names = []
    for index, (name, size, grey, options) in enumerate(TIFF_CASES):
        source = os.path.join(out, name + ".src.tif")
        im = picture(size[0], size[1], index + 31)
        (im.convert("L") if grey else im).save(source, compression=None)
        coded = os.path.join(out, name + ".data")
        plain = os.path.join(out, name + ".plain.tif")
        run("tiffcp", *options, source, coded)
        run("tiffcp", "-c", "none", coded, plain)
        raw = open(coded, "rb").read()
        e = decoder_data.tiff_entries(raw)
        tiled = 322 in e
        width, height = e[256][0], e[257][0]
        meta = [("width", width), ("height", height), ("samples", e.get(277, [1])[0]), ("tiled", int(tiled)),
                ("compression", e[259][0]), ("photometric", e[262][0])]
        if tiled:
            meta += [("tile_width", e[322][0]), ("tile_length", e[323][0])]
            offsets, counts = e[324], e[325]
        else:
            meta += [("tile_width", width), ("tile_length", min(e[278][0], height))]
            offsets, counts = e[273], e[279]
        meta += [("strip", "%d %d" % (o, n)) for o, n in zip(offsets, counts)]
        decoded = Image.open(plain)
        decoded.load()
        expect = decoded.tobytes() if grey else Image.merge("RGB", decoded.split()[2::-1]).tobytes()
        with open(os.path.join(out, name + ".meta"), "w") as f:
            f.write("".join("%s %s\n" % kv for kv in meta))
        with open(os.path.join(out, name + ".tables"), "wb") as f:
            f.write(bytes(e[347]))
        with open(os.path.join(out, name + ".expect"), "wb") as f:
            f.write(expect)
        os.remove(source)
        os.remove(plain)
        names.append(name)
    with open(os.path.join(out, "cases.txt"), "w") as f:
        f.write("\n".join(names) + "\n")


if __name__ == "__main__":
    kind, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    {"jfif": make_jfif, "tiff": make_tiff}[kind](out)
