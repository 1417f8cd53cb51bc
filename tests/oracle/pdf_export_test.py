#!/usr/bin/python3
"""TIFF and JPEG files made by Pillow, netpbm and cjpeg, turned into PDF by
`imgprobe pdf` (reader, banded render, PDF writer streaming into its file)
and judged by qpdf and poppler: the file checks clean, the page sizes follow
the resolution, the images have the expected kinds, and every image
pdfimages takes out equals imgprobe's own render of that page."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

from imgprobe_driver import check, failures, imgprobe, require_probe, require_tools

import numpy as np
from PIL import Image



def output(*args):
    """A finished outside tool's exit code and output, as text."""
    return subprocess.run(list(args), capture_output=True, text=True, stdin=subprocess.DEVNULL, timeout=600)


def points(pixels, dpi):
    """Pixels at a resolution as whole PDF points, as the writer rounds."""
    return int(pixels / dpi * 25.4 * 2.834645669 + 0.5)


def as_rgb(pixels):
    if pixels.dtype == bool:
        pixels = pixels.astype(np.uint8) * 255
    return np.stack([pixels] * 3, axis=-1) if pixels.ndim == 2 else pixels


def extracted(work, pdf):
    """The images of a PDF in order, as pdfimages writes them (PNM)."""
    out = os.path.join(work, "img")
    shutil.rmtree(out, ignore_errors=True)
    os.mkdir(out)
    subprocess.run(["pdfimages", pdf, os.path.join(out, "i")], check=True)
    return [np.asarray(Image.open(os.path.join(out, name))) for name in sorted(os.listdir(out))]


def rendered(work, source, page):
    out = os.path.join(work, "render.pnm")
    code, _ = imgprobe("render", source, str(page), out)
    return as_rgb(np.asarray(Image.open(out))) if code == 0 else None


def image_list(pdf):
    """(page, width, height, colour, bits, encoding) per image."""
    lines = output("pdfimages", "-list", pdf).stdout.splitlines()[2:]
    return [(int(f[0]), int(f[3]), int(f[4]), f[5], int(f[7]), f[8]) for f in (line.split() for line in lines)]


def page_sizes(pdf, count):
    text = output("pdfinfo", "-f", "1", "-l", str(count), pdf).stdout
    return [(float(w), float(h)) for w, h in re.findall(r"Page +\d+ size: +([\d.]+) x ([\d.]+) pts", text)]


def export(work, name, source, pages, kinds, mode=None):
    """pages: [(width, height, dpi)]; kinds: [(colour, bits, encoding)]."""
    pdf = os.path.join(work, name + ".pdf")
    code, out = imgprobe("pdf", source, pdf, *(["--mode", str(mode)] if mode is not None else []))
    check(code == 0 and out.strip() == "pages=%d" % len(pages), "%s: imgprobe pdf gave %d %r" % (name, code, out))
    if code != 0:
        return
    qpdf = output("qpdf", "--check", pdf)
    check(qpdf.returncode == 0 and "WARNING" not in qpdf.stdout + qpdf.stderr, "%s: qpdf: %s" % (name, qpdf.stdout))
    expected_sizes = [(points(w, dpi), points(h, dpi)) for w, h, dpi in pages]
    check(page_sizes(pdf, len(pages)) == expected_sizes, "%s: page sizes %r" % (name, page_sizes(pdf, len(pages))))
    expected_list = [(i + 1, w, h) + kinds[i] for i, (w, h, _) in enumerate(pages)]
    check(image_list(pdf) == expected_list, "%s: images %r" % (name, image_list(pdf)))
    for i, image in enumerate(extracted(work, pdf)):
        render = rendered(work, source, i)
        if render is None:
            check(False, "%s: page %d does not render" % (name, i))
            continue
        if kinds[i][2] == "ccitt" and render.dtype != bool and mode == 1:
            # Made bilevel as the raster conversion does: light (a channel
            # sum of 384 and up) is white.
            render = as_rgb(render.astype(np.uint32).sum(axis=-1) >= 384)
        check(np.array_equal(as_rgb(image), render), "%s: page %d differs from the render" % (name, i))
    print("%s: checked" % name)


def netpbm_tiff(work, name, pnm_command, dpi):
    path = os.path.join(work, name + ".tif")
    subprocess.run("%s | pnmtotiff -xresolution %d -yresolution %d > '%s'" % (pnm_command, dpi, dpi, path),
                   shell=True, check=True, stderr=subprocess.DEVNULL)
    return path


