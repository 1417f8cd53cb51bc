#!/usr/bin/python3
"""TIFF files made by libtiff's tools, ImageMagick and Pillow, opened and
rendered through imgprobe (format dispatch, TIFF reader, decoders, sinks)
and judged against ImageMagick's or Pillow's decode of the same files:
every compression, strips and tiles, both byte orders, both fill orders,
palettes, grey, colour, alpha, CMYK, both polarities, the eight
orientations, several pages, parts of pages and reductions. Damaged and
unsupported files, crafted here byte by byte, must be refused with a status
and never crash."""
import concurrent.futures
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile

from imgprobe_driver import build, check, failures, imgprobe, require_probe, require_tools, run, same

import numpy as np
from PIL import Image

require_probe()
require_tools("convert", "tiffcp", "tiffset", "tiff2rgba")
work = tempfile.mkdtemp(prefix="tiff-oracle-", dir=build)


def path(name):
    return os.path.join(work, name)


def info(file):
    """(header fields, [page fields...], status) of `imgprobe info`."""
    _, out = imgprobe("info", file)
    head, pages, status = {}, [], ""
    for line in out.splitlines():
        fields = dict(word.partition("=")[::2] for word in line.split())
        if "format" in fields:
            head = fields
        elif "page" in fields:
            pages.append(fields)
        elif "status" in fields:
            status = fields["status"]
    return head, pages, status


counter = iter(range(1 << 30))


def render(file, page=0, *options):
    """(exit code, status, pixels as an RGB array or None)."""
    out = path("render-%d.pnm" % next(counter))
    code, text = imgprobe("render", file, str(page), out, *options)
    status = text.strip().splitlines()[-1].partition("=")[2] if text.strip() else ""
    pixels = rgb(Image.open(out)) if code == 0 and os.path.exists(out) else None
    return code, status, pixels


def rgb(image):
    return np.asarray(image.convert("RGB")).astype(np.int16)


def magick(file, page=0, *options):
    """ImageMagick's decode as RGB (its own orientation handling with -auto-orient)."""
    done = subprocess.run(["convert", "%s[%d]" % (file, page), *options, "-depth", "8", "ppm:-"],
                          capture_output=True, check=True)
    return rgb(Image.open(io.BytesIO(done.stdout)))


def pillow(file, page=0):
    # From memory: given a file, Pillow lets libtiff close the descriptor and
    # then closes the same number again, which can close a pipe that another
    # thread of this script has just opened for a probe.
    with open(file, "rb") as source:
        image = Image.open(io.BytesIO(source.read()))
    image.seek(page)
    return rgb(image)


def mm(pixels, dpi=100.0):
    return "%.6f" % (pixels * 25.4 / dpi)


# ---------------------------------------------------------------- sources

rng = np.random.default_rng(8)
bilevel = np.ones((403, 611), bool)  # True = white
bilevel[40:120, 30:400] = False
bilevel[200:390, 100:110] = False
bilevel[::7, 450:600] = False
bilevel[rng.random(bilevel.shape) < 0.02] = False
for i in range(0, 403, 3):
    bilevel[i, (i * 5) % 611:(i * 5) % 611 + 60] = False
Image.fromarray(bilevel).save(path("bw.tif"))
base = np.linspace(0, 255, 157 * 113).reshape(113, 157)
grey = np.clip(base + rng.normal(0, 25, base.shape), 0, 255).astype(np.uint8)
Image.fromarray(grey).save(path("grey.tif"))
colour = np.clip(np.dstack([base, base[::-1], base[:, ::-1]]) + rng.normal(0, 30, (113, 157, 3)), 0, 255)
Image.fromarray(colour.astype(np.uint8)).save(path("rgb.tif"))
Image.fromarray(colour.astype(np.uint8)).save(path("rgb.png"))

# ---------------------------------------------------------------- cases

def libtiff_variant(name, source, *options):
    file = path(name + ".tif")
    run("tiffcp", *options, path(source), file)
    return file


def render_equals(file, expect, what, *options, page=0):
    code, status, pixels = render(file, page, *options)
    check(code == 0 and status == "0,0", "%s: render status %s" % (what, status))
    check(same(pixels, expect), "%s: pixels differ" % what)
    return pixels


