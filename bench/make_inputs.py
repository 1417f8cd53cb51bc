#!/usr/bin/python3
"""Makes the benchmark's input files with outside tools.

An A0 sheet at 400 dpi (13244 x 18724 pixels, bilevel) drawn like a
scanned engineering drawing: frame and title block, walls and axes, circles
and arcs, hatched areas, dimension lines with their figures, notes in text
blocks and a sprinkle of scanner specks. Pillow draws it; tiffcp stores it as
Group 4, Group 3 2D and LZW, each once as a single strip (as scanners write
their sheets) and Group 4 once more in tiffcp's default strips. A 6000 x
4000 colour photograph-like picture goes to a JFIF file (cjpeg) and to a
JPEG-in-TIFF file (tiffcp -c jpeg). For the viewer's benchmark, tiffcp joins
20 Group 4 pages into one document: the sheet as drawn, mirrored, upside down
and both in turn, so that no two neighbouring pages are the same. The Group 4
sheet once more under a name of its own, a0-g4-markups.tif: the viewer's
benchmark writes 1,000 markups into its companion file. The sheet drawn
again at 300 and at 600 dpi (nearest pixel), Group 4 in one strip, for
printing it 1:1 on A0; and as a grey scan at 300 dpi (edges averaged, paper
a shade off white, sensor noise; LZW in one strip) and a colour one (bluish
ink on warm paper, each channel with noise of its own; JFIF, quality 85),
for printing those 1:1 on A0 too.

Usage: make_inputs.py OUT_DIR     (files already there are kept)
"""

import os
import random
import shutil
import subprocess
import sys

import numpy
from PIL import Image, ImageChops, ImageDraw, ImageFont

A0_WIDTH = 13244   # 841 mm at 400 dpi
A0_HEIGHT = 18724  # 1189 mm
DPI = 400


def font(size):
    for name in ("DejaVuSans.ttf", "DejaVuSansMono.ttf", "DejaVuSerif.ttf"):
        path = "/usr/share/fonts/truetype/dejavu/" + name
        if os.path.exists(path):
            return ImageFont.truetype(path, size)
    return ImageFont.load_default()


WORDS = ("steel flange bolt weld section detail axis bearing plate beam column slab "
         "drawing revision scale check approved concrete reinforcement stair landing "
         "elevation plan north south east west level datum thickness ref no see note").split()


def text_line(rng, words):
    return " ".join(rng.choice(WORDS) for _ in range(words)).upper()


def draw_frame(draw, small, large):
    w, h = A0_WIDTH, A0_HEIGHT
    m = 400  # 25 mm margin
    draw.rectangle([m, m, w - m, h - m], outline=0, width=12)
    draw.rectangle([m + 80, m + 80, w - m - 80, h - m - 80], outline=0, width=4)
    # Zone marks along the edges.
    for i in range(1, 12):
        x = m + i * (w - 2 * m) // 12
        draw.line([x, m, x, m + 80], fill=0, width=4)
        draw.line([x, h - m - 80, x, h - m], fill=0, width=4)
        draw.text((x - 300, m + 10), str(i), font=small, fill=0)
    # Title block in the bottom right corner.
    bx0, by0, bx1, by1 = w - m - 80 - 4200, h - m - 80 - 2200, w - m - 80, h - m - 80
    draw.rectangle([bx0, by0, bx1, by1], outline=0, width=10)
    for k in range(1, 8):
        y = by0 + k * 275
        draw.line([bx0, y, bx1, y], fill=0, width=4)
    draw.line([bx0 + 1400, by0, bx0 + 1400, by1], fill=0, width=4)
    rng = random.Random(5)
    for k in range(8):
        y = by0 + k * 275 + 60
        draw.text((bx0 + 60, y), text_line(rng, 2), font=small, fill=0)
        draw.text((bx0 + 1460, y), text_line(rng, 4), font=small, fill=0)
    draw.text((bx0 + 1460, by1 - 260), "DWG 4711-A0-0815  REV C", font=large, fill=0)