def main():
    require_probe()
    require_tools("qpdf", "pdfimages", "pdfinfo", "pnmtotiff", "pamdepth", "tiffcp")
    work = tempfile.mkdtemp(prefix="pdf-export-", dir=os.environ.get("TEST_BINARY_DIR"))
    y, x = np.mgrid[0:700, 0:1000]
    pattern = ((x // 37 + y // 23) % 2 == 0) | (abs(x - y) < 3)

    # Two bilevel Group 4 pages of different sizes, one of them min-is-black.
    bilevel = os.path.join(work, "bilevel.tif")
    first = Image.fromarray(~pattern)
    second = Image.fromarray(pattern[:500, :640].T)
    first.save(bilevel, compression="group4", dpi=(300, 300), save_all=True, append_images=[second])
    export(work, "bilevel", bilevel, [(1000, 700, 300), (500, 640, 300)],
           [("gray", 1, "ccitt"), ("gray", 1, "ccitt")])

    grey = os.path.join(work, "grey.tif")
    Image.fromarray((((x * 7) ^ (y * 13)) & 255).astype(np.uint8)).save(grey, compression="tiff_lzw",
                                                                         dpi=(200, 200))
    export(work, "grey", grey, [(1000, 700, 200)], [("gray", 8, "image")])
    export(work, "grey-g4", grey, [(1000, 700, 200)], [("gray", 1, "ccitt")], mode=1)

    palette = Image.fromarray(((x // 50 + y // 50) % 12).astype(np.uint8), "P")
    palette.putpalette([v for i in range(256) for v in ((i * 40) % 256, (i * 90) % 256, (255 - i * 20) % 256)])
    palette8 = os.path.join(work, "palette8.tif")
    palette.save(palette8, dpi=(150, 150))
    export(work, "palette8", palette8, [(1000, 700, 150)], [("index", 8, "image")])
    palette.convert("RGB").save(os.path.join(work, "palette.ppm"))
    palette4 = os.path.join(work, "palette4.tif")
    subprocess.run("pnmtotiff -indexbits=4 -xresolution 120 -yresolution 120 '%s/palette.ppm' > '%s'"
                   % (work, palette4), shell=True, check=True, stderr=subprocess.DEVNULL)
    export(work, "palette4", palette4, [(1000, 700, 120)], [("index", 4, "image")])

    Image.fromarray((((x ^ y) & 255) // 17).astype(np.uint8)).save(os.path.join(work, "grey4.pgm"))
    grey4 = netpbm_tiff(work, "grey4", "pamdepth 15 '%s/grey4.pgm'" % work, 96)
    export(work, "grey4", grey4, [(1000, 700, 96)], [("gray", 4, "image")])

    # Colour over 32 MB: rendered in bands from an LZW TIFF of many strips,
    # and from a JPEG; once uncompressed and once made bilevel.
    yy, xx = np.mgrid[0:3000, 0:4000]
    rgb = np.stack([(xx * 7 + yy) & 255, (yy * 3) & 255, (xx ^ yy) & 255], axis=-1).astype(np.uint8)
    colour = os.path.join(work, "colour.tif")
    Image.fromarray(rgb).save(colour, compression="tiff_lzw", dpi=(400, 400))
    export(work, "colour", colour, [(4000, 3000, 400)], [("rgb", 8, "image")])
    export(work, "colour-g4", colour, [(4000, 3000, 400)], [("gray", 1, "ccitt")], mode=1)
    jpeg = os.path.join(work, "colour.jpg")
    Image.fromarray(rgb[:2000, :3000]).save(jpeg, quality=90, dpi=(300, 300))
    export(work, "jpeg", jpeg, [(3000, 2000, 300)], [("rgb", 8, "image")])

    # A target in a folder that does not exist: failure, and no file.
    missing = os.path.join(work, "no-such-folder", "out.pdf")
    code, _ = imgprobe("pdf", grey, missing)
    check(code != 0 and not os.path.exists(missing), "missing folder: exit %d" % code)

    # A second page the reader cannot render (Deflate) fails the export
    # after the first page went into the file: the file is removed again.
    deflated = os.path.join(work, "deflated.tif")
    Image.fromarray(rgb[:400, :600]).save(deflated, compression="tiff_adobe_deflate", dpi=(100, 100))
    mixed = os.path.join(work, "mixed.tif")
    subprocess.run(["tiffcp", grey, deflated, mixed], check=True)
    target = os.path.join(work, "mixed.pdf")
    code, out = imgprobe("pdf", mixed, target)
    check(code != 0 and out.strip() == "pages=2" and not os.path.exists(target),
          "unrenderable page: exit %d %r, file left: %s" % (code, out, os.path.exists(target)))

    if failures:
        print("%d failures; files kept in %s" % (len(failures), work))
        return 1
    shutil.rmtree(work, ignore_errors=True)
    return 0


sys.exit(main())