def case_libtiff_variants():
    variants = []
    for compression in ["none", "packbits", "lzw", "g3", "g3:2d", "g3:fill", "g4"]:
        variants.append(("bw-" + compression, "bw.tif", ["-c", compression]))
    variants += [
        ("bw-g4-strips", "bw.tif", ["-c", "g4", "-s", "-r", "17"]),
        ("bw-g3-2d-strips", "bw.tif", ["-c", "g3:2d", "-s", "-r", "5"]),
        ("bw-none-strips", "bw.tif", ["-c", "none", "-s", "-r", "7"]),
        ("bw-g4-tiles", "bw.tif", ["-c", "g4", "-t", "-w", "256", "-l", "256"]),
        ("bw-none-tiles", "bw.tif", ["-c", "none", "-t", "-w", "256", "-l", "256"]),
        ("bw-packbits-tiles", "bw.tif", ["-c", "packbits", "-t", "-w", "128", "-l", "64"]),
        ("bw-g4-big", "bw.tif", ["-c", "g4", "-B"]),
        ("bw-g4-little", "bw.tif", ["-c", "g4", "-L"]),
        ("bw-lzw-big", "bw.tif", ["-c", "lzw", "-B", "-r", "9"]),
        ("bw-g4-lsb", "bw.tif", ["-c", "g4", "-f", "lsb2msb"]),
        ("bw-g3-lsb", "bw.tif", ["-c", "g3", "-f", "lsb2msb"]),
        ("bw-none-lsb", "bw.tif", ["-c", "none", "-f", "lsb2msb"]),
    ]
    for compression in ["none", "packbits", "lzw", "lzw:2", "jpeg"]:
        # JPEG strips must hold a multiple of 8 rows.
        rows = ["-r", "16"] if compression == "jpeg" else []
        variants.append(("grey-" + compression, "grey.tif", ["-c", compression, *rows]))
        variants.append(("rgb-" + compression, "rgb.tif", ["-c", compression, *rows]))
    variants += [
        ("grey-lzw2-tiles", "grey.tif", ["-c", "lzw:2", "-t", "-w", "64", "-l", "48"]),
        ("grey-jpeg-tiles", "grey.tif", ["-c", "jpeg", "-t", "-w", "64", "-l", "64"]),
        ("grey-none-big", "grey.tif", ["-c", "none", "-B", "-r", "10"]),
        ("rgb-jpeg-tiles", "rgb.tif", ["-c", "jpeg", "-t", "-w", "64", "-l", "64"]),
        ("rgb-jpeg-strips", "rgb.tif", ["-c", "jpeg", "-r", "32"]),
        ("rgb-jpeg-rgb", "rgb.tif", ["-c", "jpeg:r", "-r", "8"]),
        ("rgb-lzw2-big", "rgb.tif", ["-c", "lzw:2", "-B", "-r", "11"]),
        ("rgb-packbits-tiles", "rgb.tif", ["-c", "packbits", "-t", "-w", "32", "-l", "32"]),
    ]
    jobs = []
    for name, source, options in variants:
        file = libtiff_variant(name, source, *options)
        jobs.append((file, pillow(file), name))
    return jobs


def case_magick_variants():
    jobs = []
    made = [
        ("im-bilevel", path("bw.tif"), ["-monochrome"]),
        ("im-bilevel-white", path("bw.tif"), ["-monochrome", "-define", "tiff:photometric=min-is-white"]),
        ("im-grey", path("grey.tif"), ["-type", "Grayscale", "-depth", "8"]),
        ("im-grey-white", path("grey.tif"), ["-type", "Grayscale", "-define", "tiff:photometric=min-is-white"]),
        ("im-grey4", path("grey.tif"), ["-type", "Grayscale", "-depth", "4"]),
        ("im-palette", path("rgb.png"), ["-colors", "200", "-type", "Palette"]),
        ("im-palette16", path("rgb.png"), ["-colors", "12", "-type", "Palette", "-depth", "4"]),
        ("im-truecolour", path("rgb.png"), ["-type", "TrueColor"]),
        ("im-alpha", path("rgb.png"), ["-alpha", "on", "-channel", "A", "-evaluate", "set", "60%"]),
        ("im-cmyk", path("rgb.png"), ["-colorspace", "CMYK"]),
    ]
    for name, source, options in made:
        file = path(name + ".tif")
        run("convert", source, *options, "-compress", "lzw", file)
        # Alpha is not shown: the colour channels as they are stored. Palettes
        # as Pillow has them: the high byte of each 16-bit map value.
        if name.startswith("im-palette"):
            expect = pillow(file)
        else:
            expect = magick(file, 0, "-alpha", "off") if name != "im-cmyk" else None
        jobs.append((file, expect, name))
    file = path("pillow-mh.tif")
    Image.fromarray(bilevel).save(file, compression="tiff_ccitt")
    jobs.append((file, pillow(file), "pillow-mh"))
    file = path("pillow-g3.tif")
    Image.fromarray(bilevel).save(file, compression="group3")
    jobs.append((file, pillow(file), "pillow-g3"))
    return jobs


