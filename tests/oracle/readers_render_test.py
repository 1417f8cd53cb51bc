#!/usr/bin/python3
"""GIF, BMP and CALS files from ImageMagick, Pillow and netpbm (and such
files with bytes changed, as tests/data/make-reader-data.py makes them)
opened and rendered through imgprobe (format sniffing and dispatch, the
readers, PageRender, the sinks), judged against Pillow's or ImageMagick's
decodes: sizes and densities as the files state them, pixels exactly,
turned and mirrored renders as numpy turns the decodes, inverted CALS
renders as the exact negative; damaged files give a status, never a crash."""
import os
import shutil
import subprocess
import tempfile

from imgprobe_driver import check, finish, info, render, require_probe, require_tools, top

import numpy as np
from PIL import Image

require_probe()
require_tools("convert", "ppmtobmp")


def rgb(path):
    return np.asarray(Image.open(path).convert("RGB"))


def meta(stem):
    with open(stem + ".meta") as f:
        return {k: int(v) for k, v in (line.split() for line in f if line.strip())}


work = tempfile.mkdtemp(prefix="readers-oracle-", dir=os.environ.get("TEST_BINARY_DIR"))
maker = os.path.join(top, "tests", "data", "make-reader-data.py")
ordinals = {"gif": "2", "bmp": "1", "cals": "4"}
# im_spacer, im_tiny and im_bmp3_tiny are files of under 128 bytes, which the
# format dispatch must recognise from the bytes they have.
picked = {
    "gif": ["im_4_interlaced", "im_256_interlaced", "pil_87a", "im_2_colours", "no_table", "im_spacer", "im_tiny"],
    "bmp": ["im_rle8", "ppm_4", "pil_1", "im_v5_24", "top_down_8", "crafted_rle4", "descending_grey_8",
            "im_bmp3_tiny"],
    "cals": ["im_200", "capital_keys", "density_none", "rdensity_150", "rtype_2"],
}
for kind, names in picked.items():
    folder = os.path.join(work, kind)
    subprocess.run(["/usr/bin/python3", maker, kind, folder], check=True)
    for name in names:
        stem = os.path.join(folder, name)
        data = stem + "." + kind
        os.rename(stem + ".data", data)
        fields = info(data)
        expected = meta(stem)
        if expected["status"]:
            check(fields.get("status") == "2,%d" % expected["status"], "%s status %s" % (name, fields))
            continue
        check(fields.get("format") == ordinals[kind] and fields.get("pages") == "1", "%s info %s" % (name, fields))
        check(fields.get("width") == str(expected["width"]) and fields.get("height") == str(expected["height"]),
              "%s size %s" % (name, fields))
        if kind == "cals":
            density = expected["dpi"]
            check(float(fields.get("dpix", "nan")) == density and float(fields.get("dpiy", "nan")) == density,
                  "%s density %s" % (name, fields))
        elif kind == "bmp":
            check(abs(float(fields.get("dpix", "nan")) - expected["dpix1000"] / 1000) < 1e-3,
                  "%s dpix %s" % (name, fields))
        out = stem + ".pnm"
        code, status = render(data, out)
        expect = rgb(stem + ".expect")
        check(code == 0 and status == "status=0,0", "%s render %s" % (name, status))
        check(code == 0 and np.array_equal(rgb(out), expect), name + " pixels differ from the tool's decode")

# Turned and mirrored: the page is mirrored, then turned clockwise.
for kind, name, rotation in [("bmp", "im_rle8", 90), ("gif", "im_4_interlaced", 270), ("cals", "im_200", 90)]:
    stem = os.path.join(work, kind, name)
    out = stem + "-turned.pnm"
    code, status = render(stem + "." + kind, out, "--rotate", str(rotation), "--mirror-x")
    turned = np.rot90(np.fliplr(rgb(stem + ".expect")), -rotation // 90)
    check(code == 0 and np.array_equal(rgb(out), turned), "%s turned %d and mirrored" % (name, rotation))

# A CALS drawing inverted is the exact negative; negative detection leaves
# it alone (mode 1 asks for positives, and a CALS page is never judged).
stem = os.path.join(work, "cals", "im_200")
expect = rgb(stem + ".expect")
code, status = render(stem + ".cals", stem + "-inverted.pnm", "--invert")
check(code == 0 and np.array_equal(rgb(stem + "-inverted.pnm"), 255 - expect), "CALS inverted")
code, status = render(stem + ".cals", stem + "-negative.pnm", "--negative", "2")
check(code == 0 and np.array_equal(rgb(stem + "-negative.pnm"), expect), "CALS with negative mode 2")

# Damaged files: a status, never a crash.
damaged = []
gif = open(os.path.join(work, "gif", "pil_87a.gif"), "rb").read()
damaged.append(("gif trailer first", gif[:13 + 768] + b"\x3b" + gif[13 + 768:], "info", "2,2005"))
damaged.append(("gif cut", gif[:len(gif) // 2], "render", "0,0"))
bmp = open(os.path.join(work, "bmp", "ppm_4.bmp"), "rb").read()
damaged.append(("bmp cut", bmp[:len(bmp) - 200], "render", "2,2005"))
damaged.append(("bmp 16 bits", bmp[:28] + b"\x10\x00" + bmp[30:], "info", "2,2004"))
cals = open(os.path.join(work, "cals", "im_200.cals"), "rb").read()
damaged.append(("cals header only", cals[:2048], "render", "2,2005"))
for what, data, command, want in damaged:
    path = os.path.join(work, "damaged." + what.split()[0])
    open(path, "wb").write(data)
    if command == "info":
        check(info(path).get("status") == want, what + " " + str(info(path)))
    else:
        code, status = render(path, path + ".pnm")
        check(code != 0 and status == "status=" + want, what + " " + status)

shutil.rmtree(work, ignore_errors=True)
finish()