def draw_plan(image, draw, rng, small):
    w, h = A0_WIDTH, A0_HEIGHT
    x0, y0, x1, y1 = 900, 900, w - 900, h - 3300
    # Axis grid (dash-dot lines) with labelled balloons.
    for i in range(9):
        x = x0 + 400 + i * (x1 - x0 - 800) // 8
        for y in range(y0, y1, 400):
            draw.line([x, y, x, y + 250], fill=0, width=3)
            draw.line([x, y + 310, x, y + 330], fill=0, width=3)
        draw.ellipse([x - 120, y0 - 240, x + 120, y0], outline=0, width=5)
        draw.text((x - 40, y0 - 200), chr(65 + i), font=small, fill=0)
    for j in range(11):
        y = y0 + 300 + j * (y1 - y0 - 600) // 10
        for x in range(x0, x1, 400):
            draw.line([x, y, x + 250, y], fill=0, width=3)
    # Walls: double lines with hatching in between.
    for _ in range(60):
        horizontal = rng.random() < 0.5
        if horizontal:
            ax, ay = rng.randrange(x0, x1 - 2000), rng.randrange(y0, y1)
            length, thick = rng.randrange(800, 5000), rng.choice((60, 90, 120))
            box = [ax, ay, min(ax + length, x1), ay + thick]
        else:
            ax, ay = rng.randrange(x0, x1), rng.randrange(y0, y1 - 2000)
            length, thick = rng.randrange(800, 5000), rng.choice((60, 90, 120))
            box = [ax, ay, ax + thick, min(ay + length, y1)]
        # 45 degree hatching across the wall's thickness only.
        if horizontal:
            for t in range(box[0], box[2] - thick, 28):
                draw.line([t, box[3], t + thick, box[1]], fill=0, width=2)
        else:
            for t in range(box[1], box[3] - thick, 28):
                draw.line([box[0], t + thick, box[2], t], fill=0, width=2)
        draw.rectangle(box, outline=0, width=6)
    # Machine parts: circles, bolt circles, arcs.
    for _ in range(120):
        cx, cy = rng.randrange(x0 + 500, x1 - 500), rng.randrange(y0 + 500, y1 - 500)
        r = rng.randrange(40, 480)
        draw.ellipse([cx - r, cy - r, cx + r, cy + r], outline=0, width=rng.choice((3, 5, 8)))
        if r > 200:
            for k in range(6):
                a = numpy.pi * k / 3
                bx, by = cx + 0.7 * r * numpy.cos(a), cy + 0.7 * r * numpy.sin(a)
                draw.ellipse([bx - 25, by - 25, bx + 25, by + 25], outline=0, width=3)
            draw.line([cx - r - 80, cy, cx + r + 80, cy], fill=0, width=2)
            draw.line([cx, cy - r - 80, cx, cy + r + 80], fill=0, width=2)
        start = rng.randrange(0, 360)
        draw.arc([cx - 2 * r, cy - 2 * r, cx + 2 * r, cy + 2 * r], start, start + 90, fill=0, width=4)
    # Dense cross-hatched regions (sections), hatched on their own tile.
    for _ in range(14):
        hx, hy = rng.randrange(x0, x1 - 1500), rng.randrange(y0, y1 - 1500)
        hw, hh = rng.randrange(400, 1500), rng.randrange(400, 1500)
        tile = Image.new("1", (hw, hh), 1)
        hatch = ImageDraw.Draw(tile)
        for t in range(-hh, hw, 36):
            hatch.line([t, hh, t + hh, 0], fill=0, width=3)
        if rng.random() < 0.5:
            for t in range(0, hw + hh, 36):
                hatch.line([t - hh, 0, t, hh], fill=0, width=3)
        hatch.rectangle([0, 0, hw - 1, hh - 1], outline=0, width=8)
        image.paste(tile, (hx, hy))
    # Dimension lines with arrows and figures.
    for _ in range(90):
        ax, ay = rng.randrange(x0, x1 - 3000), rng.randrange(y0, y1)
        length = rng.randrange(600, 3000)
        draw.line([ax, ay, ax + length, ay], fill=0, width=3)
        draw.line([ax, ay - 120, ax, ay + 60], fill=0, width=3)
        draw.line([ax + length, ay - 120, ax + length, ay + 60], fill=0, width=3)
        draw.polygon([(ax, ay), (ax + 90, ay - 22), (ax + 90, ay + 22)], fill=0)
        draw.polygon([(ax + length, ay), (ax + length - 90, ay - 22), (ax + length - 90, ay + 22)], fill=0)
        draw.text((ax + length // 2 - 120, ay - 110), str(length * 254 // 4000), font=small, fill=0)
    # Diagonal braces and long straight lines.
    for _ in range(80):
        ax, ay = rng.randrange(x0, x1), rng.randrange(y0, y1)
        bx, by = rng.randrange(x0, x1), rng.randrange(y0, y1)
        draw.line([ax, ay, bx, by], fill=0, width=rng.choice((3, 4, 6)))


def draw_notes(draw, rng, small):
    w, h = A0_WIDTH, A0_HEIGHT
    # General notes at the bottom left, room labels all over.
    y = h - 3100
    draw.text((900, y), "GENERAL NOTES", font=small, fill=0)
    for k in range(18):
        draw.text((900, y + 130 + k * 110), "%d. %s" % (k + 1, text_line(rng, 10)), font=small, fill=0)
    for _ in range(150):
        x, y = rng.randrange(900, w - 2500), rng.randrange(900, h - 3500)
        draw.text((x, y), text_line(rng, rng.randrange(1, 4)), font=small, fill=0)


def add_specks(pixels, rng):
    # Scanner dirt: a few thousand specks of 1 to 3 pixels.
    height, width = pixels.shape
    count = 6000
    ys = rng.integers(0, height - 3, count)
    xs = rng.integers(0, width - 3, count)
    sizes = rng.integers(1, 4, count)
    for y, x, s in zip(ys, xs, sizes):
        pixels[y:y + s, x:x + s] = 0


def make_drawing(path_tif):
    image = Image.new("1", (A0_WIDTH, A0_HEIGHT), 1)
    draw = ImageDraw.Draw(image)
    rng = random.Random(20240)
    small, large = font(64), font(120)
    draw_frame(draw, small, large)
    draw_plan(image, draw, rng, small)
    draw_notes(draw, rng, small)
    pixels = numpy.array(image, dtype=numpy.uint8)
    add_specks(pixels, numpy.random.default_rng(7))
    store_bilevel(Image.fromarray(pixels * 255).convert("1"), path_tif)


def make_drawing_at(raw, path_tif, dpi):
    """The same A0 sheet drawn again at another resolution (nearest pixel),
    as a scanner at that resolution stores it: Group 4 in one strip."""
    Image.MAX_IMAGE_PIXELS = None  # the sheet is larger than Pillow trusts by default
    image = Image.open(raw).convert("1")
    size = a0_size(dpi)
    scaled = image.resize(size, Image.NEAREST)
    uncompressed = path_tif + ".raw.tif"
    store_bilevel(scaled, uncompressed, dpi)
    run(["tiffcp", "-c", "g4", "-r", str(size[1]), uncompressed, path_tif])
    os.remove(uncompressed)


def a0_size(dpi):
    return int(round(841 / 25.4 * dpi)), int(round(1189 / 25.4 * dpi))


def with_noise(image, sigma):
    # effect_noise is centred on 128.
    return ImageChops.add(image, Image.effect_noise(image.size, sigma), 1.0, -128)


def scanned_grey(raw, dpi):
    """The sheet as a grey scanner sees it: each pixel the average of the
    drawing under it, ink 35 on paper 232, and the sensor's noise."""
    Image.MAX_IMAGE_PIXELS = None
    grey = Image.open(raw).convert("L").resize(a0_size(dpi), Image.BOX)
    return with_noise(grey.point(lambda v: 35 + v * (232 - 35) // 255), 6)


def make_grey_scan(raw, path_tif, dpi):
    uncompressed = path_tif + ".raw.tif"
    scanned_grey(raw, dpi).save(uncompressed, dpi=(dpi, dpi))
    run(["tiffcp", "-c", "lzw", "-r", str(a0_size(dpi)[1]), uncompressed, path_tif])
    os.remove(uncompressed)


def make_colour_scan(raw, path_jpg, dpi):
    grey = scanned_grey(raw, dpi)
    channels = [with_noise(grey.point(lambda v, ink=ink, paper=paper: ink + v * (paper - ink) // 255), 4)
                for ink, paper in ((30, 238), (40, 232), (90, 214))]
    Image.merge("RGB", channels).save(path_jpg, quality=85, dpi=(dpi, dpi))


def store_bilevel(image, path_tif, dpi=DPI):
    # Scanners store their sheets white-is-zero, black pixels as 1 bits, so
    # the CCITT coders see the drawing as black runs: PBM (1 is black) and
    # pnmtotiff's min-is-white keep it that way.
    pbm = path_tif + ".pbm"
    image.save(pbm)
    with open(path_tif, "wb") as out:
        subprocess.run(["pnmtotiff", "-none", "-miniswhite", "-xresolution", str(dpi), "-yresolution", str(dpi),
                        "-resolutionunit", "inch", pbm], stdout=out, check=True)
    os.remove(pbm)


def make_photo(path_ppm):
    # Smooth gradients, bands and noise: something a JPEG codec must work on.
    width, height = 6000, 4000
    y, x = numpy.mgrid[0:height, 0:width].astype(numpy.float32)
    r = 128 + 100 * numpy.sin(x / 370.0) * numpy.cos(y / 290.0)
    g = 128 + 90 * numpy.sin((x + y) / 510.0)
    b = 128 + 110 * numpy.cos(numpy.hypot(x - 3000, y - 2000) / 230.0)
    noise = numpy.random.default_rng(3).normal(0, 12, (height, width)).astype(numpy.float32)
    rgb = numpy.stack([r + noise, g + noise * 0.7, b - noise], axis=2)
    Image.fromarray(numpy.clip(rgb, 0, 255).astype(numpy.uint8), "RGB").save(path_ppm)


def run(command):
    subprocess.run(command, check=True)


def make_document(raw, path, pages):
    # Four looks of the sheet, each a single Group 4 strip, joined by tiffcp.
    # The sheet has more pixels than Pillow opens without being told.
    Image.MAX_IMAGE_PIXELS = None
    sheet = Image.open(raw).convert("1")
    looks = []
    for k, transpose in enumerate((None, Image.Transpose.FLIP_LEFT_RIGHT, Image.Transpose.FLIP_TOP_BOTTOM,
                                   Image.Transpose.ROTATE_180)):
        look_raw = "%s.look%d-raw.tif" % (path, k)
        look = "%s.look%d.tif" % (path, k)
        store_bilevel(sheet.transpose(transpose) if transpose is not None else sheet, look_raw)
        run(["tiffcp", "-c", "g4", "-r", str(A0_HEIGHT), look_raw, look])
        os.remove(look_raw)
        looks.append(look)
    run(["tiffcp", "-c", "g4", "-r", str(A0_HEIGHT)] + [looks[i % len(looks)] for i in range(pages)] + [path])
    for look in looks:
        os.remove(look)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    raw = os.path.join(out, "a0-raw.tif")
    if not os.path.exists(raw):
        make_drawing(raw)
    rows = str(A0_HEIGHT)
    variants = {
        "a0-g4.tif": ["-c", "g4", "-r", rows],
        "a0-g3-2d.tif": ["-c", "g3:2d:fill", "-r", rows],
        "a0-lzw.tif": ["-c", "lzw", "-r", rows],
        "a0-g4-strips.tif": ["-c", "g4"],
    }
    for name, options in variants.items():
        path = os.path.join(out, name)
        if not os.path.exists(path):
            run(["tiffcp"] + options + [raw, path])
    # The sheet as 300 and 600 dpi scans, for printing it 1:1 on A0 paper.
    for dpi in (300, 600):
        sheet = os.path.join(out, "a0-%ddpi-g4.tif" % dpi)
        if not os.path.exists(sheet):
            make_drawing_at(raw, sheet, dpi)
    # Grey and colour scans of it, printed 1:1 on A0 too.
    grey = os.path.join(out, "a0-300dpi-grey-lzw.tif")
    if not os.path.exists(grey):
        make_grey_scan(raw, grey, 300)
    colour = os.path.join(out, "a0-300dpi-colour.jpg")
    if not os.path.exists(colour):
        make_colour_scan(raw, colour, 300)
    # A companion file beside a0-g4.tif would put markups into every other row.
    marked = os.path.join(out, "a0-g4-markups.tif")
    if not os.path.exists(marked):
        shutil.copyfile(os.path.join(out, "a0-g4.tif"), marked)
    document = os.path.join(out, "a0-g4-20pages.tif")
    if not os.path.exists(document):
        make_document(raw, document, 20)
    # Ten times the 20 pages, for the conversion's memory as pages grow.
    long_document = os.path.join(out, "a0-g4-200pages.tif")
    if not os.path.exists(long_document):
        run(["tiffcp", "-r", rows] + [document] * 10 + [long_document])
    ppm = os.path.join(out, "photo.ppm")
    if not os.path.exists(ppm):
        make_photo(ppm)
    jpg = os.path.join(out, "photo.jpg")
    if not os.path.exists(jpg):
        run(["cjpeg", "-quality", "85", "-outfile", jpg, ppm])
    jtif = os.path.join(out, "photo-jpeg.tif")
    if not os.path.exists(jtif):
        rgb_tif = os.path.join(out, "photo-rgb.tif")
        Image.open(ppm).save(rgb_tif, compression="raw")
        run(["tiffcp", "-c", "jpeg:85", "-r", "256", rgb_tif, jtif])
        os.remove(rgb_tif)


if __name__ == "__main__":
    main()