def check_cmyk():
    # libtiff's RGBA interface divides by 255 where the reader shifts by 8:
    # they may differ by one.
    file, shown = path("im-cmyk.tif"), path("im-cmyk-rgba.tif")
    run("tiff2rgba", "-c", "none", file, shown)
    expect = rgb(Image.open(shown))
    code, status, pixels = render(file)
    check(code == 0 and pixels is not None and pixels.shape == expect.shape, "cmyk: render " + status)
    if pixels is not None and pixels.shape == expect.shape:
        check(np.abs(pixels - expect).max() <= 1, "cmyk: colours differ by %d" % np.abs(pixels - expect).max())


def check_orientations():
    for source, compression in [("bw.tif", "g4"), ("rgb.tif", "lzw")]:
        for orientation in range(1, 9):
            file = libtiff_variant("orient-%s-%d" % (compression, orientation), source, "-c", compression)
            run("tiffset", "-s", "274", str(orientation), file)
            upright = magick(file, 0, "-auto-orient")
            what = "orientation %d %s" % (orientation, compression)
            head, pages, _ = info(file)
            height, width = upright.shape[:2]
            check(pages and pages[0]["width"] == str(width) and pages[0]["height"] == str(height),
                  what + ": size " + str(pages))
            render_equals(file, upright, what)
            requests = [(["--rotate", "90", "--mirror-x"], np.rot90(np.fliplr(upright), -1)),
                        (["--rotate", "270", "--mirror-y"], np.rot90(np.flipud(upright), 1)),
                        (["--rotate", "180"], np.rot90(upright, 2))]
            for options, expect in requests:
                render_equals(file, expect, what + " " + " ".join(options), *options)
            # A part of the oriented page equals the crop of the whole one.
            rect = ",".join([mm(13), mm(7), mm(50), mm(40)])
            render_equals(file, upright[7:47, 13:63], what + " part", "--rect", rect, "--size", "50,40")


def check_parts():
    """Parts of striped and tiled pages at 1:1 equal crops of the whole render."""
    for name in ["bw-g4-strips", "bw-g4-tiles", "bw-none-tiles", "grey-jpeg-tiles", "rgb-packbits-tiles",
                 "grey-lzw2-tiles"]:
        file = path(name + ".tif")
        _, whole = render(file)[0], render(file)[2]
        for x, y, w, h in [(0, 0, 30, 20), (37, 21, 100, 60), (250, 250, 20, 100), (60, 40, 97, 73)]:
            expect = whole[y:y + h, x:x + w] if whole is not None else None
            if expect is None or expect.shape[:2] != (h, w):
                continue
            rect = ",".join([mm(x), mm(y), mm(w), mm(h)])
            render_equals(file, expect, "%s part %d,%d,%d,%d" % (name, x, y, w, h), "--rect", rect,
                          "--size", "%d,%d" % (w, h))


def check_polarity():
    """PhotometricInterpretation 0 against 1 on the same bits: exact negatives,
    each as ImageMagick shows it."""
    for compression in ["g4", "none"]:
        shown = {}
        for photometric in ["0", "1"]:
            file = libtiff_variant("photometric-%s-%s" % (compression, photometric), "bw.tif", "-c", compression)
            run("tiffset", "-s", "262", photometric, file)
            shown[photometric] = render_equals(file, magick(file), "photometric %s %s" % (photometric, compression))
            # Reduced, a bilevel page comes out grey with the same polarity.
            code, status, small = render(file, 0, "--size", "153,101")
            check(code == 0 and small is not None and len(np.unique(small)) > 2,
                  "reduced %s %s is not grey" % (compression, photometric))
            if small is not None and shown[photometric] is not None:
                difference = abs(small.mean() - shown[photometric].mean())
                check(difference < 4, "reduced %s %s mean off by %.1f" % (compression, photometric, difference))
        if shown["0"] is not None and shown["1"] is not None:
            check(np.array_equal(shown["0"], 255 - shown["1"]), "photometric %s: not negatives" % compression)


