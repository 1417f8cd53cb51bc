#!/usr/bin/python3
"""The TIFF writer driven through imgprobe on files made by Pillow and
libtiff's tools, judged by libtiff and ImageMagick: rendered pages (`imgprobe
tiff`) must satisfy tiffinfo, tiffdump and `tiffcp -c none` and decode to
the 1:1 render of their source page, made bilevel as the writer makes it;
copied pages (`imgprobe tiff-copy`) must keep every entry and every strip
byte for byte, lone strips without byte counts included, while entries that
point into the old file are dropped. Failed saves report failure and leave
no file."""
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
require_tools("convert", "tiffcp", "tiffset", "tiffinfo", "tiffdump")
work = tempfile.mkdtemp(prefix="tiff-writer-oracle-", dir=build)

# libtiff names the private markup tag (and crafted private tags) an
# unknown field; that warning is the only one allowed.
UNKNOWN_FIELD = "Unknown field with tag"
OFFSET_TAGS = {288, 289, 330, 513, 514, 34665, 34853}
STRIP_TAGS = {273, 279, 324, 325}


def path(name):
    return os.path.join(work, name)


def complaints(*command):
    """(exit code, stderr lines other than unknown-field warnings)."""
    done = subprocess.run(command, capture_output=True, text=True, stdin=subprocess.DEVNULL)
    return done.returncode, [line for line in done.stderr.splitlines() if UNKNOWN_FIELD not in line]


def libtiff_accepts(file):
    """tiffinfo reads every directory and strip and tiffcp decodes them all,
    neither with a word on stderr (tiffcp fails on a bad Group 4 code)."""
    code_info, info_err = complaints("tiffinfo", "-D", file)
    code_cp, cp_err = complaints("tiffcp", "-c", "none", file, file + ".plain.tif")
    return code_info == 0 and code_cp == 0 and not info_err and not cp_err


def dump(file):
    """tiffdump's directories: [{tag: (type name, [values])}]."""
    out = subprocess.run(["tiffdump", "-m", "10000000", file], capture_output=True, text=True).stdout
    dirs = []
    for line in out.splitlines():
        if line.startswith("Directory "):
            dirs.append({})
            continue
        if not dirs or "<" not in line or " (" not in line:
            continue
        head, _, rest = line.partition("<")
        words = head.split()
        # "Name (273) LONG (4) 2" or "40000 (0x9c40) BYTE (1) 5"
        tag = int(words[0]) if words[0].isdigit() else int(words[1].strip("()"))
        values = rest.rstrip(">")
        dirs[-1][tag] = (words[-3], values)
    return dirs


def numbers(entry):
    return [float(int(v, 16)) if v.startswith("0x") else float(v) for v in entry[1].split()]


def render(file, page=0):
    """imgprobe's 1:1 render of a page: an array of RGB rows, top row first."""
    out = path("render-%s-%d.pnm" % (os.path.basename(file), page))
    code, _ = imgprobe("render", file, str(page), out)
    return np.asarray(Image.open(out).convert("RGB")).astype(np.int32) if code == 0 else None


def as_bilevel(pixels):
    """The writer's conversion: light (channel sum at least 384) is white."""
    return pixels.sum(axis=2) >= 384


def magick_bilevel(file, index):
    """ImageMagick's decode of directory `index` as PBM: True for white."""
    done = subprocess.run(["convert", "%s[%d]" % (file, index), "pbm:-"], capture_output=True)
    if done.returncode != 0:
        return None
    return np.asarray(Image.open(io.BytesIO(done.stdout)).convert("L")) > 127


# ---------------------------------------------------------------- sources

rng = np.random.default_rng(123)