def check_resolutions():
    file = libtiff_variant("res-cm-big", "bw.tif", "-c", "g4", "-B")
    run("tiffset", "-s", "282", "50", file)
    run("tiffset", "-s", "283", "40", file)
    run("tiffset", "-s", "296", "3", file)
    _, pages, status = info(file)
    check(pages and abs(float(pages[0]["dpix"]) - 127) < 1e-3 and abs(float(pages[0]["dpiy"]) - 101.6) < 1e-3,
          "centimetres: " + str(pages))
    for unit, dpi in [("2", 50.0), ("1", 50.0)]:
        file = libtiff_variant("res-unit-" + unit, "bw.tif", "-c", "g4")
        run("tiffset", "-s", "282", "50", file)
        run("tiffset", "-s", "283", "50", file)
        run("tiffset", "-s", "296", unit, file)
        _, pages, _ = info(file)
        check(pages and float(pages[0]["dpix"]) == dpi, "unit %s: %s" % (unit, pages))
    # Pillow writes no resolution at all: 100 dpi.
    _, pages, _ = info(path("grey.tif"))
    check(pages and pages[0]["dpix"] == "100" and pages[0]["bits"] == "8", "no resolution: " + str(pages))


def check_pages():
    file = path("multi.tif")
    run("tiffcp", path("bw-g4.tif"), path("grey-lzw.tif"), path("rgb-jpeg.tif"), path("bw-none-tiles.tif"), file)
    head, pages, status = info(file)
    check(head.get("format") == "0" and head.get("pages") == "4" and status == "0,0",
          "multi-page info %s %s" % (head, status))
    check([p.get("bits") for p in pages] == ["1", "8", "24", "1"], "multi-page bits " + str(pages))
    for page in range(4):
        render_equals(file, pillow(file, page), "multi-page page %d" % page, page=page)
    code, status, _ = render(file, 4)
    check(code != 0, "page past the end rendered")


def with_component_ids(name, ids):
    """A copy of a JPEG-compressed file whose strips give their colour
    components the ids `ids` (in the frame and in the scan header), and
    whether every strip had them."""
    with open(path(name + ".tif"), "rb") as source:
        data = bytearray(source.read())
    with Image.open(io.BytesIO(data)) as image:
        tags = {273: list(image.tag_v2[273]), 279: list(image.tag_v2[279])}
    changed = 0
    for offset, count in zip(tags[273], tags[279]):
        at = offset + 2  # past the strip's start-of-image marker
        while at + 4 <= offset + count and data[at] == 0xFF:
            marker, length = data[at + 1], struct.unpack_from(">H", data, at + 2)[0]
            if marker in (0xC0, 0xC1, 0xC2):
                for k in range(data[at + 9]):
                    data[at + 10 + 3 * k] = ids[k]
            elif marker == 0xDA:
                for k in range(data[at + 4]):
                    data[at + 5 + 2 * k] = ids[k]
                changed += 1
                break
            at += 2 + length
    file = path(name + "-ids.tif")
    with open(file, "wb") as out:
        out.write(data)
    return file, changed == len(tags[273])


def check_jpeg_colour_spaces():
    """JPEG strips hold the colour space PhotometricInterpretation states,
    RGB or YCbCr, as libtiff decodes them. A stream without JFIF or Adobe
    marker tells libjpeg its colour space only by its component ids, and
    libtiff's own ('R', 'G', 'B' for RGB, 1, 2, 3 for YCbCr) are not what
    every writer uses: here each file has the other kind's ids."""
    for name, ids in [("rgb-jpeg-rgb", b"\x01\x02\x03"), ("rgb-jpeg", b"RGB")]:
        file, every_strip = with_component_ids(name, ids)
        check(every_strip, name + ": a strip without frame or scan header")
        render_equals(file, pillow(file), "%s with component ids %r" % (name, ids))