def drawing(height, width):
    page = np.ones((height, width), bool)  # True = white
    page[height // 10:height // 4, width // 8:width // 2] = False
    page[::9, width // 2:width - 5] = False
    page[rng.random(page.shape) < 0.01] = False
    for i in range(0, height, 5):
        page[i, (i * 3) % width:(i * 3) % width + 40] = False
    return page


def save_bilevel(name, page, dpi, **options):
    Image.fromarray(page).save(path(name), compression="group4", dpi=(dpi, dpi), **options)
    return path(name)


pages = [save_bilevel("p0.tif", drawing(311, 517), 300), save_bilevel("p1.tif", drawing(600, 250), 200.5),
         save_bilevel("p2.tif", drawing(127, 901), 150)]
run("tiffcp", *pages, path("three.tif"))
base = np.linspace(0, 255, 211 * 173).reshape(173, 211)
grey = np.clip(base + rng.normal(0, 40, base.shape), 0, 255).astype(np.uint8)
Image.fromarray(grey).save(path("grey.tif"), compression="tiff_lzw", dpi=(96, 96))
colour = np.clip(np.dstack([base, base[::-1], base[:, ::-1]]) + rng.normal(0, 40, (173, 211, 3)), 0, 255)
Image.fromarray(colour.astype(np.uint8)).save(path("rgb.tif"), dpi=(72, 72))
run("tiffcp", "-c", "jpeg", "-r", "16", path("rgb.tif"), path("rgb-jpeg.tif"))
run("tiffcp", "-c", "packbits", "-r", "7", "-B", path("grey.tif"), path("grey-big-endian.tif"))
run("tiffcp", "-c", "lzw", "-t", "-w", "64", "-l", "48", path("rgb.tif"), path("rgb-tiled.tif"))
large = save_bilevel("large.tif", drawing(1700, 2400), 400)
# A page with a reduced copy: the second directory marked as reduced.
save_bilevel("large-half.tif", drawing(850, 1200), 200)
run("tiffcp", "-c", "g4", "-r", "64", large, path("large-half.tif"), path("with-reduced.tif"))
run("tiffset", "-d", "1", "-s", "254", "1", path("with-reduced.tif"))


def crafted(name, width, height, rows, entries_extra, short_offsets=True, byte_counts=True):
    """An uncompressed bilevel file laid out by hand: pixel rows, then one
    directory; StripOffsets SHORT or LONG, StripByteCounts optional."""
    stride = (width + 7) // 8
    pixels = rng.integers(0, 256, stride * height, dtype=np.uint8).tobytes()
    strips = [(8 + r * stride, stride * min(rows, height - r)) for r in range(0, height, rows)]
    entries = [(256, 3, [width]), (257, 3, [height]), (259, 3, [1]), (262, 3, [1]),
               (273, 3 if short_offsets else 4, [o for o, _ in strips]), (278, 3, [rows])]
    if byte_counts:
        entries.append((279, 4, [c for _, c in strips]))
    entries += entries_extra
    entries.sort()
    directory_at = 8 + len(pixels) + (len(pixels) & 1)
    values_at = directory_at + 2 + 12 * len(entries) + 4
    table, values = b"", b""
    for tag, kind, data in entries:
        raw = b"".join(struct.pack("<" + {1: "B", 2: "B", 3: "H", 4: "I", 5: "II"}[kind],
                                   *(v if isinstance(v, tuple) else (v,))) for v in data)
        if len(raw) <= 4:
            field = raw.ljust(4, b"\0")
        else:
            field = struct.pack("<I", values_at + len(values))
            values += raw + b"\0" * (len(raw) & 1)
        table += struct.pack("<HHI", tag, kind, len(data)) + field
    data = b"II*\0" + struct.pack("<I", directory_at) + pixels + b"\0" * (len(pixels) & 1)
    data += struct.pack("<H", len(entries)) + table + struct.pack("<I", 0) + values
    with open(path(name), "wb") as out:
        out.write(data)
    return path(name)


extras = [(282, 5, [(300, 1)]), (283, 5, [(300, 1)]), (296, 3, [2]), (305, 2, list(b"hand made\0")),
          (34665, 4, [8]), (330, 4, [8, 8]), (42000, 1, [1, 2, 3, 4, 5, 6, 7])]
short_strips = crafted("short-offsets.tif", 203, 97, 10, extras)
lone_strip = crafted("lone-strip.tif", 150, 61, 61, extras[:4], short_offsets=False, byte_counts=False)

# ---------------------------------------------------------------- rendered pages


def check_rendered(source, out, order, what):
    """Every written directory decodes to the bilevel 1:1 render of its page."""
    dirs = dump(out)
    check(libtiff_accepts(out), what + ": libtiff reads every strip without complaint")
    first = [i for i, d in enumerate(dirs) if int(numbers(d[254])[0]) & 1 == 0]
    check(len(first) == len(order), what + ": one full-size directory per page")
    for n, (index, page) in enumerate(zip(first, order)):
        expected = render(source, page)
        check(expected is not None, "%s: page %d renders" % (what, page))
        if expected is None:
            continue
        got = magick_bilevel(out, index)
        check(same(got, as_bilevel(expected)), "%s: page %d decodes to its bilevel render" % (what, page))
        d = dirs[index]
        check(numbers(d[297]) == [n, len(order)], "%s: PageNumber of page %d" % (what, page))
        check(numbers(d[259]) == [4] and numbers(d[262]) == [0], "%s: Group 4, white is zero" % what)
        # Our own reader shows the written page as the page it was made from.
        again = render(out, n)
        check(same(again is not None and as_bilevel(again), as_bilevel(expected)),
              "%s: page %d renders back through the reader" % (what, page))
    return dirs


for source, order, options in [(path("three.tif"), [0, 1, 2], []), (path("three.tif"), [2, 0], ["--pages", "2,0"]),
                               (path("grey.tif"), [0], ["--rows", "16"]), (path("rgb-jpeg.tif"), [0], []),
                               (path("grey-big-endian.tif"), [0], ["--tile", "64"]),
                               (path("rgb-tiled.tif"), [0], ["--tile", "100", "--rows", "40"])]:
    what = "tiff %s %s" % (os.path.basename(source), " ".join(options))
    out = path("rendered-%d.tif" % len(os.listdir(work)))
    code, text = imgprobe("tiff", source, out, *options)
    check(code == 0 and "written=1" in text, what + ": written")
    if code == 0:
        dirs = check_rendered(source, out, order, what)
        kinds = [int(numbers(d[254])[0]) for d in dirs]
        check(kinds == [2 if len(order) > 1 else 0] * len(order), what + ": NewSubfileType %s" % kinds)

# Resolutions as the pages had them, 200.5 dpi included.
out = path("three-out.tif")
imgprobe("tiff", path("three.tif"), out)
for d, dpi in zip(dump(out), [300, 200.5, 150]):
    check(numbers(d[282]) == [dpi] and numbers(d[283]) == [dpi] and numbers(d[296]) == [2],
          "resolution %s dpi kept" % dpi)

# Tiles and a pyramid: widest first, the reduced copies NewSubfileType 1 on
# a single page and 3 on a page of several.
out = path("pyramid.tif")
code, _ = imgprobe("tiff", large, out, "--tile", "256", "--reduce", "50")
check(code == 0, "pyramid written")
dirs = dump(out)
check([numbers(d[256])[0] for d in dirs] == [2400, 1200], "pyramid levels 2400 and 1200 wide")
check([numbers(d[254])[0] for d in dirs] == [0, 1], "pyramid subfile types 0, 1")
check([numbers(d[282])[0] for d in dirs] == [400, 200], "pyramid resolutions 400, 200")
check(all(numbers(d[322]) == [256] and numbers(d[323]) == [256] for d in dirs), "tiles of 256")
check(len(numbers(dirs[0][324])) == 10 * 7 and len(numbers(dirs[0][325])) == 10 * 7, "10 x 7 tiles")
check(libtiff_accepts(out), "pyramid accepted by libtiff")
check(same(magick_bilevel(out, 0), as_bilevel(render(large))), "pyramid full level decodes to the page")
out = path("pyramid-pages.tif")
code, _ = imgprobe("tiff", large, out, "--pages", "0,0", "--reduce", "50", "--rows", "100")
check([numbers(d[254])[0] for d in dump(out)] == [2, 3, 2, 3], "pyramid pages subfile types 2, 3, 2, 3")
check([numbers(d[297]) for d in dump(out)] == [[0, 2], [0, 2], [1, 2], [1, 2]], "pyramid pages numbered")

# ---------------------------------------------------------------- copied pages


def strips(file, d):
    """The bytes of every strip or tile of a tiffdump directory."""
    with open(file, "rb") as f:
        data = f.read()
    offsets = numbers(d.get(273) or d.get(324))
    counts = numbers(d[279]) if 279 in d else numbers(d[325]) if 325 in d else [len(data) - offsets[0]]
    return [data[int(o):int(o) + int(c)] for o, c in zip(offsets, counts)]


def check_copy(source, what, *options):
    out = path("copy-" + os.path.basename(source))
    code, text = imgprobe("tiff-copy", source, out, *options)
    check(code == 0 and "written=1" in text, what + ": written")
    if code != 0:
        return None
    before, after = dump(source), dump(out)
    check(len(before) == len(after), what + ": every directory copied")
    check(libtiff_accepts(out), what + ": libtiff reads the copy without complaint")
    for n, (old, new) in enumerate(zip(before, after)):
        kept = {t: e for t, e in old.items() if t not in OFFSET_TAGS | STRIP_TAGS | {254, 255, 297}}
        check(all(new.get(t) == e for t, e in kept.items()), "%s: directory %d keeps its entries" % (what, n))
        check(not OFFSET_TAGS & set(new), "%s: directory %d drops offsets into the old file" % (what, n))
        for tag in STRIP_TAGS & set(new):
            check(new[tag][0] == "LONG", "%s: tag %d written as LONG" % (what, tag))
        check(strips(source, old) == strips(out, new), "%s: directory %d strips byte for byte" % (what, n))
    for page in range(len([d for d in before if not int(numbers(d.get(254, ("", "0")))[0]) & 1])):
        check(same(render(out, page), render(source, page)), "%s: page %d renders as before" % (what, page))
    return after


for source in [path("three.tif"), path("rgb-jpeg.tif"), path("grey-big-endian.tif"), path("rgb-tiled.tif"),
               path("with-reduced.tif"), short_strips, lone_strip]:
    check_copy(source, "tiff-copy " + os.path.basename(source))

with open(path("markup.bin"), "wb") as f:
    f.write(bytes(range(256)) * 3 + b"odd")
after = check_copy(path("three.tif"), "tiff-copy with tags", "--software", "Plovex 5", "--markup", path("markup.bin"))
for d in after or []:
    check(d.get(305) == ("ASCII", "Plovex 5\\0"), "Software in every directory")
    check(numbers(d[40000]) == [float(b) for b in bytes(range(256)) * 3 + b"odd"], "markup in every directory")
    check(numbers(d[297])[1] == 3, "copied pages numbered of 3")
lone = dump(path("copy-lone-strip.tif"))
check(lone and numbers(lone[0][279]) == [os.path.getsize(lone_strip) - 8],
      "a lone strip without byte counts is sized to the end of its file")

# ---------------------------------------------------------------- failures

target = path("no such folder/out.tif")
code, text = imgprobe("tiff", path("three.tif"), target)
check(code == 1 and "written=0" in text and not os.path.exists(os.path.dirname(target)),
      "a save into a missing folder fails and leaves nothing")
shutil.copy(path("three.tif"), path("self.tif"))
with open(path("self.tif"), "rb") as f:
    original = f.read()
code, text = imgprobe("tiff-copy", path("self.tif"), path("self.tif"))
with open(path("self.tif"), "rb") as f:
    check(code == 1 and f.read() == original, "a copy onto its own source fails and keeps the source")
code, text = imgprobe("tiff", path("three.tif"), path("bad-pages.tif"), "--pages", "0,7")
check(code == 1 and not os.path.exists(path("bad-pages.tif")), "a missing page writes nothing")

if not failures:
    shutil.rmtree(work, ignore_errors=True)
print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