# ---------------------------------------------------------------- crafted files

class Tiff:
    """A TIFF put together entry by entry, for files no tool writes."""

    def __init__(self, big=False):
        self.order = ">" if big else "<"
        self.data = bytearray(b"MM\0*" if big else b"II*\0") + bytes(4)
        self.ifds = []

    def blob(self, payload):
        offset = len(self.data)
        self.data += payload + bytes(len(payload) & 1)
        return offset

    def value(self, type_, values):
        codes = {1: "B", 2: "B", 3: "H", 4: "I", 5: "I", 7: "B", 9: "i", 10: "i", 11: "f", 12: "d"}
        return struct.pack(self.order + codes.get(type_, "B") * len(values), *values)

    def ifd(self, entries, keep_order=False, next_offset=None):
        """entries: (tag, type, values) or (tag, type, count, raw field bytes)."""
        rows = []
        for entry in entries if keep_order else sorted(entries, key=lambda e: e[0]):
            if len(entry) == 4:
                rows.append(struct.pack(self.order + "HHI", *entry[:3]) + entry[3])
                continue
            tag, type_, values = entry
            payload = self.value(type_, values)
            count = len(values) // 2 if type_ in (5, 10) else len(values)
            field = payload.ljust(4, b"\0") if len(payload) <= 4 else struct.pack(self.order + "I", self.blob(payload))
            rows.append(struct.pack(self.order + "HHI", tag, type_, count) + field)
        offset = self.blob(struct.pack(self.order + "H", len(rows)) + b"".join(rows) + bytes(4))
        self.ifds.append((offset, len(rows), next_offset))
        return offset

    def bytes(self):
        out = bytearray(self.data)
        struct.pack_into(self.order + "I", out, 4, self.ifds[0][0] if self.ifds else 0)
        for i, (offset, n, next_offset) in enumerate(self.ifds):
            following = next_offset if next_offset is not None else (
                self.ifds[i + 1][0] if i + 1 < len(self.ifds) else 0)
            struct.pack_into(self.order + "I", out, offset + 2 + 12 * n, following)
        return bytes(out)

    def save(self, name, pad=0):
        file = path(name)
        with open(file, "wb") as f:
            f.write(self.bytes() + bytes(pad))
        return file


def grey_image(width, height, seed):
    return np.random.default_rng(seed).integers(0, 256, (height, width), dtype=np.uint8)


def grey_dir(tiff, pixels, extra=(), rows=None, offsets=None, counts=None):
    """Entries of an uncompressed 8-bit grey image with its strips stored."""
    height, width = pixels.shape
    rows = rows or height
    strips = [pixels[y:y + rows].tobytes() for y in range(0, height, rows)]
    stored = [tiff.blob(strip) for strip in strips]
    entries = [(256, 3, [width]), (257, 3, [height]), (258, 3, [8]), (259, 3, [1]), (262, 3, [1]),
               (273, 4, offsets if offsets is not None else stored), (278, 3, [rows]),
               (279, 4, counts if counts is not None else [len(s) for s in strips])]
    replaced = {e[0] for e in extra}
    return [e for e in entries if e[0] not in replaced] + list(extra)


def probe_status(file, page=0):
    head, pages, status = info(file)
    code, render_status, pixels = render(file, page)
    return head, pages, status, code, render_status, pixels


def check_crafted():
    picture = grey_image(40, 30, 1)
    expect = np.dstack([picture] * 3).astype(np.int16)

    # Unknown field types are skipped; the entries after them still count.
    tiff = Tiff()
    entries = grey_dir(tiff, picture)
    entries.insert(2, (300, 0, 4, b"abcd"))
    entries.insert(4, (301, 99, 1000000, struct.pack("<I", 8)))
    tiff.ifd(entries, keep_order=True)
    file = tiff.save("unknown-type.tif")
    _, pages, status, code, _, pixels = probe_status(file)
    check(status == "0,0" and code == 0 and same(pixels, expect), "unknown type: %s %s" % (status, pages))

    # A count whose byte size wraps 32 bits is refused, not read out of bounds.
    tiff = Tiff()
    entries = grey_dir(tiff, picture)
    entries[5] = (273, 4, 0x40000001, struct.pack("<I", 8))
    tiff.ifd(entries)
    check(info(tiff.save("overflow-strips.tif"))[2] == "2,2005", "overflowing StripOffsets count accepted")
    tiff = Tiff()
    tiff.ifd(grey_dir(tiff, picture, extra=[(700, 1, 0xFFFFFFFF, struct.pack("<I", 8))]))
    _, _, status, code, _, pixels = probe_status(tiff.save("overflow-last.tif"))
    check(code == 0 and same(pixels, expect), "overflowing last entry: " + status)

    # Chains: looping back, to itself, and cut short.
    for name, count in [("loop", 2), ("self-loop", 1)]:
        tiff = Tiff()
        for i in range(count):
            tiff.ifd(grey_dir(tiff, grey_image(40, 30, 2 + i)))
        last, n, _ = tiff.ifds[-1]
        tiff.ifds[-1] = (last, n, tiff.ifds[0][0])
        head, pages, status = info(tiff.save(name + ".tif"))
        check(head.get("pages") == str(count) and status == "1,1000", "%s chain: %s %s" % (name, head, status))
    tiff = Tiff()
    tiff.ifd(grey_dir(tiff, picture))
    whole = bytearray(tiff.bytes())
    offset, n, _ = tiff.ifds[0]
    struct.pack_into("<I", whole, offset + 2 + 12 * n, len(whole))
    file = path("cut-chain.tif")
    # The second directory claims 12 entries; 60 bytes follow.
    open(file, "wb").write(bytes(whole) + struct.pack("<H", 12) + bytes(60))
    head, pages, status = info(file)
    check(head.get("pages") == "1" and status == "1,1000", "cut chain: %s %s" % (head, status))

    # Four entries are no directory.
    tiff = Tiff()
    tiff.ifd([(256, 3, [8]), (257, 3, [8]), (273, 4, [8]), (279, 4, [64])])
    check(info(tiff.save("four-entries.tif", pad=100))[2] == "2,2005", "four-entry directory accepted")

    # Striped and tiled tags in one directory.
    tiff = Tiff()
    tiff.ifd(grey_dir(tiff, picture, extra=[(322, 3, [16])]))
    check(info(tiff.save("mixed.tif"))[2] == "2,2005", "mixed striped and tiled accepted")

    # TileLength without TileWidth: square tiles and a warning.
    tiles = grey_image(32, 32, 3)
    tiff = Tiff()
    blocks = [tiles[y:y + 16, x:x + 16].tobytes() for y in (0, 16) for x in (0, 16)]
    offsets = [tiff.blob(b) for b in blocks]
    tiff.ifd([(256, 3, [32]), (257, 3, [32]), (258, 3, [8]), (259, 3, [1]), (262, 3, [1]), (323, 3, [16]),
              (324, 4, offsets), (325, 4, [256] * 4)])
    file = tiff.save("no-tile-width.tif")
    _, _, status, code, _, pixels = probe_status(file)
    check(status == "1,1000" and code == 0 and same(pixels, np.dstack([tiles] * 3)), "no tile width: " + status)

    # One strip without StripByteCounts reads to the end of the file; a
    # strip of offset 0 and length 0 is skipped.
    tiff = Tiff()
    strip_at = 8 + 2 + 12 * 7 + 4
    tiff.ifd([(256, 3, [40]), (257, 3, [30]), (258, 3, [8]), (259, 3, [1]), (262, 3, [1]), (273, 4, [strip_at]),
              (278, 3, [30])])
    file = path("no-byte-counts.tif")
    open(file, "wb").write(tiff.bytes() + picture.tobytes())
    _, _, status, code, _, pixels = probe_status(file)
    check(len(tiff.bytes()) == strip_at and code == 0 and same(pixels, expect), "no StripByteCounts: " + status)
    tiff = Tiff()
    entries = grey_dir(tiff, picture, rows=10)
    offsets = [e for e in entries if e[0] == 273][0][2]
    counts = [e for e in entries if e[0] == 279][0][2]
    offsets[1], counts[1] = 0, 0
    tiff.ifd(grey_dir(tiff, picture, rows=10, offsets=offsets, counts=counts))
    _, _, status, code, _, pixels = probe_status(tiff.save("empty-strip.tif"))
    check(code == 0 and pixels is not None and np.array_equal(pixels[:10], expect[:10]) and
          np.array_equal(pixels[20:], expect[20:]), "empty strip: " + status)

    # No Compression tag: uncompressed, as TIFF 6.0 has it.
    tiff = Tiff()
    tiff.ifd([e for e in grey_dir(tiff, picture) if e[0] != 259])
    _, _, status, code, _, pixels = probe_status(tiff.save("no-compression.tif"))
    check(code == 0 and same(pixels, expect), "no Compression tag: " + status)

    # Four 8-bit samples without ExtraSamples: RGB and a fourth sample not shown.
    tiff = Tiff()
    rgba = np.random.default_rng(5).integers(0, 256, (30, 40, 4), dtype=np.uint8)
    stored = tiff.blob(rgba.tobytes())
    tiff.ifd([(256, 3, [40]), (257, 3, [30]), (258, 3, [8, 8, 8, 8]), (259, 3, [1]), (262, 3, [2]),
              (273, 4, [stored]), (277, 3, [4]), (279, 4, [rgba.size])])
    _, pages, _, code, status, pixels = probe_status(tiff.save("rgba.tif"))
    check(pages and pages[0]["bits"] == "24" and code == 0 and same(pixels, rgba[..., :3].astype(np.int16)),
          "RGBA without ExtraSamples: %s %s" % (pages, status))

    # YCbCr without JPEG and CIELab are not decoded as if they were RGB.
    for name, photometric in [("ycbcr", 6), ("cielab", 8)]:
        tiff = Tiff()
        stored = tiff.blob(bytes(40 * 30 * 3))
        tiff.ifd([(256, 3, [40]), (257, 3, [30]), (258, 3, [8, 8, 8]), (259, 3, [1]), (262, 3, [photometric]),
                  (273, 4, [stored]), (277, 3, [3]), (279, 4, [3600])])
        _, _, _, code, status, _ = probe_status(tiff.save(name + ".tif"))
        check(code != 0 and status == "2,2004", "%s: %s" % (name, status))


def check_refused():
    # 16-bit samples and separate planes parse but cannot render.
    file = path("grey16.tif")
    run("convert", path("grey.tif"), "-depth", "16", file)
    planes = libtiff_variant("separate", "rgb.tif", "-p", "separate", "-c", "lzw")
    for name, file in [("16-bit", file), ("separate planes", planes)]:
        head, _, status, code, render_status, _ = probe_status(file)
        check(head.get("pages") == "1" and code != 0 and render_status == "2,2004",
              "%s: %s render %s" % (name, head, render_status))
    # A page whose later strips are damaged: the strict render fails, the
    # lenient one that follows shows the strips before the damage.
    whole = open(path("bw-g4-strips.tif"), "rb").read()
    directory = struct.unpack_from("<I", whole, 4)[0]
    check(directory > len(whole) // 2, "tiffcp wrote its directory before the strips")
    middle = 8 + (directory - 8) // 2
    damaged = path("damaged-strips.tif")
    open(damaged, "wb").write(whole[:middle] + bytes(directory - middle) + whole[directory:])
    code, status, pixels = render(damaged)
    expect = pillow(path("bw-g4-strips.tif"))
    check(code == 0 and pixels is not None and np.array_equal(pixels[:34], expect[:34]),
          "damaged strips: lenient render " + status)
    # Garbage and truncated headers.
    for name, data in [("garbage", b"II*\0" + bytes(range(256)) * 2), ("short", b"MM\0*\0\0\0\x08" + bytes(130))]:
        file = path(name + ".tif")
        open(file, "wb").write(data)
        head, _, status = info(file)
        check(head.get("format") == "-1" and status.startswith("2,"), "%s: %s %s" % (name, head, status))


# ---------------------------------------------------------------- run

with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 4) as pool:
    jobs = case_libtiff_variants() + case_magick_variants()
    renders = [pool.submit(render_equals, file, expect, name) for file, expect, name in jobs if expect is not None]
    checks = [pool.submit(f) for f in [check_cmyk, check_orientations, check_parts, check_polarity,
                                       check_resolutions, check_pages, check_jpeg_colour_spaces, check_crafted,
                                       check_refused]]
    for future in renders + checks:
        future.result()

shutil.rmtree(work, ignore_errors=True)
print("%d failure(s)" % len(failures))
sys.exit(1 if failures else 0)
